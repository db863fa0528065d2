// The system scene: six textured copies zooming out of a white screen, a
// circling 50 by 50 grid landscape drawn as line art (rays, collapsing
// faces, outlines, a relief of blue faces and red strokes, a travelling
// wave), and the gula star in doubled outlines during flashes.
#include "scenes/system.h"

#include <cmath>
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

int SystemTextureRow = 0;
float SystemScale = 3.0f;
float SystemSpin = 0.0f;
float SystemPulse = 0.0f;
float SystemOrbit = 0.0f;
float SystemStrokeSway = 0.0f;
float SystemStrokeRise = 0.0f;
float SystemWaveRows = 0.0f;
float SystemWaveColumns = 1.11f;
float SystemWaveAmount = 0.0f;
float SystemFaceScale = 1.0f;

Matrix SystemPlaneCamera, SystemCopyCamera, SystemGulaCamera;

Mesh SystemCopyMeshes[SystemCopyCount];
Mesh SystemPlaneMesh;
Mesh SystemGulaMesh;
Image SystemTexture;
Image SystemTextureStore;
Image SystemHeight;
bool SystemSceneReady = false;

namespace {

const char *const CopyName = SystemMeshAsset.name;
const char *const TextureName = SystemTextureAsset.name;
const char *const PlaneName = SystemPlaneAsset.name;
const char *const HeightName = SystemHeightAsset.name;
const char *const GulaName = GulaAsset.name;

// The window starts at most 30 rows down and spans 256 rows.
constexpr int TextureMinRows = 286;
static_assert(SystemTextureAsset.min_rows == TextureMinRows);
static_assert(SystemHeightAsset.width == SystemGridSide && SystemHeightAsset.min_rows == SystemGridSide);
constexpr int TextureRowStep = 2, TextureRowWrap = 32;

// Copy 0's w falls from 3.0 to 0.2 and jumps back; the others sit 0.5 apart.
constexpr float ScaleTop = 3.0f, ScaleFloor = 0.2f, ScaleStep = 0.005f;
constexpr float CopySpacing = 0.5f;
constexpr float SpinStep = -0.01f;
constexpr float PulseStep = 0.1f;
constexpr float OrbitStep = 0.01f, OrbitRadius = 400.0f;
constexpr float StrokeSwayStep = 0.1f, StrokeRiseStep = 0.05f;
constexpr float WaveRowsStep = 0.05f, WaveColumnsStep = 0.021f, WaveColumnsStart = 1.11f;
constexpr float WaveGrowth = 0.0025f, WaveFull = 1.0f;
constexpr float WaveDepth = -150.0f;  // negative z is up, toward the camera
constexpr float WaveColumnFrequency = 0.4f, WaveRowFrequency = 0.5f;
constexpr float PlaneTurnStep = 0.005f;
constexpr float GulaTurnY = 0.01f, GulaTurnX = 0.005f;
constexpr float GulaScaleW = 0.2f;  // shown at five times its stored size

constexpr int GulaNear = 450, GulaFar = 2000;
constexpr float GulaCameraZ = -500.0f;
constexpr int PlaneNear = 0, PlaneFar = 3000;
constexpr float PlaneCameraY = 50.0f, PlaneCameraZ = -300.0f;  // 300 above the grid
constexpr float LookLevel = -1.5707964f;  // -pi/2: the camera looks along the ground
constexpr int CopyNear = 250, CopyFar = 3000;
constexpr float CopyCameraY = -80.0f, CopyCameraZ = -300.0f;

// The point above the horizon the rays run to.
constexpr int RayX = 320, RayY = 90;
constexpr int StrokeSway = 10, StrokeHeight = 50;
constexpr int OutlineShift = 5;  // the doubled outline's sideways push


const Rgb Black = {0, 0, 0};
const Rgb White = {255, 255, 255};
const Rgb Red = {255, 0, 0};
const Rgb Cyan = {0, 255, 255};
const Rgb Blue = {0, 64, 255};
const Rgb Amber = {255, 196, 0};

bool flash_on()
{
    return FadeKind == FadeFlash && FadeValue != 0;
}

float fade_fraction()
{
    return static_cast<float>(FadeValue) / 255.0f;
}

// The grid index a face keeps in one of its vertices, forced into the grid
// so that it can always address the height picture.
int grid_index(const Vertex *v)
{
    int i = v->scene_data;
    return i < 0 || i >= SystemGridVertices ? 0 : i;
}

void draw_double_outline(Face *face, const Rgb *colour)
{
    draw_face_wire(face, colour);
    draw_face_wire_shifted(face, colour, OutlineShift);
}

void reset_state()
{
    SystemTextureRow = 0;
    SystemScale = ScaleTop;
    SystemSpin = 0.0f;
    SystemPulse = 0.0f;
    SystemOrbit = 0.0f;
    SystemStrokeSway = 0.0f;
    SystemStrokeRise = 0.0f;
    SystemWaveRows = 0.0f;
    SystemWaveColumns = WaveColumnsStart;
    SystemWaveAmount = 0.0f;
}

void step_state(int param)
{
    SystemTextureRow = (SystemTextureRow + TextureRowStep) % TextureRowWrap;
    SystemScale -= ScaleStep;
    if (SystemScale <= ScaleFloor)
        SystemScale = ScaleTop;
    SystemSpin += SpinStep;
    SystemPulse += PulseStep;
    SystemOrbit += OrbitStep;
    SystemStrokeSway += StrokeSwayStep;
    SystemStrokeRise += StrokeRiseStep;
    SystemWaveRows += WaveRowsStep;
    SystemWaveColumns += WaveColumnsStep;
    if ((param & SystemParamWave) && SystemWaveAmount < WaveFull)
        SystemWaveAmount += WaveGrowth;
}

void ripple_plane(Object3D *plane)
{
    for (int n = 0; n < SystemGridSide; n++) {
        float across = std::sin(static_cast<float>(n) * WaveRowFrequency + SystemWaveRows);
        for (int j = 0; j < SystemGridSide; j++) {
            float along = std::cos(static_cast<float>(j) * WaveColumnFrequency + SystemWaveColumns);
            plane->vertices[n * SystemGridSide + j].z = (along + across) * WaveDepth * SystemWaveAmount;
        }
    }
}

void place_copies()
{
    float s = SystemScale;
    for (Mesh &mesh : SystemCopyMeshes) {
        Object3D *copy = first_object(&mesh);
        matrix_identity(copy->matrix);
        matrix_scale_w(copy->matrix, s);
        s -= CopySpacing;
        if (s <= ScaleFloor)
            s += ScaleTop;
    }
    for (Mesh &mesh : SystemCopyMeshes)
        matrix_rotate_z(first_object(&mesh)->matrix, SystemSpin);
}

void draw_gula(DrawCallback callback)
{
    matrix_identity(SystemGulaCamera);
    matrix_translate(SystemGulaCamera, 0.0f, 0.0f, GulaCameraZ);
    render_object(first_object(&SystemGulaMesh), SystemGulaCamera, callback, GulaNear, GulaFar);
}

// The first plane pass's callback: later bits win over earlier ones. None
// when the parameter holds no bit of 0x01 to 0x20.
DrawCallback first_pass_callback(int param)
{
    DrawCallback chosen = nullptr;
    if (param & SystemParamRay)
        chosen = system_face_ray;
    if (param & SystemParamCollapse)
        chosen = system_face_collapse;
    if (param & SystemParamOutline)
        chosen = system_face_outline;
    if (param & SystemParamWhite)
        chosen = system_face_white;
    return chosen;
}

bool check_plane(Mesh *mesh)
{
    if (!require_mesh(PlaneName, mesh))
        return false;
    const Object3D *plane = first_object(mesh);
    if (plane->vertex_count - plane->face_count >= SystemGridVertices)
        return true;
    report_startup_failure("%s: the grid needs %d vertices, found %d", PlaneName, SystemGridVertices,
                           plane->vertex_count - plane->face_count);
    return false;
}

}  // namespace

void load_system_scene()
{
    SystemSceneReady = false;
    for (Mesh &mesh : SystemCopyMeshes)
        load_mesh(CopyName, &mesh);
    load_image(TextureName, &SystemTexture);
    SystemTextureStore = SystemTexture;
    for (Mesh &mesh : SystemCopyMeshes)
        if (Object3D *copy = first_object(&mesh))
            set_object_texture(copy, &SystemTexture);

    load_mesh(PlaneName, &SystemPlaneMesh);
    bool plane_ok = check_plane(&SystemPlaneMesh);
    if (plane_ok) {
        Object3D *plane = first_object(&SystemPlaneMesh);
        for (int k = 0; k < SystemGridVertices; k++)
            plane->vertices[k].scene_data = k;
    }
    load_image(HeightName, &SystemHeight);
    load_mesh(GulaName, &SystemGulaMesh);
    if (Object3D *gula = first_object(&SystemGulaMesh))
        matrix_scale_w(gula->matrix, GulaScaleW);

    bool ok = plane_ok;
    for (Mesh &mesh : SystemCopyMeshes)
        ok = require_mesh(CopyName, &mesh) && ok;
    ok = require_asset(SystemTextureAsset, &SystemTextureStore) && ok;
    ok = require_asset(SystemHeightAsset, &SystemHeight) && ok;
    ok = require_mesh(GulaName, &SystemGulaMesh) && ok;
    SystemSceneReady = ok;
}

void release_system_scene()
{
    for (Mesh &mesh : SystemCopyMeshes)
        free_mesh(&mesh);
    free_mesh(&SystemPlaneMesh);
    free_mesh(&SystemGulaMesh);
    // The faces' record only ever points into the stored picture.
    free_image(&SystemTextureStore);
    SystemTexture = Image{};
    free_image(&SystemHeight);
    SystemSceneReady = false;
}

void system_face_shrunk(Face *face)
{
    scale_face(face, SystemFaceScale);
    draw_face_textured(&ScaledFace, 1);
}

void system_face_ray(Face *face)
{
    float f = fade_fraction();
    scale_face(face, 1.0f);
    int ex = truncate_to_int((FaceCentroidX - RayX) * f + RayX);
    int ey = truncate_to_int((FaceCentroidY - RayY) * f + RayY);
    draw_line(RayX, RayY, ex, ey, &Black);
}

void system_face_collapse(Face *face)
{
    float f = fade_fraction();
    scale_face(face, 1.0f - f);
    draw_face_wire(&ScaledFace, &Black);
    if (f != 0.0f) {
        double cx = FaceCentroidX, cy = FaceCentroidY;
        draw_line(truncate_to_int(cx), truncate_to_int(cy), truncate_to_int((RayX - cx) * f + cx),
                  truncate_to_int((RayY - cy) * f + cy), &Black);
    }
}

void system_face_outline(Face *face)
{
    if (flash_on())
        draw_face_flat(face, &White);
    draw_face_wire(face, &Black);
}

void system_face_white(Face *face)
{
    draw_face_flat(face, &White);
    draw_face_wire(face, &Black);
}

void system_face_relief(Face *face)
{
    bool flash = flash_on();
    float grow = !flash && FadeKind == FadeSystemRelief ? fade_fraction() : 1.0f;
    scale_face(face, grow);
    int i = grid_index(face->v[1]);
    double cx = FaceCentroidX, cy = FaceCentroidY;
    if (SystemHeight.pixels[i] > SystemStrokeLevel) {
        // The sway reads the first vertex's value only as a number.
        float j = static_cast<float>(face->v[0]->scene_data);
        float column = static_cast<float>(i % SystemGridSide), row = static_cast<float>(i / SystemGridSide);
        int ex = truncate_to_int(cx + std::sin(j + SystemStrokeSway) * grow * StrokeSway);
        int ey = truncate_to_int(cy - (std::sin(column + SystemStrokeRise) * 0.5f + 1.0f) * (grow * StrokeHeight) +
                                 std::cos(row + SystemStrokeSway) * grow * StrokeSway);
        draw_line(truncate_to_int(cx), truncate_to_int(cy), ex, ey, flash ? &Cyan : &Red);
        return;
    }
    draw_face_flat(&ScaledFace, flash ? &Amber : &Blue);
    draw_face_wire(&ScaledFace, flash ? &White : &Black);
}

void system_face_double_white(Face *face)
{
    draw_double_outline(face, &White);
}

void system_face_double_black(Face *face)
{
    draw_double_outline(face, &Black);
}

int system_scene_handler(int init, int ticks, int param)
{
    if (init)
        reset_state();
    for (int t = 0; t < ticks; t++)
        step_state(param);
    // Drawing needs every asset in its shape; start-up never runs a failed load.
    if (!SystemSceneReady)
        return 0;

    Object3D *plane = first_object(&SystemPlaneMesh);
    Object3D *gula = first_object(&SystemGulaMesh);
    matrix_rotate_z(plane->matrix, static_cast<float>(ticks) * PlaneTurnStep);
    plane->matrix[MatrixTranslateX] = std::sin(SystemOrbit) * OrbitRadius;
    plane->matrix[MatrixTranslateY] = std::cos(SystemOrbit) * OrbitRadius;

    SystemTexture.pixels = SystemTextureStore.pixels + static_cast<size_t>(SystemTextureRow) * TextureSide * 4;
    SystemTexture.height = SystemTextureStore.height - SystemTextureRow;  // rows left below the window

    matrix_rotate_y(gula->matrix, static_cast<float>(ticks) * GulaTurnY);
    matrix_rotate_x(gula->matrix, static_cast<float>(ticks) * GulaTurnX);

    if (param & SystemParamWave)
        ripple_plane(plane);
    place_copies();

    if (flash_on()) {
        fill_band(0);
        draw_gula(system_face_double_white);
    } else {
        fill_band(255);
        if (param & SystemParamWhite)
            draw_gula(system_face_double_black);
    }

    matrix_identity(SystemPlaneCamera);
    matrix_translate(SystemPlaneCamera, 0.0f, PlaneCameraY, PlaneCameraZ);
    matrix_rotate_x(SystemPlaneCamera, LookLevel);
    if (DrawCallback first = first_pass_callback(param))
        render_object(plane, SystemPlaneCamera, first, PlaneNear, PlaneFar);
    if (param & SystemParamOutline)
        render_object(plane, SystemPlaneCamera, system_face_relief, PlaneNear, PlaneFar);

    matrix_identity(SystemCopyCamera);
    matrix_translate(SystemCopyCamera, 0.0f, CopyCameraY, CopyCameraZ);
    set_near_plane(CopyNear);
    set_far_plane(CopyFar);
    set_draw_callback(system_face_shrunk);
    if (param & SystemParamWave)
        return 0;
    float f = fade_fraction();
    for (Mesh &mesh : SystemCopyMeshes) {
        Object3D *copy = first_object(&mesh);
        SystemFaceScale = (std::sin(SystemPulse) + 1.0f) * 0.5f + copy->matrix[MatrixWeight] * 0.25f;
        if (SystemFaceScale > 1.0f)
            SystemFaceScale = 1.0f;
        if (FadeKind == FadeSystemShrink) {
            SystemFaceScale -= f;
            if (SystemFaceScale < 0.0f)
                SystemFaceScale = 0.0f;
        }
        cull_object(copy, SystemCopyCamera);
        transform_object(copy, SystemCopyCamera);
        project_object(copy);
        draw_object(copy);
    }
    return 0;
}
