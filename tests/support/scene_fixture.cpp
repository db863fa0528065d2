// Set-up shared by the scene suites.
#include "scene_fixture.h"

#include "data/archive.h"
#include "data/startup_error.h"
#include "mesh_writer.h"
#include "raster/render_target.h"
#include "shell/sequencer.h"

namespace {

constexpr int RejectGuard = 2;  // guard rows and words around a rejected scene's band

void clear_fade()
{
    FadeValue = 0;
    FadeKind = 0;
}

} // namespace

void open_show_archive()
{
    reset_startup_error();
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    read_archive_directory();
}

void SceneTest::SetUp()
{
    BandTest::SetUp();
    clear_fade();
}

void SceneTest::TearDown()
{
    clear_fade();
    BandTest::TearDown();
}

GuardedBand band_after(const std::function<void()> &draw)
{
    GuardedBand band;
    make_guarded_band(band, BandWidth, RejectGuard);
    fill_band(band, UntouchedWord);
    RenderTarget.pixels = band.band;
    RenderTarget.pitch = band.pitch;
    draw();
    RenderTarget.pixels = nullptr;
    return band;
}

int count_band_pixels(const GuardedBand &b, uint32_t value)
{
    int n = 0;
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++)
            n += b.band[y * b.pitch + x] == value;
    return n;
}

void place_corners(Vertex corners[3], Face &face, const int xy[3][2], float depth)
{
    for (int i = 0; i < 3; i++) {
        corners[i].sx = xy[i][0];
        corners[i].sy = xy[i][1];
        corners[i].vz = depth;
        face.v[i] = &corners[i];
    }
}

std::vector<uint8_t> triangle_mesh(float size, float z)
{
    MeshObjectSource object;
    object.vertices = {{0, 0, z, 0, 0}, {size, 0, z, 1, 0}, {0, size, z, 0, 1}};
    object.faces = {{0, 1, 2}};
    return encode_mesh({object});
}
