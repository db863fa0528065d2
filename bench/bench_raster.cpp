// Rasterizer speed: lines, flat and textured faces of several sizes, the span
// routine against its plain integer form, and a whole textured sphere frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "sphere_mesh.h"

namespace {

const Rgb Orange = {255, 128, 0};

std::vector<uint32_t> &band()
{
    static std::vector<uint32_t> pixels(BandWidth * BandHeight);
    RenderTarget.pixels = pixels.data();
    RenderTarget.pitch = BandWidth;
    return pixels;
}

// No rasterizer writes a pixel with a top byte, so this marks untouched pixels.
constexpr uint32_t Untouched = 0xFF000000u;

void clear_band()
{
    for (uint32_t &p : band()) p = Untouched;
}

int count_written()
{
    int n = 0;
    for (uint32_t p : band()) n += p != Untouched;
    return n;
}

struct Triangle {
    Vertex v[3]{};
    Face face{};
};

// Faces of three sizes: about 50 pixels, about 5,000, and the whole band.
Triangle make_triangle(int size)
{
    Triangle t;
    const int corners[3][6] = {
        {300, 150, 310, 150, 300, 160},  // x, y of three corners per size
        {250, 100, 350, 100, 250, 200},
        {0, 0, 1279, 0, 0, 639},
    };
    const float depth[3] = {100.0f, 160.0f, 130.0f};
    const float uv[3][2] = {{0.0f, 0.0f}, {1.5f, 0.2f}, {0.3f, 1.7f}};
    for (int i = 0; i < 3; ++i) {
        t.v[i].sx = corners[size][2 * i];
        t.v[i].sy = corners[size][2 * i + 1];
        t.v[i].vz = depth[i];
        t.v[i].u = uv[i][0];
        t.v[i].v = uv[i][1];
        t.face.v[i] = &t.v[i];
    }
    t.face.texture = &texture();
    return t;
}

const char *size_name(int size) { return size == 0 ? "small" : size == 1 ? "medium" : "band"; }

void report_pixels(benchmark::State &state, int64_t pixels_per_iteration)
{
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(pixels_per_iteration), benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(size_name(static_cast<int>(state.range(0))));
}

void BM_DrawLine(benchmark::State &state)
{
    band();
    // A fan of lines from the centre to points around the view's border.
    std::vector<int> ends;
    int64_t pixels = 0;
    for (int x = 0; x < BandWidth; x += 8) ends.insert(ends.end(), {x, 0, x, BandHeight - 1});
    for (int y = 0; y < BandHeight; y += 8) ends.insert(ends.end(), {0, y, BandWidth - 1, y});
    for (size_t i = 0; i < ends.size(); i += 2)
        pixels += std::max(std::abs(ends[i] - 320), std::abs(ends[i + 1] - 160)) + 1;
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 2) draw_line(320, 160, ends[i], ends[i + 1], &Orange);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["lines"] = static_cast<double>(ends.size() / 2);
}
BENCHMARK(BM_DrawLine);

void BM_DrawFaceFlat(benchmark::State &state)
{
    Triangle t = make_triangle(static_cast<int>(state.range(0)));
    clear_band();
    draw_face_flat(&t.face, &Orange);
    const int pixels = count_written();
    for (auto _ : state) {
        draw_face_flat(&t.face, &Orange);
        benchmark::ClobberMemory();
    }
    report_pixels(state, pixels);
}
BENCHMARK(BM_DrawFaceFlat)->Arg(0)->Arg(1)->Arg(2);

void textured(benchmark::State &state, int transparent, TexturedSpanRoutine span)
{
    Triangle t = make_triangle(static_cast<int>(state.range(0)));
    clear_band();
    draw_face_textured_with(&t.face, 0, span);  // opaque: every covered pixel counts
    const int pixels = count_written();
    for (auto _ : state) {
        draw_face_textured_with(&t.face, transparent, span);
        benchmark::ClobberMemory();
    }
    report_pixels(state, pixels);
}

void BM_TexturedOpaque(benchmark::State &state) { textured(state, 0, draw_textured_span); }
void BM_TexturedTransparent(benchmark::State &state) { textured(state, 1, draw_textured_span); }
// The same spans with the four-pixel loop turned off.
void one_pixel_loop(benchmark::State &state, int transparent)
{
    SpanAllowWide = false;
    textured(state, transparent, draw_textured_span);
    SpanAllowWide = true;
}
void BM_TexturedOpaqueOnePixelLoop(benchmark::State &state) { one_pixel_loop(state, 0); }
void BM_TexturedTransparentOnePixelLoop(benchmark::State &state) { one_pixel_loop(state, 1); }
BENCHMARK(BM_TexturedOpaque)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_TexturedTransparent)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_TexturedOpaqueOnePixelLoop)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_TexturedTransparentOnePixelLoop)->Arg(0)->Arg(1)->Arg(2);

void draw_opaque(Face *face) { draw_face_textured(face, 0); }

void sphere_frames(benchmark::State &state, DrawCallback draw)
{
    band();
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    Object3D sphere{};
    build_sphere(sphere, vertices, faces);
    Matrix camera;
    matrix_identity(camera);
    matrix_translate(camera, 0.0f, 0.0f, SphereCameraZ);
    set_near_plane(SphereNearPlane);
    set_far_plane(SphereFarPlane);
    set_draw_callback(draw);
    float angle = 0.0f;
    for (auto _ : state) {
        matrix_identity(sphere.matrix);
        matrix_rotate_y(sphere.matrix, angle);
        angle += SphereTurnPerFrame;
        cull_object(&sphere, camera);
        transform_object(&sphere, camera);
        project_object(&sphere);
        draw_object(&sphere);
        benchmark::ClobberMemory();
    }
    int visible = 0;
    for (const Face &f : faces) visible += f.visible;
    state.counters["faces"] = sphere.face_count;
    state.counters["visible"] = visible;
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SphereFrame(benchmark::State &state) { sphere_frames(state, draw_opaque); }
void BM_SphereFrameOnePixelLoop(benchmark::State &state)
{
    SpanAllowWide = false;
    sphere_frames(state, draw_opaque);
    SpanAllowWide = true;
}
BENCHMARK(BM_SphereFrame);
BENCHMARK(BM_SphereFrameOnePixelLoop);

}  // namespace
