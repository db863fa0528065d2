// Set-up shared by the scene benchmarks: the build's generated data opened
// from its own folder (entry names are relative to it), and the band size.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#include "data/archive.h"
#include "data/startup.h"
#include "shell/band.h"

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
