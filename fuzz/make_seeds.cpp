// Writes the starting corpora of the fuzz targets from the project's own
// writers: small pictures, meshes and whole archives.
//
//   orvanti-fuzz-seeds DIR    creates DIR/archive, DIR/tga, DIR/mesh, DIR/jpeg
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "archive_writer.h"
#include "mesh_writer.h"
#include "tga_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool write_seed(const std::filesystem::path &path, const Bytes &bytes)
{
    FILE *out = fopen(path.c_str(), "wb");
    bool ok = out != nullptr && (bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
    if (out != nullptr && fclose(out) != 0)
        ok = false;
    if (!ok)
        fprintf(stderr, "orvanti-fuzz-seeds: cannot write %s\n", path.c_str());
    return ok;
}

Bytes colour_mapped_tga(int width, int height)
{
    std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>(i * 7);
    uint8_t palette[768];
    for (int i = 0; i < 768; i++)
        palette[i] = static_cast<uint8_t>(i * 3);
    return encode_tga_colour_mapped(width, height, indices.data(), palette);
}

Bytes true_colour_tga(int width, int height)
{
    std::vector<uint32_t> words(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < words.size(); i++)
        words[i] = static_cast<uint32_t>(i * 0x010203u) & 0xFFFFFFu;
    return encode_tga_true_colour(width, height, words.data());
}

Bytes grey_tga(int width, int height)
{
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < grey.size(); i++)
        grey[i] = static_cast<uint8_t>(i * 13);
    return encode_tga_grey(width, height, grey.data());
}

// A gradient of `components` (1 or 3) samples per pixel, through libjpeg's encoder.
Bytes encode_jpeg(int width, int height, int components, bool progressive, bool subsampled)
{
    std::vector<uint8_t> samples;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < components; c++)
                samples.push_back(static_cast<uint8_t>(30 * c + 9 * x + 5 * y));
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &data, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    if (!subsampled) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = samples.data() + static_cast<size_t>(cinfo.next_scanline) * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(data, data + size);
    free(data);
    return bytes;
}

MeshObjectSource triangle()
{
    return {{{0, 0, 0, 0.1f, 0.2f}, {1, 0, 0, 0.3f, 0.4f}, {0, 1, 0, 0.5f, 0.6f}}, {{0, 1, 2}}};
}

MeshObjectSource tetrahedron()
{
    return {{{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}, {0, 0, 1, 1, 1}},
            {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: orvanti-fuzz-seeds DIR\n");
        return 2;
    }
    std::filesystem::path root = argv[1];
    std::error_code error;
    for (const char *corpus : {"archive", "tga", "mesh", "jpeg"}) {
        std::filesystem::create_directories(root / corpus, error);
        if (error) {
            fprintf(stderr, "orvanti-fuzz-seeds: cannot create %s\n", (root / corpus).c_str());
            return 1;
        }
    }

    Bytes mapped = colour_mapped_tga(4, 3), words = true_colour_tga(5, 4), grey = grey_tga(7, 2);
    Bytes one_triangle = encode_mesh({triangle()});
    Bytes two_objects = encode_mesh({tetrahedron(), triangle()});
    Bytes colour_jpeg = encode_jpeg(13, 7, 3, false, false);
    Bytes grey_jpeg = encode_jpeg(16, 8, 1, false, false);
    Bytes progressive_jpeg = encode_jpeg(16, 16, 3, true, true);

    bool ok = write_seed(root / "tga" / "mapped", mapped) && write_seed(root / "tga" / "words", words) &&
              write_seed(root / "tga" / "grey", grey) && write_seed(root / "mesh" / "triangle", one_triangle) &&
              write_seed(root / "mesh" / "two-objects", two_objects) &&
              write_seed(root / "mesh" / "empty", encode_mesh({})) &&
              write_seed(root / "jpeg" / "colour", colour_jpeg) && write_seed(root / "jpeg" / "grey", grey_jpeg) &&
              write_seed(root / "jpeg" / "progressive", progressive_jpeg);

    // Whole archives: one entry of each kind, and an empty directory.
    std::vector<std::pair<const char *, std::vector<ArchiveFile>>> archives = {
        {"pictures", {{"a.tga", mapped}, {"b\\c.tga", words}, {"g.tga", grey}}},
        {"mixed", {{"lead.bin", {1, 2, 3}}, {"ball\\ball.3d", two_objects}, {"pic.jpg", colour_jpeg}, {"g.tga", grey}}},
        {"mesh", {{"obj.3d", one_triangle}}},
        {"empty", {}},
    };
    for (const auto &[name, files] : archives) {
        std::string message = write_archive((root / "archive" / name).string(), files);
        if (!message.empty()) {
            fprintf(stderr, "orvanti-fuzz-seeds: %s\n", message.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
