// The buddha scene: a bobbing figure in front of two turning boxes, entered
// through a random crossfade from the believe scene and a flicker; in its last
// part a warped box lit through the colour table, a ring of sprites, and a
// white band in which the box's faces collapse toward the figure.
#include "scenes/buddha.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"

namespace {

const char *const PictureName = BuddhaPictureAsset.name;
const char *const ScrollerName = BuddhaScrollerAsset.name;
const char *const BoxTextureName = BuddhaBoxTextureAsset.name;
const char *const WarpSourceName = BuddhaWarpSourceAsset.name;
const char *const BoxName = BuddhaBoxAsset.name;
const char *const Box2Name = BuddhaBox2Asset.name;
const char *const CrossfadeName = BuddhaCrossfadeAsset.name;
const char *const MapXName = BuddhaMapXAsset.name;
const char *const MapYName = BuddhaMapYAsset.name;
const char *const Glow1Name = BuddhaGlow1Asset.name;
const char *const Glow2Name = BuddhaGlow2Asset.name;
const char *const RingName = BuddhaRingAsset.name;

constexpr int CrossfadeWidth = BuddhaCrossfadeAsset.width;
constexpr int CrossfadeRows = BuddhaCrossfadeAsset.min_rows;
constexpr size_t GlowBytes = size_t{GlowSide} * GlowSide * 4;

constexpr float CameraDistance = 300.0f;
constexpr float BoxScaleW = 0.2f;   // the first box drawn five times its stored size
constexpr float Box2ScaleW = 0.4f;
constexpr int BoxNear = 256;
constexpr int Box2Near = 210;
// Both boxes stay within a few hundred units of the camera.
constexpr int BoxFar = 2000;
constexpr float TurnPerTick = 0.01f;  // radians about y, x and z

constexpr float PhaseStep = 0.05f;
constexpr double PulseStep = 0.0051;
constexpr double PulseStart = 1.5707963265;  // the faces start whole
constexpr double PulseHidden = 0.002;        // below: the face is not drawn
constexpr double PulseWhole = 0.989;         // above: the face's own outline
constexpr double CollapseStep = 0.0013;

// The picture bobs 16 rows about row 80; the scroller reaches down to it.
constexpr double BobRows = 16.0;
constexpr double PictureTop = 80.0;
constexpr int ScrollerRows = 90;

// Ring of sprites about the picture's head.
constexpr int RingSprites = 7;
constexpr float RingSpacing = 0.8975979f;  // 2 pi / 7
constexpr double RingLeft = 307.0, RingTop = 76.0, RingRadius = 48.0;
// The point the collapse lines run to: the picture's top, middle column.
constexpr double LineTargetX = 320.0;

constexpr uint32_t WhiteKey = 0x00FFFFFF;
constexpr uint32_t BlackKey = 0;

const Rgb Orange = {255, 128, 0};
const Rgb Black = {0, 0, 0};
const Rgb White = {255, 255, 255};

bool kind_flash(int kind)
{
    return FadeKind == kind && FadeValue != 0;
}

int bob_offset()
{
    return static_cast<int>(BobRows * std::sin(static_cast<double>(BuddhaPhase)));
}

int picture_y()
{
    return static_cast<int>(BobRows * std::sin(static_cast<double>(BuddhaPhase)) + PictureTop);
}

void advance_scroller()
{
    if (BuddhaScroller.height > 0)
        BuddhaScrollerRow = (BuddhaScrollerRow + 1) % BuddhaScroller.height;
}

void turn_boxes(int ticks)
{
    float angle = static_cast<float>(ticks) * TurnPerTick;
    for (Mesh *mesh : {&BuddhaBoxMesh, &BuddhaBox2Mesh}) {
        if (Object3D *box = first_object(mesh)) {
            matrix_rotate_y(box->matrix, angle);
            matrix_rotate_x(box->matrix, angle);
            matrix_rotate_z(box->matrix, angle);
        }
    }
}

void draw_box(Mesh *mesh, int near_plane, DrawCallback callback)
{
    Object3D *box = first_object(mesh);
    render_object(box, BuddhaCamera, callback, near_plane, BoxFar);
}

// Column after column of white text from band row 0 down, continuing from
// BuddhaScrollerRow and wrapping to the bitmap's first row within the frame.
ORVANTI_BAND_PASS void draw_scroller()
{
    const int width = BuddhaScroller.width;
    const int rows = ScrollerRows + bob_offset();
    // A bitmap wider than the band's right part is cut at the band's edge.
    const int shown = std::min(width, BandWidth - ScrollerLeft);
    int source_row = BuddhaScrollerRow % BuddhaScroller.height;
    for (int j = 0; j < rows; j++) {
        const uint8_t *source = BuddhaScroller.pixels + static_cast<size_t>(source_row) * width;
        uint32_t *out = RenderTarget.pixels + static_cast<ptrdiff_t>(j) * RenderTarget.pitch + ScrollerLeft;
        for (int k = 0; k < shown; k++)
            if (source[k] != 0)
                out[k] = WhiteKey;
        if (++source_row == BuddhaScroller.height)
            source_row = 0;
    }
}

// One random draw per call; true picks the buddha picture (crossfade) or the
// revealed box (flicker). The fade value is a column, kept inside the picture.
bool crossfade_choice()
{
    int n = random_next();
    if (!BuddhaSceneReady)
        return false;
    int column = std::clamp(FadeValue, 0, CrossfadeWidth - 1);
    return BuddhaCrossfade.pixels[CrossfadeWidth * (n % CrossfadeRows) + column] != 0;
}

// Each colour byte of the texture replaced by its entry in the colour table
// at the glow map's level; the top byte stays as the warp wrote it.
ORVANTI_BAND_PASS void light_glow_texture(const uint8_t *levels)
{
    uint8_t *bytes = BuddhaGlowTexture.pixels;
    for (int i = 0; i < GlowSide * GlowSide; i++) {
        const uint8_t *lit = ColourTable + 256 * levels[i];
        uint8_t *pixel = bytes + 4 * i;
        pixel[0] = lit[pixel[0]];
        pixel[1] = lit[pixel[1]];
        pixel[2] = lit[pixel[2]];
    }
}

void draw_ring(bool inverted)
{
    const double head = RingTop + BobRows * std::sin(static_cast<double>(BuddhaPhase));
    for (int i = 0; i < RingSprites; i++) {
        float a = static_cast<float>(i) * RingSpacing + BuddhaRingPhase;
        int x = static_cast<int>(RingLeft + RingRadius * std::sin(static_cast<double>(a)));
        int y = static_cast<int>(head + RingRadius * std::cos(static_cast<double>(a)));
        if (inverted)
            draw_sprite(x, y, -1, -1, &BuddhaRingInverted, 0, 0, BlackKey);
        else
            draw_sprite(x, y, -1, -1, &BuddhaRing, 0, 0, WhiteKey);
    }
}

bool load_box(const char *name, Mesh *mesh, float scale_w)
{
    load_mesh(name, mesh);
    if (!require_mesh(name, mesh))
        return false;
    matrix_scale_w(mesh->objects[0].matrix, scale_w);
    return true;
}

} // namespace

Image BuddhaGlowTexture = {ImageWords, GlowSide, GlowSide, nullptr, nullptr, nullptr};
float BuddhaPhase = 0.0f;
double BuddhaPulsePhase = PulseStart;
int BuddhaScrollerRow = 0;
int BuddhaRevealFlag = 0;
float BuddhaRingPhase = 0.0f;
double BuddhaCollapseScale = 1.0;
int BuddhaGlowTicks = 0;
Matrix BuddhaCamera = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -CameraDistance, 1};

Image BuddhaPicture, BuddhaPictureInverted, BuddhaScroller, BuddhaBoxTexture, BuddhaWarpSource;
Image BuddhaCrossfade, BuddhaMapX, BuddhaMapY, BuddhaGlow1, BuddhaGlow2, BuddhaRing, BuddhaRingInverted;
Mesh BuddhaBoxMesh, BuddhaBox2Mesh;
bool BuddhaSceneReady = false;

void load_buddha_scene()
{
    BuddhaSceneReady = false;
    load_image(PictureName, &BuddhaPicture);
    load_image(PictureName, &BuddhaPictureInverted);
    bool ok = require_asset(BuddhaPictureAsset, &BuddhaPicture);
    if (require_asset(BuddhaPictureAsset, &BuddhaPictureInverted))
        invert_image(&BuddhaPictureInverted);
    else
        ok = false;

    load_image(ScrollerName, &BuddhaScroller);
    load_image(BoxTextureName, &BuddhaBoxTexture);
    load_image(WarpSourceName, &BuddhaWarpSource);
    ok = require_asset(BuddhaScrollerAsset, &BuddhaScroller) && ok;
    ok = require_asset(BuddhaBoxTextureAsset, &BuddhaBoxTexture) && ok;
    ok = require_asset(BuddhaWarpSourceAsset, &BuddhaWarpSource) && ok;

    alloc_cleared(&BuddhaGlowTexture.pixels, GlowBytes);
    ok = ok && BuddhaGlowTexture.pixels != nullptr;

    if (load_box(BoxName, &BuddhaBoxMesh, BoxScaleW))
        set_object_texture(&BuddhaBoxMesh.objects[0], &BuddhaBoxTexture);
    else
        ok = false;
    ok = load_box(Box2Name, &BuddhaBox2Mesh, Box2ScaleW) && ok;

    load_image(CrossfadeName, &BuddhaCrossfade);
    load_image(MapXName, &BuddhaMapX);
    load_image(MapYName, &BuddhaMapY);
    load_image(Glow1Name, &BuddhaGlow1);
    load_image(Glow2Name, &BuddhaGlow2);
    load_image(RingName, &BuddhaRing);
    load_image(RingName, &BuddhaRingInverted);
    ok = require_asset(BuddhaCrossfadeAsset, &BuddhaCrossfade) && ok;
    ok = require_asset(BuddhaMapXAsset, &BuddhaMapX) && ok;
    ok = require_asset(BuddhaMapYAsset, &BuddhaMapY) && ok;
    ok = require_asset(BuddhaGlow1Asset, &BuddhaGlow1) && ok;
    ok = require_asset(BuddhaGlow2Asset, &BuddhaGlow2) && ok;
    ok = require_asset(BuddhaRingAsset, &BuddhaRing) && ok;
    if (require_asset(BuddhaRingAsset, &BuddhaRingInverted))
        invert_image(&BuddhaRingInverted);
    else
        ok = false;
    BuddhaSceneReady = ok;
}

void release_buddha_scene()
{
    for (Image *image : {&BuddhaPicture, &BuddhaPictureInverted, &BuddhaScroller, &BuddhaBoxTexture,
                         &BuddhaWarpSource, &BuddhaCrossfade, &BuddhaMapX, &BuddhaMapY, &BuddhaGlow1,
                         &BuddhaGlow2, &BuddhaRing, &BuddhaRingInverted})
        free_image(image);
    free(BuddhaGlowTexture.pixels);
    BuddhaGlowTexture.pixels = nullptr;
    free_mesh(&BuddhaBoxMesh);
    free_mesh(&BuddhaBox2Mesh);
    BuddhaSceneReady = false;
}

void buddha_face_box(Face *face)
{
    if (BuddhaRevealFlag != 0)
        draw_face_textured(face, 0);
    draw_face_wire(face, &Black);
}

void buddha_face_pulse_wire(Face *face)
{
    double b = (std::sin(BuddhaPulsePhase) + 1.0) * 0.5;
    if (b < PulseHidden)
        return;
    if (b > PulseWhole) {
        draw_face_wire(face, &Orange);
        return;
    }
    scale_face(face, static_cast<float>(b));
    draw_face_wire(&ScaledFace, &Orange);
}

void buddha_face_collapse(Face *face)
{
    const double g = BuddhaCollapseScale;
    const Rgb *outline = kind_flash(FadeFlash) ? &White : &Black;
    if (g == 0.0)
        return;
    if (g == 1.0) {
        draw_face_textured(face, 0);
        draw_face_wire(face, outline);
        return;
    }
    scale_face(face, static_cast<float>(g));
    draw_face_textured(&ScaledFace, 0);
    draw_face_wire(&ScaledFace, outline);
    // The line grows from the shrunken face toward the top of the picture.
    const double cx = FaceCentroidX, cy = FaceCentroidY, t = 1.0 - g;
    const double target_y = PictureTop + BobRows * std::sin(static_cast<double>(BuddhaPhase));
    draw_line(static_cast<int>(cx), static_cast<int>(cy), static_cast<int>(cx + t * (LineTargetX - cx)),
              static_cast<int>(cy + t * (target_y - cy)), &Black);
}

int buddha_scene_handler(int init, int ticks, int flags)
{
    if (init) {
        BuddhaPhase = 0.0f;
        matrix_identity(BuddhaCamera);
        matrix_translate(BuddhaCamera, 0.0f, 0.0f, -CameraDistance);
        BuddhaPulsePhase = PulseStart;
    }
    for (int i = 0; i < ticks; i++) {
        advance_scroller();
        BuddhaPhase += PhaseStep;
        BuddhaPulsePhase += PulseStep;
    }
    turn_boxes(ticks);
    if ((flags & BuddhaAdvanceOnly) || !BuddhaSceneReady)
        return 0;

    BuddhaRevealFlag = flags & BuddhaReveal;
    draw_box(&BuddhaBoxMesh, BoxNear, buddha_face_box);
    draw_box(&BuddhaBox2Mesh, Box2Near, buddha_face_pulse_wire);
    if (flags & BuddhaReveal)
        draw_scroller();
    draw_sprite(BuddhaPictureX, picture_y(), -1, -1, &BuddhaPicture, 0, 0, BlackKey);
    return 0;
}

int buddha_crossfade_handler(int init, int ticks, int param)
{
    if (init)
        buddha_scene_handler(1, 0, param);
    if (crossfade_choice()) {
        buddha_scene_handler(0, ticks, 0);
        believe_scene_handler(0, ticks, 1);
    } else {
        believe_scene_handler(0, ticks, 0);
        buddha_scene_handler(0, ticks, BuddhaAdvanceOnly);
    }
    return 0;
}

int buddha_flicker_handler(int, int ticks, int)
{
    buddha_scene_handler(0, ticks, crossfade_choice() ? BuddhaReveal : 0);
    return 0;
}

int buddha_glow_handler(int init, int ticks, int param)
{
    if (init) {
        if (Object3D *box = first_object(&BuddhaBoxMesh))
            set_object_texture(box, &BuddhaGlowTexture);
        BuddhaGlowTicks = 0;
        BuddhaRingPhase = 0.0f;
        BuddhaCollapseScale = 1.0;
    }
    if (ticks > 0) {
        BuddhaGlowTicks += ticks;
        for (int i = 0; i < ticks; i++) {
            BuddhaPhase += PhaseStep;
            BuddhaRingPhase += PhaseStep;
            advance_scroller();
            if ((param & GlowWhiteCollapse) && BuddhaCollapseScale >= 0.0)
                BuddhaCollapseScale -= CollapseStep;
        }
    }
    turn_boxes(ticks);
    if (!BuddhaSceneReady)
        return 0;

    if (param & GlowWhiteCollapse)
        fill_band(0xFF);

    // Only the offsets' low byte counts: keep the doubling from overflowing.
    const int offset_x = static_cast<int>((static_cast<unsigned>(BuddhaGlowTicks) * 2u) & 255u);
    warp_texture(image_words(&BuddhaGlowTexture), BuddhaMapX.pixels, BuddhaMapY.pixels, image_words(&BuddhaWarpSource),
                 offset_x, BuddhaGlowTicks & 255);
    // The table arrives after this scene's loader; without it the box stays unlit.
    if (ColourTable != nullptr)
        light_glow_texture((param & GlowSecondMap) ? BuddhaGlow2.pixels : BuddhaGlow1.pixels);

    const bool flash = kind_flash(FadeFlash);
    if (flash)
        invert_image(&BuddhaGlowTexture);
    draw_box(&BuddhaBoxMesh, BoxNear, buddha_face_collapse);
    draw_ring(flash);
    if (flash)
        draw_sprite(BuddhaPictureX, picture_y(), -1, -1, &BuddhaPictureInverted, 0, 0, WhiteKey);
    else
        draw_sprite(BuddhaPictureX, picture_y(), -1, -1, &BuddhaPicture, 0, 0, BlackKey);
    if (kind_flash(FadeStrongFlash))
        invert_band();
    return 0;
}
