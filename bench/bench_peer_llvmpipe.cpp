// The sphere frame of bench_raster's BM_SphereFrame drawn by Mesa's software
// rasterizer llvmpipe through OSMesa, for a peer figure beside our own: the
// same vertices, UVs, texture, camera, projection and band size.
//
// llvmpipe takes its thread count from LP_NUM_THREADS when the context's
// screen is made, so one process measures one count; bench/bench_peer.sh runs
// this program with 0 (rasterizing on the calling thread) and 2 threads.
//
// Where the two pipelines differ by nature:
// - ours sorts the visible faces farthest first and overdraws; llvmpipe
//   keeps a depth buffer, so it clears colour and depth every frame and tests
//   each fragment;
// - ours culls no back faces (the sort hides them), so neither does llvmpipe;
// - ours drops a whole face once a corner leaves the view; GL clips it, so
//   llvmpipe also fills the parts of faces crossing the band's top and bottom
//   edges (the coverage counters show how much that is).
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/matrix.h"
#include "engine/mesh.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/render_target.h"
#include "sphere_mesh.h"

namespace {

// Pixels the clear leaves: opaque black, 0xFF000000 as a BGRA word. Every
// drawn pixel of either renderer has a zero top byte (the texture's alpha is
// zero and replaces the fragment's), so both bands are counted alike.
constexpr uint32_t Untouched = 0xFF000000u;

struct SphereMesh {
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    Object3D object{};
};

SphereMesh &sphere()
{
    static SphereMesh mesh;
    if (mesh.faces.empty()) build_sphere(mesh.object, mesh.vertices, mesh.faces);
    return mesh;
}

void sphere_camera(Matrix camera)
{
    matrix_identity(camera);
    matrix_translate(camera, 0.0f, 0.0f, SphereCameraZ);
}

// Object to view space for the frame at `angle`, as transform_object builds
// it: the sphere's turn, then the camera's inverse (row vectors).
void model_view(float angle, Matrix out)
{
    Matrix turn, camera, camera_inverse;
    matrix_identity(turn);
    matrix_rotate_y(turn, angle);
    sphere_camera(camera);
    invert_matrix(camera, camera_inverse);
    matrix_multiply(camera_inverse, turn, out);
}

// Our projection's pixels per unit of x / z at depth 1, read from
// project_object itself so that the GL frustum follows it if it changes.
double our_focal_length()
{
    Vertex probe{};
    probe.vx = 10000.0f;
    probe.vy = 10000.0f;
    probe.vz = 1.0f;
    Object3D one{};
    one.vertex_count = 1;
    one.vertices = &probe;
    project_object(&one);
    return (probe.sx - ViewWidth / 2) / 10000.0;
}

// One frame of our pipeline at `angle` into `band` (cleared first), the path
// of BM_SphereFrame.
void draw_ours(std::vector<uint32_t> &band, float angle)
{
    band.assign(static_cast<size_t>(BandWidth) * BandHeight, Untouched);
    RenderTarget.pixels = band.data();
    RenderTarget.pitch = BandWidth;
    SphereMesh &mesh = sphere();
    Matrix camera;
    sphere_camera(camera);
    matrix_identity(mesh.object.matrix);
    matrix_rotate_y(mesh.object.matrix, angle);
    render_object(&mesh.object, camera, [](Face *f) { draw_face_textured(f, 0); }, SphereNearPlane,
                  SphereFarPlane);
}

class Peer {
public:
    // The context, mesh buffers, texture and projection; false with the
    // reason in `failure` when llvmpipe cannot be had.
    bool open()
    {
        // Another Gallium driver would be a different peer altogether.
        setenv("GALLIUM_DRIVER", "llvmpipe", 1);
        const int attributes[] = {OSMESA_FORMAT, OSMESA_BGRA, OSMESA_DEPTH_BITS, 24,
                                  OSMESA_PROFILE, OSMESA_COMPAT_PROFILE, 0};
        context_ = OSMesaCreateContextAttribs(attributes, nullptr);
        if (!context_) return fail("OSMesaCreateContextAttribs failed");
        screen_.assign(static_cast<size_t>(BandWidth) * BandHeight, 0);
        if (!OSMesaMakeCurrent(context_, screen_.data(), GL_UNSIGNED_BYTE, BandWidth, BandHeight))
            return fail("OSMesaMakeCurrent failed");
        const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
        renderer_ = renderer ? renderer : "";
        if (renderer_.find("llvmpipe") == std::string::npos)
            return fail("the renderer is not llvmpipe: " + renderer_);

        // The frame goes to a framebuffer object of llvmpipe's own, not to
        // OSMesa's buffer: with that bound, every glFlush and glFinish copies
        // the whole band into the caller's memory, which would put a read-back
        // into every variant.
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(2, renderbuffers_);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, BandWidth, BandHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, BandWidth, BandHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers_[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers_[1]);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            return fail("the framebuffer object is incomplete");
        glViewport(0, 0, BandWidth, BandHeight);

        upload_mesh();
        upload_texture();
        load_projection();

        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        if (GLenum error = glGetError(); error != GL_NO_ERROR)
            return fail("GL error " + std::to_string(error) + " in the set-up");
        return true;
    }

    // One frame at `angle`; left in llvmpipe's framebuffer, drawn completely
    // when glFinish or a read-back returns.
    void draw(float angle)
    {
        Matrix mv;
        model_view(angle, mv);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(mv);  // a row-major row-vector matrix is GL's column-major one
        glDrawElements(GL_TRIANGLES, index_count_, GL_UNSIGNED_SHORT, nullptr);
    }

    // The frame's pixels into `pixels` as 0xAARRGGBB words, bottom row first.
    void read_back(uint32_t *pixels)
    {
        glReadPixels(0, 0, BandWidth, BandHeight, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    }

    // The frame as our band holds it: top row first.
    void read_band(std::vector<uint32_t> &band)
    {
        std::vector<uint32_t> rows(static_cast<size_t>(BandWidth) * BandHeight);
        read_back(rows.data());
        band.resize(rows.size());
        for (int y = 0; y < BandHeight; ++y)
            memcpy(&band[static_cast<size_t>(y) * BandWidth],
                   &rows[static_cast<size_t>(BandHeight - 1 - y) * BandWidth], BandWidth * sizeof(uint32_t));
    }

    const std::string &failure() const { return failure_; }
    const std::string &renderer() const { return renderer_; }

private:
    bool fail(const std::string &why)
    {
        failure_ = why;
        return false;
    }

    // The real vertices (not the normal records) as x, y, z, u, v, and the
    // faces as indices into them, in GL buffers.
    void upload_mesh()
    {
        SphereMesh &mesh = sphere();
        const int real = mesh.object.vertex_count - mesh.object.face_count;
        std::vector<float> attributes;
        for (int i = 0; i < real; ++i) {
            const Vertex &p = mesh.vertices[i];
            attributes.insert(attributes.end(), {p.x, p.y, p.z, p.u, p.v});
        }
        std::vector<GLushort> indices;
        for (const Face &f : mesh.faces)
            for (const Vertex *corner : f.v) indices.push_back(static_cast<GLushort>(corner - mesh.vertices.data()));
        index_count_ = static_cast<GLsizei>(indices.size());

        GLuint buffers[2];
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(attributes.size() * sizeof(float)),
                     attributes.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)),
                     indices.data(), GL_STATIC_DRAW);
        const GLsizei stride = 5 * sizeof(float);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, stride, nullptr);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void *>(3 * sizeof(float)));
    }

    // The benchmark's texture word for word: 0x00RRGGBB is B, G, R, A in
    // memory, A zero. Ours wraps u and v to the texture (u reaches 3 and v
    // 2 on the sphere) and takes one texel per pixel: GL_REPEAT, GL_NEAREST.
    void upload_texture()
    {
        const Image &image = texture();
        GLuint name;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     image.pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glEnable(GL_TEXTURE_2D);
        // Ours picks texel floor(256 u + 0.5), the nearest to the sample;
        // GL_NEAREST picks floor(256 s): half a texel on s and t matches them.
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glTranslatef(0.5f / image.width, 0.5f / image.height, 0.0f);
    }

    // project_object's mapping: sx = vx f / vz + 320, sy = 160 - vy f / vz
    // with view z pointing away from the viewer, so clip w is view z. Depth
    // runs from the near plane (-1) to the far plane (+1). Window y grows
    // upwards, our rows downwards: read_band turns the rows over.
    void load_projection()
    {
        const double focal = our_focal_length();
        const double n = SphereNearPlane, f = SphereFarPlane;
        const GLfloat projection[16] = {
            static_cast<GLfloat>(focal / (ViewWidth / 2)), 0, 0, 0,
            0, static_cast<GLfloat>(focal / (ViewHeight / 2)), 0, 0,
            0, 0, static_cast<GLfloat>((f + n) / (f - n)), 1,
            0, 0, static_cast<GLfloat>(-2 * f * n / (f - n)), 0,
        };  // column-major
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection);
    }

    OSMesaContext context_ = nullptr;
    std::vector<uint32_t> screen_;  // OSMesa's own buffer, unused once the framebuffer object is bound
    GLuint framebuffer_ = 0, renderbuffers_[2] = {0, 0};
    GLsizei index_count_ = 0;
    std::string renderer_, failure_;
};

// The one context of the process (llvmpipe fixes its threads per screen);
// opened on first use.
Peer &peer()
{
    static Peer instance;
    static const bool opened [[maybe_unused]] = instance.open();
    return instance;
}

// Both renderers' frame at angle 0, compared pixel by pixel.
struct Coverage {
    int ours = 0, llvmpipe = 0, both = 0, same_colour = 0, near_texel = 0;
};

// Whether two drawn pixels show the same texel or one next to it (wrapping):
// every texel but the holes has a colour of its own, 0x402010 + 256 r + c,
// and the two renderers put their samples a fraction of a pixel apart, so at
// about a texel a pixel a neighbour is as good a match as sampling allows.
bool near_texel(uint32_t a, uint32_t b)
{
    if (a == b) return true;
    constexpr uint32_t Base = 0x00402010u;
    if (a < Base || b < Base) return false;  // a hole beside a texel
    const int ra = static_cast<int>((a - Base) >> 8), ca = static_cast<int>((a - Base) & 255);
    const int rb = static_cast<int>((b - Base) >> 8), cb = static_cast<int>((b - Base) & 255);
    auto close = [](int x, int y) {
        const int d = (x - y) & 255;
        return d <= 1 || d == 255;
    };
    return close(ra, rb) && close(ca, cb);
}

Coverage compare_coverage(Peer &p)
{
    std::vector<uint32_t> ours, theirs;
    draw_ours(ours, 0.0f);
    p.draw(0.0f);
    p.read_band(theirs);
    Coverage c;
    for (size_t i = 0; i < ours.size(); ++i) {
        const bool a = ours[i] != Untouched, b = theirs[i] != Untouched;
        c.ours += a;
        c.llvmpipe += b;
        c.both += a && b;
        c.same_colour += a && b && ours[i] == theirs[i];
        c.near_texel += a && b && near_texel(ours[i], theirs[i]);
    }
    return c;
}

std::string threads_label()
{
    const char *threads = getenv("LP_NUM_THREADS");
    return std::string("LP_NUM_THREADS=") + (threads ? threads : "unset");
}

// Read-back included (argument 1): every frame ends with glReadPixels of the
// whole 640x320 band into memory of ours, as 0xAARRGGBB words, which waits
// for the frame and copies it out. Excluded (0): every frame ends with
// glFinish, which waits until llvmpipe has written every pixel into its own
// framebuffer, and nothing is copied.
void BM_LlvmpipeSphereFrame(benchmark::State &state)
{
    Peer &p = peer();
    if (!p.failure().empty()) {
        state.SkipWithError(("llvmpipe unavailable: " + p.failure()).c_str());
        return;
    }
    const bool read_back = state.range(0) != 0;
    static const Coverage coverage = compare_coverage(p);
    std::vector<uint32_t> pixels(static_cast<size_t>(BandWidth) * BandHeight);
    float angle = 0.0f;
    for (auto _ : state) {
        p.draw(angle);
        angle += SphereTurnPerFrame;
        if (read_back)
            p.read_back(pixels.data());
        else
            glFinish();
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(threads_label() + " " + p.renderer());
    state.counters["faces"] = sphere().object.face_count;
    state.counters["ours_px"] = coverage.ours;
    state.counters["llvmpipe_px"] = coverage.llvmpipe;
    state.counters["both_px"] = coverage.both;
    state.counters["coverage"] = coverage.ours ? static_cast<double>(coverage.llvmpipe) / coverage.ours : 0.0;
    state.counters["same_colour"] = coverage.both ? static_cast<double>(coverage.same_colour) / coverage.both : 0.0;
    state.counters["near_texel"] = coverage.both ? static_cast<double>(coverage.near_texel) / coverage.both : 0.0;
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LlvmpipeSphereFrame)->ArgName("readback")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
