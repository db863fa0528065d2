// Fuzz target: the input is one TGA entry, placed between two other entries
// of a valid archive so that reading past its end would be noticed.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_begin_input();
    fuzz_write_entries({{"lead.bin", {1, 2, 3}},
                        {"pics\\fuzz.tga", std::vector<uint8_t>(data, data + size)},
                        {"after.bin", std::vector<uint8_t>(1024, 0x55)}});
    fuzz_load_image("pics\\fuzz.tga");
    fuzz_finish_input();
    return 0;
}
