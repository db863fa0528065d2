// Fuzz target: the input is one JPEG entry, placed between two other entries
// of a valid archive.
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_begin_entry("pics\\fuzz.jpg", data, size, 1024);
    fuzz_load_image("pics\\fuzz.jpg");
    fuzz_finish_input();
    return 0;
}
