// The box scene: a textured box that breaks into shrinking triangles, then
// turns whole under colour flashes and a flickering title.
#include "scenes/box.h"

#include <cmath>
#include <cstddef>

#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"

Image BoxTexture, BoxOffset, BoxTitle, BoxTitleMask, BoxFlash;
Mesh BoxMorphMesh, BoxReferenceMesh, BoxRandomMesh;
Image BoxWindow;
Matrix BoxCamera;
BoxScrollRows BoxScrollRow;
float BoxMorphPhase, BoxOffsetPhase, BoxMorphAmount;
int BoxTitleColumn;

namespace {

constexpr const char *TextureName = BoxTextureAsset.name;
constexpr const char *OffsetName = BoxOffsetAsset.name;
constexpr const char *BoxMeshName = BoxMeshAsset.name;
constexpr const char *RandomMeshName = BoxRandomMeshAsset.name;
constexpr const char *TitleName = BoxTitleAsset.name;
constexpr const char *MaskName = BoxTitleMaskAsset.name;
constexpr const char *FlashName = BoxFlashAsset.name;

constexpr int TextureWidth = 256;
constexpr int WindowRows = 256;
constexpr int TextureMinRows = BoxScrollPeriod - 1 + WindowRows;  // 1,023
constexpr int OffsetWidth = 960;
constexpr int OffsetRows = 480;
constexpr int TitleRows = 160;
constexpr int TitleTop = 80;  // band row of the title's first row
constexpr int MaskWidth = 1280;
constexpr int MaskFirstRow = 63;
constexpr int MaskRowChoices = 64;
constexpr int MaskShowBelow = 32;
static_assert(BoxTextureAsset.width == TextureWidth && BoxTextureAsset.min_rows == TextureMinRows);
static_assert(BoxOffsetAsset.width == OffsetWidth && BoxOffsetAsset.min_rows == OffsetRows);
static_assert(BoxTitleAsset.min_rows == TitleRows);
static_assert(BoxTitleMaskAsset.width == MaskWidth && BoxTitleMaskAsset.min_rows == MaskFirstRow + MaskRowChoices);

constexpr float CameraDistance = -512.0f;
constexpr int BoxNearPlane = 450;
// The box turns within a few hundred units of 500: 2000 is far past it.
constexpr int BoxFarPlane = 2000;
constexpr float BoxScaleW = 0.2f;  // shows the box five times as large
constexpr float TurnY = 0.005f;    // radians per tick
constexpr float TurnX = 0.002f;
constexpr float MorphStep = 0.005f;
constexpr float OffsetStep = 0.0025f;
constexpr float RandomScale = 1.0f / 32767.0f;
constexpr float RimFactor = 0.4f;   // the black rim is this much of the face wider than the textured part
constexpr float ShrinkDivisor = 150.0f;

const Rgb Black = {0, 0, 0};

bool BoxSceneReady = false;

Object3D *morph_box()
{
    return &BoxMorphMesh.objects[0];
}

Object3D *reference_box()
{
    return &BoxReferenceMesh.objects[0];
}

void point_window(int row)
{
    BoxWindow.pixels = BoxTexture.pixels + static_cast<size_t>(row) * TextureWidth * sizeof(uint32_t);
}

void draw_box(Object3D *box, DrawCallback callback)
{
    render_object(box, BoxCamera, callback, BoxNearPlane, BoxFarPlane);
}

void reset_camera()
{
    matrix_identity(BoxCamera);
    matrix_translate(BoxCamera, 0.0f, 0.0f, CameraDistance);
}

} // namespace

void load_box_scene()
{
    BoxSceneReady = false;
    load_image(TextureName, &BoxTexture);
    BoxWindow = BoxTexture;
    load_image(OffsetName, &BoxOffset);
    load_mesh(BoxMeshName, &BoxMorphMesh);
    load_mesh(BoxMeshName, &BoxReferenceMesh);
    load_mesh(RandomMeshName, &BoxRandomMesh);

    bool meshes = require_mesh(BoxMeshName, &BoxMorphMesh) && require_mesh(BoxMeshName, &BoxReferenceMesh) &&
                  require_mesh(RandomMeshName, &BoxRandomMesh);
    if (meshes && BoxRandomMesh.objects[0].vertex_count < BoxMorphMesh.objects[0].vertex_count) {
        report_startup_failure("%s: has %d vertex records, fewer than the %d of %s", RandomMeshName,
                               BoxRandomMesh.objects[0].vertex_count, BoxMorphMesh.objects[0].vertex_count,
                               BoxMeshName);
        meshes = false;
    }
    if (meshes) {
        Object3D *random = &BoxRandomMesh.objects[0];
        for (int k = 0; k < random->vertex_count; k++) {
            random->vertices[k].u = static_cast<float>(random_next()) * RandomScale;
            random->vertices[k].v = static_cast<float>(random_next()) * RandomScale;
        }
        set_object_texture(morph_box(), &BoxTexture);
        matrix_scale_w(BoxMorphMesh.objects[0].matrix, BoxScaleW);
        matrix_scale_w(BoxReferenceMesh.objects[0].matrix, BoxScaleW);
        matrix_scale_w(BoxRandomMesh.objects[0].matrix, BoxScaleW);
    }

    load_image(TitleName, &BoxTitle);
    load_image(MaskName, &BoxTitleMask);
    load_image(FlashName, &BoxFlash);

    bool pictures = require_asset(BoxTextureAsset, &BoxTexture);
    pictures = require_asset(BoxOffsetAsset, &BoxOffset) && pictures;
    pictures = require_asset(BoxTitleAsset, &BoxTitle) && pictures;
    pictures = require_asset(BoxTitleMaskAsset, &BoxTitleMask) && pictures;
    pictures = require_asset(BoxFlashAsset, &BoxFlash) && pictures;
    BoxSceneReady = meshes && pictures;
}

void box_morph_advance(int ticks)
{
    for (int t = 0; t < ticks; t++) {
        BoxScrollRow.morph = (BoxScrollRow.morph + 1) % BoxScrollPeriod;
        BoxMorphPhase += MorphStep;
        BoxOffsetPhase += OffsetStep;
    }
}

void box_title_advance(int ticks)
{
    for (int t = 0; t < ticks; t++) {
        BoxScrollRow.title = (BoxScrollRow.title + 1) % BoxScrollPeriod;
        BoxTitleColumn = (BoxTitleColumn + 1) % BoxTitleColumns;
    }
}

void box_morph_coordinates(Object3D *morph, const Object3D *reference, const Object3D *random, float amount)
{
    int count = morph->vertex_count;
    if (reference->vertex_count < count)
        count = reference->vertex_count;
    if (random->vertex_count < count)
        count = random->vertex_count;
    for (int k = 0; k < count; k++) {
        const Vertex &ref = reference->vertices[k];
        const Vertex &rnd = random->vertices[k];
        morph->vertices[k].u = ref.u + amount * (rnd.u - ref.u);
        morph->vertices[k].v = ref.v + amount * (rnd.v - ref.v);
    }
}

float box_shrink_amount(double centroid_x, double centroid_y)
{
    double x = centroid_x < 0.0 ? 0.0 : (centroid_x >= BandWidth ? BandWidth - 1 : centroid_x);
    double y = centroid_y < 0.0 ? 0.0 : (centroid_y >= BandHeight ? BandHeight - 1 : centroid_y);
    float a = 6.0f * BoxOffsetPhase;
    x = x + (std::sin(a) + 1.0f) * 160.0;
    y = y + (std::cos(a) + 1.0f) * 80.0;
    // The clamp and the circle keep the point within 0..959 and 0..479.
    int m = BoxOffset.pixels[clamp_index(y, OffsetRows) * OffsetWidth + clamp_index(x, OffsetWidth)];
    return std::fabs(std::sin(BoxOffsetPhase) * static_cast<float>(m) * (1.0f / ShrinkDivisor));
}

void box_face_shrunk(Face *face)
{
    face_centroid(face);
    float s = box_shrink_amount(FaceCentroidX, FaceCentroidY);
    if (s < 1.0f) {
        scale_face(face, s + RimFactor);
        draw_face_flat(&ScaledFace, &Black);
        scale_face(face, s);
        draw_face_textured(&ScaledFace, 0);
    } else {
        draw_face_textured(face, 0);
    }
}

void box_face_textured(Face *face)
{
    draw_face_textured(face, 0);
}

ORVANTI_BAND_PASS void box_flash(const uint8_t *levels, int kind, int value)
{
    if (kind != FadeBoxTitleThreshold || value == 0)
        return;
    for (int r = 0; r < BandHeight; r++) {
        uint32_t *row = RenderTarget.pixels + static_cast<ptrdiff_t>(r) * RenderTarget.pitch;
        const uint8_t *level = levels + r * BandWidth;
        for (int c = 0; c < BandWidth; c++)
            if (level[c] < value)
                row[c] = BoxFlashColour;
    }
}

int box_title_mask_row(int draw)
{
    return MaskFirstRow + draw % MaskRowChoices;
}

ORVANTI_BAND_PASS void box_title_overlay(const uint32_t *title, const uint8_t *mask, int mask_row, int column)
{
    const uint8_t *mask_line = mask + static_cast<ptrdiff_t>(mask_row) * MaskWidth + column;
    for (int t = 0; t < TitleRows; t++) {
        uint32_t *row = RenderTarget.pixels + static_cast<ptrdiff_t>(TitleTop + t) * RenderTarget.pitch;
        const uint32_t *line = title + t * BandWidth;
        for (int c = 0; c < BandWidth; c++)
            if (mask_line[c] < MaskShowBelow && line[c] != 0)
                row[c] = line[c];
    }
}

int box_morph_handler(int init, int ticks, int)
{
    if (!BoxSceneReady)
        return 0;
    if (init) {
        reset_camera();
        set_object_texture(morph_box(), &BoxWindow);
        BoxMorphPhase = 0.0f;
        BoxScrollRow.morph = 0;
        BoxOffsetPhase = 0.0f;
    }
    box_morph_advance(ticks);
    matrix_rotate_y(morph_box()->matrix, static_cast<float>(ticks) * TurnY);
    matrix_rotate_x(morph_box()->matrix, static_cast<float>(ticks) * TurnX);
    point_window(BoxScrollRow.morph);
    BoxMorphAmount = (std::sin(BoxMorphPhase) + 1.0f) * 0.25f;
    box_morph_coordinates(morph_box(), reference_box(), &BoxRandomMesh.objects[0], BoxMorphAmount);
    draw_box(morph_box(), box_face_shrunk);
    return 0;
}

int box_title_handler(int init, int ticks, int)
{
    if (!BoxSceneReady)
        return 0;
    if (init) {
        reset_camera();
        set_object_texture(reference_box(), &BoxWindow);
        BoxScrollRow.title = 0;
        BoxTitleColumn = 0;
    }
    box_title_advance(ticks);
    matrix_rotate_y(reference_box()->matrix, static_cast<float>(ticks) * TurnY);
    matrix_rotate_x(reference_box()->matrix, static_cast<float>(ticks) * TurnX);
    point_window(BoxScrollRow.title);
    draw_box(reference_box(), box_face_textured);
    box_flash(BoxFlash.pixels, FadeKind, FadeValue);
    box_title_overlay(image_words(&BoxTitle), BoxTitleMask.pixels, box_title_mask_row(random_next()), BoxTitleColumn);
    return 0;
}
