// Counting the show's random draws for data laid out on them.
#include "show_draws.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

uint32_t show_draws_after(long draws)
{
    uint32_t state = RandomStart;
    for (long i = 0; i < draws; i++)
        step_random(state);
    return state;
}

int mesh_records(const AssetList &entries, const char *name, const char *needed_by)
{
    for (const ArchiveFile &entry : entries)
        if (entry.name == name && entry.data.size() >= 12) {
            int32_t count[3];
            std::memcpy(count, entry.data.data(), sizeof count);
            if (count[0] >= 1)
                return count[1] + count[2];
        }
    // Only a change to the generator's own order of making things leads here.
    fprintf(stderr, "orvanti-assets: %s is laid out on the draws after %s, which is not made yet\n", needed_by, name);
    std::exit(1);
}
