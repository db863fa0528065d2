// The credits scene: text scrolling up through a mask over a fixed
// background, a small textured gem turning on the right, flashes that
// invert the band and the closing dissolve to black.
#include "scenes/credits.h"

#include <cmath>
#include <cstdint>

#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"

float CreditsTextScroll = 0.0f;
float CreditsWindowPhase = 0.0f;
Matrix CreditsCamera;

Image CreditsBackground;
Image CreditsText;
Image CreditsMask;
Image CreditsTexture;
Image CreditsWindow;
Image CreditsDissolve;
Mesh CreditsMesh;
bool CreditsSceneReady = false;

namespace {

const char *const BackgroundName = CreditsBackgroundAsset.name;
const char *const TextName = CreditsTextAsset.name;
const char *const MaskName = CreditsMaskAsset.name;
const char *const TextureName = CreditsTextureAsset.name;
const char *const MeshName = CreditsMeshAsset.name;
const char *const DissolveName = CreditsDissolveAsset.name;

constexpr int WindowSwing = 256;  // the window's first row runs from 0 to 512
static_assert(CreditsTextureAsset.min_rows == 2 * WindowSwing + TextureSide, "the window's whole swing");
static_assert(CreditsTextAsset.width == CreditsTextWidth && CreditsTextAsset.min_rows == CreditsTextRows);
static_assert(CreditsMaskAsset.width == CreditsTextWidth);
constexpr size_t TextPixels = size_t{CreditsTextWidth} * CreditsTextRows;

constexpr float ScrollStep = 0.25f;
constexpr float WindowStep = 0.005f;
constexpr float TurnY = 0.01f, TurnX = 0.005f;  // radians per tick
constexpr float ObjectScaleW = 0.2f;            // shown at five times its stored size
constexpr float CameraX = -300.0f, CameraZ = -512.0f;  // the camera stands to the object's left
constexpr int CreditsNear = 500;
// The lettering stays between the near plane and a few hundred units past it.
constexpr int CreditsFar = 3000;


const Rgb White = {255, 255, 255};

Object3D *credits_object() { return first_object(&CreditsMesh); }

ORVANTI_BAND_PASS void draw_text()
{
    const uint32_t *text = image_words(&CreditsText);
    const uint8_t *mask = CreditsMask.pixels;
    size_t q = static_cast<size_t>(CreditsTextScroll) * CreditsTextWidth;
    for (int j = 0; j < BandHeight; j++) {
        uint32_t *row = RenderTarget.pixels + static_cast<size_t>(j) * RenderTarget.pitch + CreditsTextLeft;
        const uint8_t *open = mask + static_cast<size_t>(j) * CreditsTextWidth;
        for (int k = 0; k < CreditsTextWidth; k++)
            if (open[k])
                row[k] = text[q + k];
        q = (q + CreditsTextWidth) % TextPixels;
    }
}

ORVANTI_BAND_PASS void dissolve_band(int level)
{
    const uint8_t *order = CreditsDissolve.pixels;
    for (int r = 0; r < BandHeight; r++) {
        uint32_t *row = RenderTarget.pixels + static_cast<size_t>(r) * RenderTarget.pitch;
        const uint8_t *levels = order + static_cast<size_t>(r) * BandWidth;
        for (int c = 0; c < BandWidth; c++)
            if (levels[c] >= level)
                row[c] = 0;
    }
}

}  // namespace

void load_credits_scene()
{
    CreditsSceneReady = false;
    load_image(BackgroundName, &CreditsBackground);
    load_image(TextName, &CreditsText);
    load_image(MaskName, &CreditsMask);
    load_image(TextureName, &CreditsTexture);
    CreditsWindow = CreditsTexture;
    load_mesh(MeshName, &CreditsMesh);
    if (Object3D *object = credits_object()) {
        matrix_scale_w(object->matrix, ObjectScaleW);
        set_object_texture(object, &CreditsWindow);
    }
    load_image(DissolveName, &CreditsDissolve);

    bool ok = require_asset(CreditsBackgroundAsset, &CreditsBackground);
    ok = require_asset(CreditsTextAsset, &CreditsText) && ok;
    ok = require_asset(CreditsMaskAsset, &CreditsMask) && ok;
    ok = require_asset(CreditsTextureAsset, &CreditsTexture) && ok;
    ok = require_mesh(MeshName, &CreditsMesh) && ok;
    ok = require_asset(CreditsDissolveAsset, &CreditsDissolve) && ok;
    CreditsSceneReady = ok;
}

void release_credits_scene()
{
    free_image(&CreditsBackground);
    free_image(&CreditsText);
    free_image(&CreditsMask);
    free_image(&CreditsTexture);
    CreditsWindow = Image{};  // it only ever points into CreditsTexture
    free_image(&CreditsDissolve);
    free_mesh(&CreditsMesh);
    CreditsSceneReady = false;
}

void credits_face(Face *face)
{
    draw_face_textured(face, 0);
    draw_face_wire(face, &White);
}

// The parameter is not used.
int credits_scene_handler(int init, int ticks, int)
{
    if (init) {
        matrix_identity(CreditsCamera);
        matrix_translate(CreditsCamera, CameraX, 0.0f, CameraZ);
        CreditsTextScroll = 0.0f;
        set_draw_callback(credits_face);
    }
    for (int t = 0; t < ticks; t++) {
        CreditsTextScroll += ScrollStep;
        if (CreditsTextScroll >= static_cast<float>(CreditsTextRows))
            CreditsTextScroll -= static_cast<float>(CreditsTextRows);
        CreditsWindowPhase += WindowStep;
    }
    Object3D *object = credits_object();
    if (object != nullptr) {
        matrix_rotate_y(object->matrix, static_cast<float>(ticks) * TurnY);
        matrix_rotate_x(object->matrix, static_cast<float>(ticks) * TurnX);
    }
    // Drawing needs every asset in its shape; start-up never runs a failed load.
    if (!CreditsSceneReady)
        return 0;

    int first_row = WindowSwing + truncate_to_int(WindowSwing * std::sin(CreditsWindowPhase));
    CreditsWindow.pixels = CreditsTexture.pixels + static_cast<size_t>(first_row) * TextureSide * 4;
    CreditsWindow.height = CreditsTexture.height - first_row;  // rows left below the window

    copy_band(image_words(&CreditsBackground));
    draw_text();

    // The callback is global: set again in case anything drew since the init call.
    render_object(object, CreditsCamera, credits_face, CreditsNear, CreditsFar);

    if (FadeKind == FadeFlash) {
        if (FadeValue != 0)
            invert_band();
    } else if (FadeKind == FadeCreditsDissolve) {
        dissolve_band(FadeValue);
    }
    return 0;
}
