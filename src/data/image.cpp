// Picture loading: the extension dispatch and the TGA decoder (types 1, 2, 3).
#include "data/image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/archive.h"
#include "data/startup_error.h"

char DecodeFailure[256] = "";

namespace {

constexpr int TgaHeaderSize = 18;
constexpr int TgaColourMapBytes = 256 * 3;
constexpr int TgaTypeOffset = 2;
constexpr int TgaColourMapTypeOffset = 1;
constexpr int TgaWidthOffset = 12;
constexpr int TgaHeightOffset = 14;

enum TgaType { TgaColourMapped = 1, TgaTrueColour = 2, TgaGrey = 3 };

// The largest pixel count whose 32-bit pixel buffer still has an int-sized
// byte count, so every index computed by the scenes stays in range.
constexpr uint64_t TgaMaxPixels = 0x7FFFFFFF / 4;

int fail(const char *format, ...) __attribute__((format(printf, 1, 2)));
int fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(DecodeFailure, sizeof DecodeFailure, format, args);
    va_end(args);
    return -1;
}

// The colour map's entry i is (blue, green, red); both palettes are stored
// under the inverted index 255 - i, matching the inverted pixel bytes.
void build_palettes(const uint8_t *colour_map, uint8_t *planes, uint8_t *rgb)
{
    for (int i = 0; i < 256; i++) {
        int p = 255 - i;
        uint8_t blue = colour_map[3 * i], green = colour_map[3 * i + 1], red = colour_map[3 * i + 2];
        planes[p] = blue;
        planes[256 + p] = green;
        planes[512 + p] = red;
        rgb[3 * p] = static_cast<uint8_t>(red >> 2);
        rgb[3 * p + 1] = static_cast<uint8_t>(green >> 2);
        rgb[3 * p + 2] = static_cast<uint8_t>(blue >> 2);
    }
}

// Converts one file row (bottom rows come first in the file) into image row bytes.
void convert_row(int type, const uint8_t *file_row, uint8_t *image_row, int width)
{
    switch (type) {
    case TgaColourMapped:
        for (int x = 0; x < width; x++)
            image_row[x] = static_cast<uint8_t>(255 - file_row[x]);
        break;
    case TgaTrueColour:
        for (int x = 0; x < width; x++) {
            image_row[4 * x] = file_row[3 * x];
            image_row[4 * x + 1] = file_row[3 * x + 1];
            image_row[4 * x + 2] = file_row[3 * x + 2];
            image_row[4 * x + 3] = 0;
        }
        break;
    default:
        memcpy(image_row, file_row, static_cast<size_t>(width));
        break;
    }
}

int decode_tga_from(int fd, uint32_t offset, uint32_t size, Image *image)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return fail("cannot read the archive size: %s", strerror(errno));
    uint64_t length = static_cast<uint64_t>(info.st_size);
    uint64_t available = offset < length ? length - offset : 0;
    if (available > size)
        available = size;

    uint8_t header[TgaHeaderSize];
    if (available < TgaHeaderSize || !read_at(fd, offset, header, sizeof header))
        return fail("TGA header cut short (%llu bytes)", static_cast<unsigned long long>(available));
    int type = header[TgaTypeOffset];
    int width = header[TgaWidthOffset] | header[TgaWidthOffset + 1] << 8;
    int height = header[TgaHeightOffset] | header[TgaHeightOffset + 1] << 8;

    int file_bytes_per_pixel, image_bytes_per_pixel;
    uint64_t pixel_start = TgaHeaderSize;
    switch (type) {
    case TgaColourMapped:
        file_bytes_per_pixel = image_bytes_per_pixel = 1;
        pixel_start += TgaColourMapBytes;
        break;
    case TgaTrueColour:
        file_bytes_per_pixel = 3;
        image_bytes_per_pixel = 4;
        break;
    case TgaGrey:
        file_bytes_per_pixel = image_bytes_per_pixel = 1;
        break;
    default:
        return fail("TGA type %d is not supported (only 1, 2 and 3 are)", type);
    }

    uint64_t pixel_count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixel_count > TgaMaxPixels)
        return fail("TGA of %d x %d pixels is too large", width, height);
    if (type == TgaColourMapped &&
        (header[TgaColourMapTypeOffset] == 0 || available < TgaHeaderSize + TgaColourMapBytes))
        return fail("TGA colour map missing");
    uint64_t needed = pixel_start + pixel_count * file_bytes_per_pixel;
    if (needed > available)
        return fail("TGA pixel data needs %llu bytes but the entry has %llu", static_cast<unsigned long long>(needed),
                    static_cast<unsigned long long>(available));

    uint8_t *pixels = nullptr, *planes = nullptr, *rgb = nullptr, *row = nullptr;
    uint8_t colour_map[TgaColourMapBytes];
    size_t file_row_bytes = static_cast<size_t>(width) * file_bytes_per_pixel;
    size_t image_row_bytes = static_cast<size_t>(width) * image_bytes_per_pixel;
    alloc_cleared(&pixels, pixel_count * image_bytes_per_pixel);
    alloc_cleared(&row, file_row_bytes);
    bool ok = pixels != nullptr && row != nullptr;
    if (ok && type == TgaColourMapped) {
        alloc_cleared(&planes, TgaColourMapBytes);
        alloc_cleared(&rgb, TgaColourMapBytes);
        ok = planes != nullptr && rgb != nullptr && read_at(fd, offset + TgaHeaderSize, colour_map, sizeof colour_map);
        if (ok)
            build_palettes(colour_map, planes, rgb);
    }
    for (int n = 0; ok && n < height; n++) {
        ok = read_at(fd, offset + pixel_start + n * file_row_bytes, row, file_row_bytes);
        if (ok)
            convert_row(type, row, pixels + (height - 1 - n) * image_row_bytes, width);
    }
    free(row);
    if (!ok) {
        free(pixels);
        free(planes);
        free(rgb);
        return fail("cannot read the TGA pixels");
    }

    image->pixels = pixels;
    if (type == TgaColourMapped) {
        image->palette_planes = planes;
        image->palette_rgb = rgb;
    } else {
        image->kind = type == TgaTrueColour ? ImageWords : ImageBytes;
    }
    image->width = width;
    image->height = height;
    return 0;
}

bool has_type(const char *name, const char *type)
{
    size_t length = strlen(name);
    return length >= 3 && strcmp(name + length - 3, type) == 0;
}

}  // namespace

int decode_tga(const char *path, uint32_t offset, Image *image, uint32_t size)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot open %s: %s", path, strerror(errno));
    int result = decode_tga_from(fd, offset, size, image);
    close(fd);
    return result;
}

void load_image(const char *name, Image *image)
{
    char copy[ArchiveNameSlot];
    if (!upper_case_entry_name(name, copy))
        return;
    int index = find_entry(copy);
    if (index < 0) {
        report_startup_failure("%s: no such entry in %s", copy, ArchivePath);
        return;
    }
    uint32_t offset = find_entry_offset(copy);
    if (has_type(copy, "TGA")) {
        if (decode_tga(ArchivePath, offset, image, Directory.sizes[index]) != 0)
            report_startup_failure("%s: %s", copy, DecodeFailure);
    } else if (has_type(copy, "JPG")) {
        if (decode_jpeg(ArchivePath, offset, image, Directory.sizes[index]) != 1)
            report_startup_failure("%s: %s", copy, DecodeFailure);
    } else {
        report_startup_failure("%s: not a TGA or JPG picture", copy);
    }
}

void free_image(Image *image)
{
    free(image->pixels);
    free(image->palette_planes);
    free(image->palette_rgb);
    *image = Image{};
}
