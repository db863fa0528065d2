// The plane scene: one sheet on black, breathing between its stored and a
// roughened shape, textured with a vortex warped anew every frame.
#include "scenes/plane.h"

#include <cstdlib>
#include <cstring>

#include "data/archive.h"
#include "data/startup_error.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "scenes/fade.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "scenes/swing.h"

namespace {

constexpr size_t TextureBytes = size_t{TextureSide} * TextureSide * 4;

constexpr float CameraZ = -130.0f;
constexpr float SheetScaleW = 0.6f;  // the sheet shows at 1/0.6 of its stored size

// Roughening: x and y move by -16 to 15, z by -64 to 63.
constexpr int RoughSpanXY = 32, RoughSpanZ = 128;


const Rgb Black = {0, 0, 0};

const char *const MapXName = PlaneMapXAsset.name;
const char *const MapYName = PlaneMapYAsset.name;
const char *const SourceName = PlaneSourceAsset.name;
const char *const MeshName = PlaneMeshAsset.name;

bool load_sheet(Mesh *mesh)
{
    load_mesh(MeshName, mesh);
    if (!require_mesh(MeshName, mesh))
        return false;
    matrix_scale_w(mesh->objects[0].matrix, SheetScaleW);
    return true;
}

Object3D *rest_sheet() { return &PlaneRestMesh.objects[0]; }
Object3D *rough_sheet() { return &PlaneRoughMesh.objects[0]; }
Object3D *drawn_sheet() { return &PlaneDrawnMesh.objects[0]; }

bool flash_on()
{
    return FadeKind == FadeFlash && FadeValue != 0;
}

void step_blend()
{
    step_swing(&PlaneBlend, &PlaneBlendFalling, PlaneBlendStep, PlaneBlendBottom, PlaneBlendTop);
}

void blend_shape()
{
    const Vertex *rest = rest_sheet()->vertices;
    const Vertex *rough = rough_sheet()->vertices;
    Vertex *drawn = drawn_sheet()->vertices;
    for (int j = 0; j < rest_sheet()->vertex_count; j++) {
        drawn[j].x = rest[j].x + (rough[j].x - rest[j].x) * PlaneBlend;
        drawn[j].y = rest[j].y + (rough[j].y - rest[j].y) * PlaneBlend;
        drawn[j].z = rest[j].z + (rough[j].z - rest[j].z) * PlaneBlend;
    }
}

} // namespace

Image PlaneTexture = {ImageWords, TextureSide, TextureSide, nullptr, nullptr, nullptr};
float PlaneBlend = 0.0f;
bool PlaneBlendFalling = false;
int PlaneWarpClock = 0;
Matrix PlaneCamera = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, CameraZ, 1};

Image PlaneMapX, PlaneMapY, PlaneSource, PlaneSourceInverted;
Mesh PlaneRestMesh, PlaneRoughMesh, PlaneDrawnMesh;
bool PlaneSceneReady = false;

void load_plane_scene()
{
    bool ok = true;
    ok = load_warp_pictures(MapXName, MapYName, SourceName, PlaneMapXAsset.width, PlaneMapXAsset.min_rows, &PlaneMapX,
                            &PlaneMapY, &PlaneSource, &PlaneSourceInverted) && ok;

    alloc_cleared(&PlaneTexture.pixels, TextureBytes);
    ok = ok && PlaneTexture.pixels;

    bool rest = load_sheet(&PlaneRestMesh);
    bool rough = load_sheet(&PlaneRoughMesh);
    bool drawn = load_sheet(&PlaneDrawnMesh);
    if (rough)
        roughen_object(rough_sheet(), RoughSpanXY, RoughSpanZ);
    if (rest && rough && drawn) {
        // The blend pairs records one to one; copies of one file always match.
        if (rest_sheet()->vertex_count != rough_sheet()->vertex_count ||
            rest_sheet()->vertex_count != drawn_sheet()->vertex_count) {
            report_bad_entry(MeshName, "the three copies differ in size");
            ok = false;
        }
        set_object_texture(rest_sheet(), &PlaneTexture);
        set_object_texture(rough_sheet(), &PlaneTexture);
        set_object_texture(drawn_sheet(), &PlaneTexture);
    } else {
        ok = false;
    }
    PlaneSceneReady = ok;
}

void release_plane_scene()
{
    free_image(&PlaneMapX);
    free_image(&PlaneMapY);
    free_image(&PlaneSource);
    free_image(&PlaneSourceInverted);
    free(PlaneTexture.pixels);
    PlaneTexture.pixels = nullptr;
    free_mesh(&PlaneRestMesh);
    free_mesh(&PlaneRoughMesh);
    free_mesh(&PlaneDrawnMesh);
    PlaneSceneReady = false;
}

void plane_face(Face *face)
{
    draw_face_textured(face, 0);
    if (flash_on())
        draw_face_wire(face, &Black);
}

// The parameter is not used.
int plane_scene_handler(int init, int ticks, int)
{
    if (init) {
        matrix_identity(PlaneCamera);
        matrix_translate(PlaneCamera, 0, 0, CameraZ);
        PlaneBlend = 0.0f;
        PlaneBlendFalling = false;
        PlaneWarpClock = 0;
    }
    if (ticks > 0) {
        PlaneWarpClock += ticks;
        for (int i = 0; i < ticks; i++)
            step_blend();
    }

    fill_band(0);
    if (!PlaneSceneReady)
        return 0;

    const Image &source = flash_on() ? PlaneSourceInverted : PlaneSource;
    warp_texture(image_words(&PlaneTexture), PlaneMapX.pixels, PlaneMapY.pixels, image_words(&source),
                 PlaneWarpClock, PlaneWarpClock / 2);
    blend_shape();

    render_object(drawn_sheet(), PlaneCamera, plane_face, PlaneNearPlane, PlaneFarPlane);
    return 0;
}
