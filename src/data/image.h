// The picture record every texture, background, offset map and mask decodes into,
// and the TGA and JPEG decoders that fill it from the resource archive.
#pragma once
#include <cstdint>

// Image.kind: how the pixels are stored.
constexpr uint8_t ImageBytes = 1;  // one byte per pixel (grey, or colour-map indices)
constexpr uint8_t ImageWords = 2;  // 0x00RRGGBB words

struct Image {
    uint8_t kind;             // ImageBytes or ImageWords
    int32_t width;
    int32_t height;
    uint8_t *pixels;          // rows top to bottom, no gap
    uint8_t *palette_planes;  // colour-mapped only: blue, green, red planes of 256
    uint8_t *palette_rgb;     // colour-mapped only: 256 (red, green, blue) >> 2 triples
};

inline uint32_t *image_words(const Image *image)
{
    return reinterpret_cast<uint32_t *>(image->pixels);
}

// Largest picture a JPEG header may ask for; a few bytes of header must not
// be able to demand gigabytes.
constexpr uint64_t ImageMaxJpegPixels = 1u << 24;

// Decodes the archive entry `name` (upper-cased first) by its last three
// letters, "TGA" or "JPG", into *image. Any failure (missing entry, other
// type, damaged picture) raises StartupError with a line naming the entry,
// and leaves *image as it was.
void load_image(const char *name, Image *image);

// Why the last decode_tga or decode_jpeg call failed, for the failure line.
extern char DecodeFailure[256];

// TGA types 1 (colour-mapped), 2 (true colour) and 3 (grey) starting at
// `offset` of the file `path`; `size` is the entry's length (the default
// leaves only the end of the file as the limit). Returns 0 on success, -1
// on failure, with DecodeFailure saying why and *image untouched.
int decode_tga(const char *path, uint32_t offset, Image *image, uint32_t size = UINT32_MAX);

// JPEG (grey or colour) starting at `offset` of `path`, through libjpeg,
// reading at most `size` bytes (the entry's length; a stream that needs more
// is damaged). Returns 1 on success, 0 on failure with DecodeFailure saying
// why and no pixels stored in *image.
int decode_jpeg(const char *path, uint32_t offset, Image *image, uint32_t size = UINT32_MAX);

// The libjpeg error exit: prints the library's message and jumps back into
// decode_jpeg, which cleans up and fails.
struct jpeg_common_struct;
void jpeg_fail_exit(jpeg_common_struct *cinfo);

// Frees the pixels and palettes and zeroes the record (tests and tools; the
// program keeps its pictures until exit).
void free_image(Image *image);
