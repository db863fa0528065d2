// The ball scene: three copies of one ball in front of a warped vortex; the
// vortex ball wears the vortex's red centre, the rough ball is a white
// wireframe, and a small white ball shows while the camera swings close.
#include "scenes/ball.h"

#include <cmath>
#include <cstdlib>

#include "data/archive.h"
#include "data/startup_error.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"

namespace {

constexpr int VortexSide = 256;
constexpr size_t VortexBytes = size_t{VortexSide} * VortexSide * 4;
// The square of the band copied onto the vortex ball: its centre.
constexpr int VortexTop = 32;
constexpr int VortexLeft = 192;
constexpr uint32_t RedOnly = 0x00FF0000;

// The warp reads one map byte per band pixel.
constexpr int MapWidth = BallMapXAsset.width;
constexpr int MapHeight = BallMapXAsset.min_rows;
static_assert(BallMapYAsset.width == MapWidth && BallMapYAsset.min_rows == MapHeight);

constexpr float StartPhase = 3.1415927f;
constexpr float PhaseStep = 0.0395f;
constexpr float CameraRestZ = -200.0f;   // start and centre of the bob
constexpr float BobSwing = 50.0f;        // doubled by parameter bit 0
constexpr float SwayWidth = 50.0f;
constexpr int ParamWideSwing = 1;
constexpr int ParamStopNear = 2;

// Shown sizes: the two outer balls at 1/0.6, the white one at 1/4.
constexpr float BallScaleW = 0.6f;
constexpr float WhiteScaleW = 4.0f;

// Turn per tick, radians.
constexpr float VortexTurnY = 0.02f, VortexTurnX = 0.01f;
constexpr float RoughTurnY = -0.03f, RoughTurnX = -0.015f;
constexpr float WhiteTurnY = 0.03f, WhiteTurnX = 0.015f;

// Roughening: each coordinate moves by -32 to 31.
constexpr int RoughSpan = 64;


const Rgb White = {255, 255, 255};
const Rgb Black = {0, 0, 0};

const char *const MapXName = BallMapXAsset.name;
const char *const MapYName = BallMapYAsset.name;
const char *const SourceName = BallSourceAsset.name;
const char *const MeshName = BallMeshAsset.name;

Object3D *vortex_ball() { return &BallVortexMesh.objects[0]; }
Object3D *rough_ball() { return &BallRoughMesh.objects[0]; }
Object3D *white_ball() { return &BallWhiteMesh.objects[0]; }

void load_ball(Mesh *mesh, float scale_w, bool *ok)
{
    load_mesh(MeshName, mesh);
    if (require_mesh(MeshName, mesh))
        matrix_scale_w(mesh->objects[0].matrix, scale_w);
    else
        *ok = false;
}

constexpr int WhiteBallNearPlane = 0;

void draw_ball(Object3D *ball, DrawCallback routine, int near_plane)
{
    render_object(ball, BallCamera, routine, near_plane, BallFarPlane);
}

bool camera_near()
{
    return BallCamera[MatrixTranslateZ] > BallNearZ;
}

bool vortex_colours_swapped()
{
    return FadeKind == FadeStrongFlash && FadeValue != 0;
}

// The vortex's centre square, red channel only, onto the vortex ball.
ORVANTI_BAND_PASS void take_vortex_texture()
{
    uint32_t *texels = image_words(&BallVortexTexture);
    for (int r = 0; r < VortexSide; r++) {
        const uint32_t *row =
            RenderTarget.pixels + static_cast<ptrdiff_t>(VortexTop + r) * RenderTarget.pitch + VortexLeft;
        uint32_t *out = texels + r * VortexSide;
        for (int c = 0; c < VortexSide; c++)
            out[c] = row[c] & RedOnly;
    }
}

} // namespace

Image BallVortexTexture = {ImageWords, VortexSide, VortexSide, nullptr, nullptr, nullptr};
int BallTicks = 0;
float BallPhase = StartPhase;
Matrix BallCamera = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, CameraRestZ, 1};

Image BallMapX, BallMapY, BallSource, BallSourceInverted;
Mesh BallVortexMesh, BallRoughMesh, BallWhiteMesh;
bool BallSceneReady = false;

void load_ball_scene()
{
    bool ok = true;
    ok = load_warp_pictures(MapXName, MapYName, SourceName, MapWidth, MapHeight, &BallMapX, &BallMapY, &BallSource,
                            &BallSourceInverted) && ok;

    alloc_cleared(&BallVortexTexture.pixels, VortexBytes);
    ok = ok && BallVortexTexture.pixels;

    load_ball(&BallVortexMesh, BallScaleW, &ok);
    load_ball(&BallRoughMesh, BallScaleW, &ok);
    load_ball(&BallWhiteMesh, WhiteScaleW, &ok);
    if (BallRoughMesh.objects)
        roughen_object(rough_ball(), RoughSpan, RoughSpan);
    if (BallVortexMesh.objects)
        set_object_texture(vortex_ball(), &BallVortexTexture);
    BallSceneReady = ok;
}

void release_ball_scene()
{
    free_image(&BallMapX);
    free_image(&BallMapY);
    free_image(&BallSource);
    free_image(&BallSourceInverted);
    free(BallVortexTexture.pixels);
    BallVortexTexture.pixels = nullptr;
    free_mesh(&BallVortexMesh);
    free_mesh(&BallRoughMesh);
    free_mesh(&BallWhiteMesh);
    BallSceneReady = false;
}

void ball_face_vortex(Face *face)
{
    bool swapped = vortex_colours_swapped();
    if (camera_near())
        draw_face_textured(face, 0);
    else
        draw_face_flat(face, swapped ? &White : &Black);
    draw_face_wire(face, swapped ? &Black : &White);
}

void ball_face_wire(Face *face)
{
    draw_face_wire(face, &White);
}

void ball_face_white(Face *face)
{
    draw_face_flat(face, &White);
    draw_face_wire(face, &Black);
}

int ball_scene_handler(int init, int ticks, int param)
{
    if (init) {
        matrix_identity(BallCamera);
        matrix_translate(BallCamera, 0, 0, CameraRestZ);
        BallTicks = 0;
        BallPhase = StartPhase;
    }
    // A clock never runs backwards; a negative step is taken as none.
    int steps = ticks > 0 ? ticks : 0;
    BallTicks += steps;
    for (int i = 0; i < steps; i++)
        BallPhase += PhaseStep;
    if (!BallSceneReady)
        return 0;

    float turns = static_cast<float>(steps);
    matrix_rotate_y(vortex_ball()->matrix, turns * VortexTurnY);
    matrix_rotate_x(vortex_ball()->matrix, turns * VortexTurnX);
    matrix_rotate_y(rough_ball()->matrix, turns * RoughTurnY);
    matrix_rotate_x(rough_ball()->matrix, turns * RoughTurnX);
    matrix_rotate_y(white_ball()->matrix, turns * WhiteTurnY);
    matrix_rotate_x(white_ball()->matrix, turns * WhiteTurnX);

    // Bit 1 holds the camera once it has come to BallStopZ or nearer.
    if (!(param & ParamStopNear) || BallCamera[MatrixTranslateZ] < BallStopZ) {
        float swing = (param & ParamWideSwing) ? 2 * BobSwing : BobSwing;
        BallCamera[MatrixTranslateZ] = std::sin(BallPhase) * swing + CameraRestZ;
    }
    BallCamera[MatrixTranslateX] = std::sin(BallPhase * 0.5f) * SwayWidth;

    bool inverted = (FadeKind == FadeFlash || FadeKind == FadeStrongFlash) && FadeValue != 0;
    const Image &source = inverted ? BallSourceInverted : BallSource;
    warp_band(BallMapX.pixels, BallMapY.pixels, image_words(&source), BallTicks, BallTicks / 2);
    take_vortex_texture();

    draw_ball(rough_ball(), ball_face_wire, BallNearPlane);
    draw_ball(vortex_ball(), ball_face_vortex, BallNearPlane);
    if (camera_near()) {
        // The white ball is culled at its unscaled placement, which comes
        // within 75 of the camera; near 0 keeps it whole.
        draw_ball(white_ball(), ball_face_white, WhiteBallNearPlane);
    }
    return 0;
}
