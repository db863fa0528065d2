// Loads a module with libxmp, an independent second reader of our XM files;
// the guard frees the module and its context. Tests that include this link libxmp.
#pragma once
#include <cstdint>
#include <vector>

#include <xmp.h>

struct XmpLoad {
    xmp_context context = xmp_create_context();
    xmp_module_info info{};
    bool loaded = false;
    explicit XmpLoad(const std::vector<uint8_t> &bytes)
    {
        loaded = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())) == 0;
        if (loaded)
            xmp_get_module_info(context, &info);
    }
    ~XmpLoad()
    {
        if (loaded)
            xmp_release_module(context);
        xmp_free_context(context);
    }
    XmpLoad(const XmpLoad &) = delete;
    XmpLoad &operator=(const XmpLoad &) = delete;
};
