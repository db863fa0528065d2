// Fuzz target: the input is one ".3d" mesh entry of a valid archive.
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
                        {"ball\\fuzz.3d", std::vector<uint8_t>(data, data + size)},
                        {"after.bin", std::vector<uint8_t>(64, 0x55)}});
    fuzz_load_mesh("ball\\fuzz.3d");
    fuzz_finish_input();
    return 0;
}
