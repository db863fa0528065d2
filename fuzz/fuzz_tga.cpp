// Fuzz target: the input is one TGA entry, placed between two other entries
// of a valid archive so that reading past its end would be noticed.
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_begin_entry("pics\\fuzz.tga", data, size, 1024);
    fuzz_load_image("pics\\fuzz.tga");
    fuzz_finish_input();
    return 0;
}
