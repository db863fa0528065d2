// orvanti-short-module FILE: writes the short test module (47 orders of 4
// rows, about two seconds) for the install and package checks.
#include <cstdio>
#include <vector>

#include "short_show.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: orvanti-short-module FILE\n");
        return 2;
    }
    std::vector<uint8_t> module = short_module_bytes(47, 4);
    FILE *out = fopen(argv[1], "wb");
    bool ok = out && fwrite(module.data(), 1, module.size(), out) == module.size();
    ok = (out && fclose(out) == 0) && ok;
    if (!ok) {
        fprintf(stderr, "orvanti-short-module: %s: cannot write the module\n", argv[1]);
        return 1;
    }
    return 0;
}
