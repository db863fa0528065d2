// The tunnel scene: a swaying flight through a wire and lattice tube with a
// ball of pulsing white cores floating ahead.
#include "scenes/tunnel.h"

#include <cmath>
#include <cstring>

#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "scenes/believe.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "scenes/swing.h"
#include "scenes/title.h"

float TunnelTravel = 0.0f;
float TunnelSway = 0.0f;
float TunnelMorph = 0.0f;
bool TunnelMorphFalling = false;
float TunnelPhase = 0.0f;
int TunnelTextureCounter = 0;

Mesh TunnelWireMesh;
Mesh TunnelSwollenMesh;
Mesh TunnelTexturedMesh;
Mesh TunnelBallMesh;
Image TunnelTexture;
Image TunnelScrollTexture;
Image TunnelBallTexture;
Image TunnelPicture;
Matrix TunnelCamera;
Matrix TunnelBallCamera;

bool TunnelSceneReady = false;

namespace {

const char *const TubeName = TunnelMeshAsset.name;
const char *const BallName = BallMeshAsset.name;
const char *const TextureName = TunnelTextureAsset.name;
const char *const BallTextureName = TunnelBallTextureAsset.name;
const char *const PictureName = TunnelPictureAsset.name;
constexpr float TunnelScale = 0.5f;
constexpr float TunnelBallScale = 1.0f;
constexpr float TravelStep = 7.1f;  // 355 units a second
constexpr float SwayStep = 0.05f;
constexpr float MorphStep = 0.03f;
constexpr float MorphTop = 1.0f, MorphBottom = -0.5f;
constexpr float PhaseStep = 0.01f;
constexpr int TextureWindowRows = 256;
static_assert(TunnelTextureAsset.min_rows == 2 * TextureWindowRows &&
              TunnelBallTextureAsset.min_rows == TextureWindowRows);
constexpr float TubeTurn = 0.005f;  // radians per tick about the tube's axis
constexpr float BallTurn = 0.05f;   // radians per tick about x and about y
constexpr float CameraDistance = 200.0f;
constexpr float SwayOffset = 60.0f;
constexpr float SwayShear = 0.25f;
constexpr float SwayTilt = 0.2f;
constexpr float BallCameraTilt = 0.1f;
constexpr float BallSpeedRatio = 0.015625f;  // the ball recedes at 1/64 of the flight
constexpr float BallLead = 32.0f;
constexpr float SmearWidth = 20.0f;
constexpr float CoreSize = 0.4f;
constexpr float CoreThreshold = 0.15f;
constexpr int WireNear = 120, WireFar = 2000;
constexpr int LatticeNear = 150, LatticeFar = 1500;
// Matrix elements the camera's sway writes directly (row-major, 0 to 15).

const Rgb DarkGreen = {0, 128, 0};
const Rgb Red = {255, 0, 0};
const Rgb White = {255, 255, 255};
const Rgb Black = {0, 0, 0};

// A widening factor from 1 to 2.9375 in sixteenths.
float widening_factor()
{
    return static_cast<float>(random_next() % 32 + 16) * 0.0625f;
}

} // namespace

void load_tunnel_scene()
{
    TunnelSceneReady = false;
    Mesh *tubes[3] = {&TunnelWireMesh, &TunnelSwollenMesh, &TunnelTexturedMesh};
    for (Mesh *tube : tubes) {
        load_mesh(TubeName, tube);
        if (Object3D *obj = first_object(tube))
            matrix_scale_w(obj->matrix, TunnelScale);
    }
    load_mesh(BallName, &TunnelBallMesh);
    if (Object3D *ball = first_object(&TunnelBallMesh))
        matrix_scale_w(ball->matrix, TunnelBallScale);

    // Every second record, normal records included, is pushed outward by its
    // own random factors; the others keep the round shape.
    if (Object3D *swollen = first_object(&TunnelSwollenMesh)) {
        for (int j = 0; j < swollen->vertex_count; j += 2) {
            Vertex &v = swollen->vertices[j];
            v.x = v.x * widening_factor();
            v.y = v.y * widening_factor();
        }
    }

    load_image(TextureName, &TunnelTexture);
    load_image(BallTextureName, &TunnelBallTexture);
    TunnelScrollTexture = TunnelTexture;

    for (Mesh *tube : tubes) {
        if (Object3D *obj = first_object(tube))
            set_object_texture(obj, &TunnelScrollTexture);
    }
    if (Object3D *ball = first_object(&TunnelBallMesh))
        set_object_texture(ball, &TunnelBallTexture);

    load_image(PictureName, &TunnelPicture);

    // The window reads up to row 511 of the tube's texture; the mapper reads
    // 256 by 256 of the ball's; the picture is copied whole.
    bool ok = true;
    for (Mesh *tube : tubes)
        ok = require_mesh(TubeName, tube) && ok;
    ok = require_mesh(BallName, &TunnelBallMesh) && ok;
    ok = require_asset(TunnelTextureAsset, &TunnelTexture) && ok;
    ok = require_asset(TunnelBallTextureAsset, &TunnelBallTexture) && ok;
    ok = require_asset(TunnelPictureAsset, &TunnelPicture) && ok;
    TunnelSceneReady = ok;
}

void tunnel_face_shifted_wire(Face *face)
{
    draw_face_wire_shifted(face, &DarkGreen, std::sin(TunnelPhase) * SmearWidth);
}

void tunnel_face_wire(Face *face)
{
    draw_face_wire(face, &Red);
}

void tunnel_ball_face(Face *face)
{
    float core = (std::sin(TunnelPhase) + 1.0f) * CoreSize;
    if (core > CoreThreshold) {
        scale_face(face, core);
        draw_face_flat(&ScaledFace, &White);
        draw_face_wire(&ScaledFace, &Black);
    }
    draw_face_textured(face, 1);
}

namespace {

void advance_tunnel(int ticks)
{
    for (int i = 0; i < ticks; i++) {
        TunnelTravel += TravelStep;
        TunnelSway += SwayStep;
        step_swing(&TunnelMorph, &TunnelMorphFalling, MorphStep, MorphBottom, MorphTop);
        TunnelTextureCounter = (TunnelTextureCounter + 1) % TextureWindowRows;
        TunnelPhase += PhaseStep;
    }
}

void place_cameras()
{
    matrix_identity(TunnelCamera);
    matrix_translate(TunnelCamera, 0.0f, 0.0f, -CameraDistance);
    TunnelCamera[MatrixTranslateX] = std::sin(TunnelSway) * SwayOffset;
    TunnelCamera[MatrixTranslateY] = std::cos(TunnelSway) * SwayOffset;
    TunnelCamera[MatrixShearYByX] = std::sin(TunnelSway) * SwayShear;
    TunnelCamera[MatrixShearZByX] = std::cos(TunnelSway / 2.0f) * SwayShear;
    matrix_rotate_x(TunnelCamera, SwayTilt * std::sin(TunnelSway / 2.0f));
    matrix_rotate_y(TunnelCamera, SwayTilt * std::cos(TunnelSway / 4.0f));

    matrix_identity(TunnelBallCamera);
    matrix_translate(TunnelBallCamera, 0.0f, 0.0f, -CameraDistance);
    matrix_rotate_x(TunnelBallCamera, BallCameraTilt * std::cos(TunnelSway / 4.0f));
    matrix_rotate_y(TunnelBallCamera, BallCameraTilt * std::sin(TunnelSway / 4.0f));
}

void draw_tunnel_background()
{
    const uint32_t *picture = nullptr;
    if (FadeValue != 0)
        picture = FadeKind == FadeFlash ? image_words(&TunnelPicture) : BelieveSnapshot;
    if (picture != nullptr) {
        copy_band(picture);
        return;
    }
    // Black, also when the picture a flash asks for was never loaded.
    fill_band(0);
}

void morph_tube(Object3D *wire, Object3D *swollen, Object3D *textured)
{
    for (int j = 0; j < wire->vertex_count; j++) {
        const Vertex &rest = wire->vertices[j];
        const Vertex &wide = swollen->vertices[j];
        textured->vertices[j].x = rest.x + (wide.x - rest.x) * TunnelMorph;
        textured->vertices[j].y = rest.y + (wide.y - rest.y) * TunnelMorph;
    }
}

} // namespace

int tunnel_scene_handler(int init, int ticks, int)
{
    if (init) {
        TunnelTravel = 0.0f;
        TunnelSway = 0.0f;
        TunnelMorph = 0.0f;
        TunnelPhase = 0.0f;
        TunnelTextureCounter = 0;
        TunnelMorphFalling = false;
    }
    advance_tunnel(ticks);
    // Drawing needs every asset in its shape; start-up never runs a failed load.
    if (!TunnelSceneReady)
        return 0;

    Object3D *wire = first_object(&TunnelWireMesh);
    Object3D *swollen = first_object(&TunnelSwollenMesh);
    Object3D *textured = first_object(&TunnelTexturedMesh);
    Object3D *ball = first_object(&TunnelBallMesh);

    if (textured != nullptr)
        matrix_rotate_z(textured->matrix, static_cast<float>(ticks) * TubeTurn);
    if (ball != nullptr) {
        float turn = static_cast<float>(ticks) * BallTurn;
        matrix_rotate_x(ball->matrix, turn);
        matrix_rotate_y(ball->matrix, turn);
    }

    // Counter 0 shows rows 256..511, counter 255 rows 1..256: the window climbs.
    TunnelScrollTexture.pixels = reinterpret_cast<uint8_t *>(
        image_words(&TunnelTexture) + (TextureWindowRows - TunnelTextureCounter) * TextureSide);

    place_cameras();
    if (wire != nullptr)
        wire->matrix[MatrixTranslateZ] = -TunnelTravel;
    if (textured != nullptr)
        textured->matrix[MatrixTranslateZ] = -TunnelTravel;
    if (ball != nullptr)
        ball->matrix[MatrixTranslateZ] = TunnelTravel * BallSpeedRatio + BallLead;

    draw_tunnel_background();

    // The three tubes come from one file: their records match one to one.
    if (wire != nullptr && swollen != nullptr && textured != nullptr &&
        swollen->vertex_count == wire->vertex_count && textured->vertex_count == wire->vertex_count)
        morph_tube(wire, swollen, textured);

    set_near_plane(WireNear);
    set_far_plane(WireFar);
    if (wire != nullptr) {
        cull_object(wire, TunnelCamera);
        transform_object(wire, TunnelCamera);
        project_object(wire);
        set_draw_callback(tunnel_face_shifted_wire);
        draw_object(wire);
        set_draw_callback(tunnel_face_wire);
        draw_object(wire);
    }

    set_near_plane(LatticeNear);
    set_far_plane(LatticeFar);
    set_draw_callback(title_face_textured);
    if (textured != nullptr) {
        cull_object(textured, TunnelCamera);
        transform_object(textured, TunnelCamera);
        project_object(textured);
        draw_object(textured);
    }

    if (ball != nullptr) {
        render_object(ball, TunnelBallCamera, tunnel_ball_face, LatticeNear, LatticeFar);
    }
    return 0;
}
