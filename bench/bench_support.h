// Set-up shared by the scene benchmarks: the build's generated data opened
// from its own folder (entry names are relative to it), and the band size.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "data/archive.h"
#include "data/startup_error.h"
#include "raster/render_target.h"

constexpr size_t BandWords = static_cast<size_t>(BandWidth) * BandHeight;

// Enters the generated data folder, reads the archive's directory and runs
// `load` (the scenes' loaders). False, with the reason on stderr after
// `bench`'s name, when the folder cannot be entered or a loader failed.
template <typename Load>
bool open_show_data(const char *bench, Load load)
{
    if (chdir(ORVANTI_DATA_DIR) != 0) {
        fprintf(stderr, "%s: %s: cannot enter the data folder\n", bench, ORVANTI_DATA_DIR);
        return false;
    }
    read_archive_directory();
    load();
    if (StartupError) {
        fprintf(stderr, "%s: %s\n", bench, StartupFailure);
        return false;
    }
    return true;
}

// The first call opens the show data (as open_show_data), points the render
// target at `band` with the band's own width as pitch and returns true, so
// the caller can add its own one-time set-up; later calls return false at
// once. Ends the program when the data does not load: no benchmark of it
// would mean anything.
template <typename Load>
bool load_show_once(const char *bench, std::vector<uint32_t> &band, Load load)
{
    static bool loaded = false;  // one per program: each passes its own loader
    if (loaded)
        return false;
    loaded = true;
    if (!open_show_data(bench, load))
        exit(1);
    RenderTarget.pixels = band.data();
    RenderTarget.pitch = BandWidth;
    return true;
}
