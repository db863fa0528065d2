// Fuzz target: the input is one ".3d" mesh entry of a valid archive.
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_begin_entry("ball\\fuzz.3d", data, size, 64);
    fuzz_load_mesh("ball\\fuzz.3d");
    fuzz_finish_input();
    return 0;
}
