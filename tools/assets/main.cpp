// orvanti-assets [--wav FILE] [--icon FILE] [OUTDIR]: writes "orvanti.dat"
// and "orvanti.xm" into OUTDIR, and/or renders the music to a WAV file for
// listening, and/or paints the desktop icon as a PNG file.
#include <cstdio>
#include <filesystem>
#include <string>

#include "asset_check.h"
#include "assets.h"
#include "frame_dump.h"
#include "output_file.h"
#include "music/render.h"

constexpr int IconSize = 256;

static int usage()
{
    fprintf(stderr, "usage: orvanti-assets [--wav FILE] [--icon FILE] [OUTDIR]\n"
                    "  OUTDIR       write \"orvanti.dat\" and \"orvanti.xm\" into OUTDIR\n"
                    "  --wav FILE   render the music to FILE (16-bit stereo, 44.1 kHz)\n"
                    "  --icon FILE  paint the 256 by 256 desktop icon to FILE (PNG)\n");
    return 2;
}

// At most one OUTDIR, one --wav FILE and one --icon FILE, at least one of
// them; "" or the line saying what is wrong.
static std::string parse_arguments(int argc, char **argv, std::filesystem::path &outdir, std::string &wav_path,
                                   std::string &icon_path)
{
    for (int i = 1; i < argc; i++) {
        std::string argument = argv[i];
        if (argument == "--wav" || argument == "--icon") {
            std::string &value = argument == "--wav" ? wav_path : icon_path;
            if (i + 1 >= argc || !argv[i + 1][0])
                return argument + ": needs a file name";
            if (!value.empty())
                return argument + ": given twice";
            value = argv[++i];
        } else if (!argument.empty() && argument[0] == '-') {
            return argument + ": unknown option";
        } else if (argument.empty()) {
            return "an empty OUTDIR";
        } else if (!outdir.empty()) {
            return argument + ": a second OUTDIR (" + outdir.string() + " was given first)";
        } else {
            outdir = argument;
        }
    }
    return !outdir.empty() || !wav_path.empty() || !icon_path.empty() ? "" : "nothing to write";
}

static bool write_icon(const std::string &path)
{
    std::vector<uint32_t> pixels = paint_icon(IconSize);
    std::string failure = write_frame_png(path.c_str(), pixels.data(), IconSize, IconSize, IconSize * 4, 32);
    if (!failure.empty()) {
        fprintf(stderr, "orvanti-assets: %s\n", failure.c_str());
        return false;
    }
    printf("orvanti-assets: painted the icon to %s\n", path.c_str());
    return true;
}

static bool write_wav(const std::string &path, const std::vector<uint8_t> &music)
{
    std::string failure = render_music_wav(music, path);
    if (!failure.empty()) {
        fprintf(stderr, "orvanti-assets: %s\n", failure.c_str());
        return false;
    }
    printf("orvanti-assets: rendered the music to %s\n", path.c_str());
    return true;
}

// Both files are finished under hidden names first and put in place together,
// so that a failure leaves neither a new half nor a damaged old pair.
static bool write_show_data(const std::filesystem::path &outdir, const AssetList &entries,
                            const std::vector<uint8_t> &music)
{
    OutputFile archive, module;
    std::string failure = write_archive((outdir / "orvanti.dat").string(), entries, &archive);
    if (failure.empty()) {
        failure = open_output(&module, (outdir / "orvanti.xm").string());
        if (failure.empty() && fwrite(music.data(), 1, music.size(), module.file) != music.size())
            note_output_error(&module);
        if (failure.empty())
            failure = close_output(&module);
    }
    if (failure.empty())
        failure = place_output(&archive);
    if (failure.empty())
        failure = place_output(&module);
    if (failure.empty())
        return true;
    discard_output(&archive);
    discard_output(&module);
    fprintf(stderr, "orvanti-assets: %s\n", failure.c_str());
    return false;
}

int main(int argc, char **argv)
{
    std::filesystem::path outdir;
    std::string wav_path, icon_path;
    std::string wrong = parse_arguments(argc, argv, outdir, wav_path, icon_path);
    if (!wrong.empty()) {
        fprintf(stderr, "orvanti-assets: %s\n", wrong.c_str());
        return usage();
    }
    if (!icon_path.empty() && !write_icon(icon_path))
        return 1;
    if (outdir.empty())
        return wav_path.empty() || write_wav(wav_path, compose_music()) ? 0 : 1;
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
    make_system_data(entries);
    make_credits_data(entries);
    make_buddha_data(entries);

    // A picture of the wrong shape would fail only when the show loads it.
    std::string mismatch = check_against_asset_table(entries);
    if (!mismatch.empty()) {
        fprintf(stderr, "orvanti-assets: %s\n", mismatch.c_str());
        return 1;
    }
    std::vector<uint8_t> music = compose_music();
    // An empty result means the composition failed and has said why.
    if (music.empty() || !write_show_data(outdir, entries, music))
        return 1;
    if (!wav_path.empty() && !write_wav(wav_path, music))
        return 1;

    printf("orvanti-assets: wrote %zu entries to %s\n", entries.size(), (outdir / "orvanti.dat").c_str());
    return 0;
}
