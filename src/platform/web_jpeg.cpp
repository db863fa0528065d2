// JPEG entries in the browser build: libjpeg has no WebAssembly build here,
// so such an entry fails to load with a reason (the generated data has none).
#include "data/image.h"

#include <cstdio>

int decode_jpeg(const char *, uint32_t, Image *, uint32_t)
{
    snprintf(DecodeFailure, sizeof DecodeFailure, "JPEG pictures are not decoded in the browser build");
    return 0;
}
