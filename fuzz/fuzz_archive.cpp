// Fuzz target: the input is a whole archive file. The directory is read, then
// the first entries are loaded by the names the directory gives, as raw bytes
// and, by their type, as pictures or meshes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/archive.h"
#include "fuzz_support.h"

namespace {

// Enough to reach pictures and meshes behind a few other entries while every
// input stays quick.
constexpr int MaxEntriesLoaded = 6;

bool ends_with(const char *name, const char *tail)
{
    size_t length = strlen(name), tail_length = strlen(tail);
    return length >= tail_length && strcmp(name + length - tail_length, tail) == 0;
}

void load_raw(const char *name)
{
    uint8_t *bytes = nullptr;
    load_entry(name, &bytes);
    if (bytes == nullptr)
        return;
    char copy[ArchiveNameSlot];
    if (!upper_case_entry_name(name, copy))
        abort();
    uint32_t size = find_entry_size(copy);
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < size; i++)
        sink = sink ^ bytes[i];
    (void)sink;
    free(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_begin_input();
    fuzz_write_raw(data, size);
    read_archive_directory();
    int loads = Directory.count < MaxEntriesLoaded ? Directory.count : MaxEntriesLoaded;
    for (int i = 0; i < loads; i++) {
        // A copy: the loaders may not keep pointing into the directory.
        char name[ArchiveNameSlot];
        memcpy(name, Directory.names[i], sizeof name);
        load_raw(name);
        if (ends_with(name, ".TGA") || ends_with(name, ".JPG"))
            fuzz_load_image(name);
        else if (ends_with(name, ".3D"))
            fuzz_load_mesh(name);
    }
    // A name no entry has must fail cleanly too.
    fuzz_load_image("missing.tga");
    fuzz_finish_input();
    return 0;
}
