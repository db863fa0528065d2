// orvanti-assets OUTDIR: writes "orvanti.dat" (and "orvanti.xm") into OUTDIR.
#include <cstdio>
#include <filesystem>
#include <string>

#include "assets.h"

static int usage()
{
    fprintf(stderr, "usage: orvanti-assets OUTDIR\n");
    return 2;
}

static bool write_file(const std::filesystem::path &path, const std::vector<uint8_t> &bytes)
{
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) {
        fprintf(stderr, "orvanti-assets: %s: cannot create the file\n", path.c_str());
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = (fclose(out) == 0) && ok;
    if (!ok) {
        fprintf(stderr, "orvanti-assets: %s: write failed\n", path.c_str());
        std::filesystem::remove(path);
    }
    return ok;
}

int main(int argc, char **argv)
{
    if (argc != 2 || argv[1][0] == '-')
        return usage();
    std::filesystem::path outdir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(outdir, error);
    if (error) {
        fprintf(stderr, "orvanti-assets: %s: %s\n", outdir.c_str(), error.message().c_str());
        return 1;
    }

    AssetList entries;
    make_colour_table(entries);
    make_box_data(entries);
    make_title_data(entries);
    make_believe_data(entries);
    make_tunnel_data(entries);
    make_ball_data(entries);
    make_plane_data(entries);

    std::string failure = write_archive((outdir / "orvanti.dat").string(), entries);
    if (!failure.empty()) {
        fprintf(stderr, "orvanti-assets: %s\n", failure.c_str());
        return 1;
    }

    std::vector<uint8_t> music = compose_music();
    if (!music.empty() && !write_file(outdir / "orvanti.xm", music))
        return 1;

    printf("orvanti-assets: wrote %zu entries to %s\n", entries.size(), (outdir / "orvanti.dat").c_str());
    return 0;
}
