// The believe scene: a textured, orange-outlined solid and a solid of pulsing
// red cores turning together over a still background.
#include "scenes/believe.h"

#include <cmath>

#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"

float BelievePhase = 0.0f;
Matrix BelieveCamera;
Image BelieveBackground;
Image BelieveTexture;
Mesh BelieveOsmaMesh;
Mesh BelieveGulaMesh;

bool BelieveSceneReady = false;
uint32_t *BelieveSnapshot = nullptr;

namespace {

const char *const BackgroundName = BelieveBackgroundAsset.name;
const char *const TextureName = BelieveTextureAsset.name;
const char *const OsmaName = BelieveOsmaAsset.name;
const char *const GulaName = GulaAsset.name;
constexpr float BelieveObjectScale = 0.2f;  // shown five times the stored size
constexpr float BelieveCameraDistance = 500.0f;
constexpr int BelieveNear = 450, BelieveFar = 2000;
constexpr float BelievePhaseStep = 0.05f;
constexpr float BelieveTurnY = 0.01f, BelieveTurnX = 0.005f;  // radians per tick
constexpr int BelieveFlagAdvanceOnly = 1;
constexpr int BelieveOutlineShift = 5;  // pixels the second white outline is pushed sideways

const Rgb BelieveOrange = {255, 128, 0};
const Rgb BelieveRed = {255, 0, 0};
const Rgb BelieveWhite = {255, 255, 255};

} // namespace

void load_believe_scene()
{
    BelieveSceneReady = false;
    load_image(BackgroundName, &BelieveBackground);
    load_image(TextureName, &BelieveTexture);
    load_mesh(OsmaName, &BelieveOsmaMesh);
    if (Object3D *osma = first_object(&BelieveOsmaMesh)) {
        matrix_scale_w(osma->matrix, BelieveObjectScale);
        set_object_texture(osma, &BelieveTexture);
    }
    load_mesh(GulaName, &BelieveGulaMesh);
    if (Object3D *gula = first_object(&BelieveGulaMesh))
        matrix_scale_w(gula->matrix, BelieveObjectScale);

    // The background is copied whole and the texture read 256 by 256 every frame.
    bool ok = require_asset(BelieveBackgroundAsset, &BelieveBackground);
    ok = require_asset(BelieveTextureAsset, &BelieveTexture) && ok;
    ok = require_mesh(OsmaName, &BelieveOsmaMesh) && ok;
    ok = require_mesh(GulaName, &BelieveGulaMesh) && ok;
    BelieveSceneReady = ok;
}

void believe_face_textured(Face *face)
{
    draw_face_textured(face, 0);
    draw_face_wire(face, &BelieveOrange);
}

void believe_face_pulse(Face *face)
{
    // The core breathes between 0.125 and 0.625 of its face.
    float extent = 0.375f + 0.25f * std::sin(BelievePhase);
    scale_face(face, extent);
    draw_face_flat(&ScaledFace, &BelieveRed);

    draw_face_wire(face, &BelieveWhite);

    draw_face_wire_shifted(face, &BelieveWhite, BelieveOutlineShift);
}

namespace {

void draw_believe_object(Object3D *obj, DrawCallback callback)
{
    if (obj == nullptr)
        return;
    render_object(obj, BelieveCamera, callback, BelieveNear, BelieveFar);
}

} // namespace

int believe_scene_handler(int init, int ticks, int flags)
{
    if (init) {
        matrix_identity(BelieveCamera);
        matrix_translate(BelieveCamera, 0.0f, 0.0f, -BelieveCameraDistance);
        BelievePhase = 0.0f;
    }
    for (int i = 0; i < ticks; i++)
        BelievePhase += BelievePhaseStep;

    Object3D *osma = first_object(&BelieveOsmaMesh);
    Object3D *gula = first_object(&BelieveGulaMesh);
    float turn_y = static_cast<float>(ticks) * BelieveTurnY;
    float turn_x = static_cast<float>(ticks) * BelieveTurnX;
    if (osma != nullptr) {
        matrix_rotate_y(osma->matrix, turn_y);
        matrix_rotate_x(osma->matrix, turn_x);
    }
    if (gula != nullptr) {
        matrix_rotate_y(gula->matrix, turn_y);
        matrix_rotate_x(gula->matrix, turn_x);
    }
    // Drawing needs every asset in its shape; start-up never runs a failed load.
    if ((flags & BelieveFlagAdvanceOnly) || !BelieveSceneReady)
        return 0;

    copy_band(image_words(&BelieveBackground));
    draw_believe_object(gula, believe_face_pulse);
    draw_believe_object(osma, believe_face_textured);
    return 0;
}
