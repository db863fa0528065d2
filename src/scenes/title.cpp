// The title scene: the title object rendered flat and textured over summed,
// scrolling backgrounds, the two joined by a sweeping wipe with a red seam.
#include "scenes/title.h"

#include <cstddef>
#include <cstring>

#include "data/startup_error.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "scenes/swing.h"

Mesh TitleMesh;
Image TitleTexture, TitleScrollTexture, TitleBackgrounds[3], TitleColours, TitleWipe, TitleFlash;
uint32_t *TitleComposite;
uint8_t *TitleFlashRing;
Matrix TitleCamera;
int TitleTextureRow;
int TitleBackgroundRow[3];
int TitleWipeLevel = TitleWipeLow;
bool TitleWipeFalling;

namespace {

constexpr const AssetEntry *BackgroundAssets[3] = {&TitleBackground1Asset, &TitleBackground2Asset,
                                                   &TitleBackground3Asset};

constexpr int BandPixels = BandWidth * BandHeight;
constexpr int TextureWidth = 256;
constexpr int TexturePeriod = 256;
constexpr int TextureMinRows = TexturePeriod - 1 + 256;  // 511
constexpr int BackgroundPeriod = 320;
constexpr int BackgroundMinRows = BackgroundPeriod - 1 + BandHeight;  // 639
constexpr int BackgroundSpeed[3] = {3, 2, 1};  // rows per tick
static_assert(TitleTextureAsset.width == TextureWidth && TitleTextureAsset.min_rows == TextureMinRows);
static_assert(TitleBackground1Asset.min_rows == BackgroundMinRows &&
              TitleBackground2Asset.min_rows == BackgroundMinRows &&
              TitleBackground3Asset.min_rows == BackgroundMinRows);

constexpr float CameraDistance = -100.0f;
constexpr float TexturedCloser = 50.0f;  // the textured rendering's camera moves this much nearer
constexpr int TitleNearPlane = 0;
constexpr int TitleFarPlane = 150;
constexpr float TurnY = 0.01f;  // radians per tick
constexpr float OutlineScale = 1.2f;
constexpr uint32_t RedByte = 0x00FF0000;

const Rgb Yellow = {255, 255, 0};

bool TitleSceneReady = false;

Object3D *title_object()
{
    return &TitleMesh.objects[0];
}

void render_title(DrawCallback callback)
{
    render_object(title_object(), TitleCamera, callback, TitleNearPlane, TitleFarPlane);
}

} // namespace

void load_title_scene()
{
    TitleSceneReady = false;
    load_mesh(TitleMeshAsset.name, &TitleMesh);
    load_image(TitleTextureAsset.name, &TitleTexture);
    TitleScrollTexture = TitleTexture;
    bool mesh = require_mesh(TitleMeshAsset.name, &TitleMesh);
    if (mesh)
        set_object_texture(title_object(), &TitleScrollTexture);
    for (int b = 0; b < 3; b++)
        load_image(BackgroundAssets[b]->name, &TitleBackgrounds[b]);
    alloc_cleared(&TitleComposite, static_cast<size_t>(BandPixels) * sizeof(uint32_t));
    load_image(TitleColourAsset.name, &TitleColours);
    load_image(TitleWipeAsset.name, &TitleWipe);
    load_image(TitleFlashAsset.name, &TitleFlash);
    alloc_cleared(&TitleFlashRing, static_cast<size_t>(BandPixels) * 2);

    bool pictures = require_asset(TitleTextureAsset, &TitleTexture);
    for (int b = 0; b < 3; b++)
        pictures = require_asset(*BackgroundAssets[b], &TitleBackgrounds[b]) && pictures;
    pictures = require_asset(TitleColourAsset, &TitleColours) && pictures;
    pictures = require_asset(TitleWipeAsset, &TitleWipe) && pictures;
    pictures = require_asset(TitleFlashAsset, &TitleFlash) && pictures;
    if (pictures && TitleFlashRing) {
        memcpy(TitleFlashRing, TitleFlash.pixels, BandPixels);
        memcpy(TitleFlashRing + BandPixels, TitleFlash.pixels, BandPixels);
    }
    TitleSceneReady = mesh && pictures && TitleComposite && TitleFlashRing;
}

void title_advance(int ticks)
{
    for (int t = 0; t < ticks; t++) {
        TitleTextureRow = (TitleTextureRow + 1) % TexturePeriod;
        for (int b = 0; b < 3; b++)
            TitleBackgroundRow[b] = (TitleBackgroundRow[b] + BackgroundSpeed[b]) % BackgroundPeriod;
        step_swing(&TitleWipeLevel, &TitleWipeFalling, 1, TitleWipeLow, TitleWipeHigh);
    }
}

ORVANTI_BAND_PASS void title_sum_backgrounds(uint32_t *out, const uint32_t *a, const uint32_t *b, const uint32_t *c)
{
    for (int i = 0; i < BandPixels; i++)
        out[i] = b[i] + a[i] + c[i];
}

ORVANTI_BAND_PASS void title_flash(uint32_t *composite, const uint8_t *levels, int kind, int value)
{
    if (kind != FadeTitleThreshold || value == 0)
        return;
    for (int i = 0; i < BandPixels; i++)
        if (levels[i] < value)
            composite[i] |= RedByte;
}

ORVANTI_BAND_PASS void title_select(const uint8_t *wipe, int wipe_level, const uint32_t *band_a, const uint32_t *band_b)
{
    int seam_end = wipe_level + TitleSeamWidth;
    for (int r = 0; r < BandHeight; r++) {
        ptrdiff_t offset = static_cast<ptrdiff_t>(r) * RenderTarget.pitch;
        uint32_t *out = RenderTarget.pixels + offset;
        const uint32_t *a = band_a + offset;
        const uint32_t *b = band_b + offset;
        const uint8_t *w = wipe + r * BandWidth;
        for (int c = 0; c < BandWidth; c++) {
            if (w[c] > wipe_level)
                out[c] = w[c] < seam_end ? (a[c] | RedByte) : a[c];
            else
                out[c] = b[c];
        }
    }
}

void title_face_flat(Face *face)
{
    face_centroid(face);
    int x = clamp_index(FaceCentroidX, BandWidth);
    int y = clamp_index(FaceCentroidY, BandHeight);
    uint32_t pixel = image_words(&TitleColours)[y * BandWidth + x];
    Rgb colour = {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
    draw_face_flat(face, &colour);
    scale_face(face, OutlineScale);
    draw_face_wire(&ScaledFace, &Yellow);
}

void title_face_textured(Face *face)
{
    draw_face_textured(face, 1);
}

int title_scene_handler(int init, int ticks, int)
{
    if (!TitleSceneReady || !ScratchBandA || !ScratchBandB)
        return 0;
    if (init) {
        matrix_identity(TitleCamera);
        matrix_translate(TitleCamera, 0.0f, 0.0f, CameraDistance);
        TitleTextureRow = 0;
        for (int &row : TitleBackgroundRow)
            row = 0;
        TitleWipeLevel = TitleWipeLow;
        TitleWipeFalling = false;
    }
    uint32_t *frame = RenderTarget.pixels;
    title_advance(ticks);
    matrix_rotate_y(title_object()->matrix, static_cast<float>(ticks) * TurnY);
    TitleScrollTexture.pixels = TitleTexture.pixels + static_cast<size_t>(TitleTextureRow) * TextureWidth * sizeof(uint32_t);

    const uint32_t *back[3];
    for (int b = 0; b < 3; b++)
        back[b] = image_words(&TitleBackgrounds[b]) + static_cast<size_t>(TitleBackgroundRow[b]) * BandWidth;
    title_sum_backgrounds(TitleComposite, back[0], back[1], back[2]);
    title_flash(TitleComposite, TitleFlashRing + static_cast<size_t>(TitleTextureRow) * BandWidth, FadeKind, FadeValue);

    RenderTarget.pixels = ScratchBandA;
    copy_band(TitleComposite);
    render_title(title_face_flat);

    RenderTarget.pixels = ScratchBandB;
    copy_band(TitleComposite);
    matrix_translate(TitleCamera, 0.0f, 0.0f, TexturedCloser);
    render_title(title_face_textured);
    matrix_translate(TitleCamera, 0.0f, 0.0f, -TexturedCloser);

    RenderTarget.pixels = frame;
    title_select(TitleWipe.pixels, TitleWipeLevel, ScratchBandA, ScratchBandB);
    return 0;
}
