// JPEG pictures through libjpeg's 6b interface, with a jump-buffer error exit.
#include <csetjmp>
#include <cstdarg>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "data/image.h"
#include "data/startup_error.h"

namespace {

// The library's version this program was written against.
constexpr int JpegInterfaceVersion = 62;

// Bytes the source hands libjpeg per read.
constexpr size_t JpegReadChunk = 4096;

// A source that reads the file only up to the end of the entry: the stream
// must not run on into the next entry or the directory.
struct BoundedSource {
    jpeg_source_mgr manager;  // first, so the library's src pointer is also ours
    FILE *file;
    uint64_t left;
    JOCTET buffer[JpegReadChunk];
};

void bounded_init(j_decompress_ptr) {}

boolean bounded_fill(j_decompress_ptr cinfo)
{
    BoundedSource *source = reinterpret_cast<BoundedSource *>(cinfo->src);
    size_t want = source->left < JpegReadChunk ? static_cast<size_t>(source->left) : JpegReadChunk;
    size_t got = want > 0 ? fread(source->buffer, 1, want, source->file) : 0;
    if (got == 0) {
        // As libjpeg's own sources do: warn, then end the stream with an
        // end-of-image marker so the decoder stops.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        source->left -= got;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = got;
    return TRUE;
}

void bounded_skip(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr *manager = cinfo->src;
    if (count <= 0)
        return;
    while (count > static_cast<long>(manager->bytes_in_buffer)) {
        count -= static_cast<long>(manager->bytes_in_buffer);
        bounded_fill(cinfo);
    }
    manager->next_input_byte += count;
    manager->bytes_in_buffer -= static_cast<size_t>(count);
}

void bounded_term(j_decompress_ptr) {}

// Everything a failed decode must release. It lives on the heap so that its
// fields, changed after setjmp, are still valid after the jump back.
struct JpegDecode {
    jpeg_error_mgr manager;  // first, so the library's err pointer is also ours
    jmp_buf recovery;
    jpeg_decompress_struct cinfo;
    BoundedSource source;
    uint8_t *pixels;
    uint8_t *row;
};

void release(JpegDecode *state)
{
    jpeg_destroy_decompress(&state->cinfo);
    free(state->pixels);
    free(state->row);
    if (state->source.file)
        fclose(state->source.file);
    free(state);
}

int fail(JpegDecode *state, const char *format, ...) __attribute__((format(printf, 2, 3)));
int fail(JpegDecode *state, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(DecodeFailure, sizeof DecodeFailure, format, args);
    va_end(args);
    release(state);
    return 0;
}

}  // namespace

void jpeg_fail_exit(jpeg_common_struct *cinfo)
{
    cinfo->err->output_message(cinfo);
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    snprintf(DecodeFailure, sizeof DecodeFailure, "damaged JPEG: %s", text);
    longjmp(reinterpret_cast<JpegDecode *>(cinfo->err)->recovery, 1);
}

int decode_jpeg(const char *path, uint32_t offset, Image *image, uint32_t size)
{
    JpegDecode *state = static_cast<JpegDecode *>(calloc(1, sizeof(JpegDecode)));
    if (state == nullptr) {
        snprintf(DecodeFailure, sizeof DecodeFailure, "out of memory");
        return 0;
    }
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        snprintf(DecodeFailure, sizeof DecodeFailure, "cannot open %s: %s", path, strerror(errno));
        free(state);
        return 0;
    }
    if (fseek(file, static_cast<long>(offset), SEEK_SET) != 0) {
        snprintf(DecodeFailure, sizeof DecodeFailure, "cannot seek to %u in %s", offset, path);
        fclose(file);
        free(state);
        return 0;
    }
    BoundedSource *source = &state->source;
    source->file = file;
    source->left = size;
    source->manager.init_source = bounded_init;
    source->manager.fill_input_buffer = bounded_fill;
    source->manager.skip_input_data = bounded_skip;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = bounded_term;

    jpeg_decompress_struct *cinfo = &state->cinfo;
    cinfo->err = jpeg_std_error(&state->manager);
    state->manager.error_exit = jpeg_fail_exit;
    if (setjmp(state->recovery)) {
        char reason[sizeof DecodeFailure];
        memcpy(reason, DecodeFailure, sizeof reason);
        return fail(state, "%s", reason);
    }
    jpeg_CreateDecompress(cinfo, JpegInterfaceVersion, sizeof(jpeg_decompress_struct));
    cinfo->src = &source->manager;
    jpeg_read_header(cinfo, TRUE);
    cinfo->quantize_colors = FALSE;
    cinfo->do_fancy_upsampling = FALSE;
    if (static_cast<uint64_t>(cinfo->image_width) * cinfo->image_height > ImageMaxJpegPixels)
        return fail(state, "JPEG of %u x %u pixels is too large", cinfo->image_width, cinfo->image_height);
    jpeg_start_decompress(cinfo);

    int bytes_per_pixel;
    if (cinfo->out_color_space == JCS_RGB && cinfo->output_components == 3)
        bytes_per_pixel = 4;
    else if (cinfo->out_color_space == JCS_GRAYSCALE && cinfo->output_components == 1)
        bytes_per_pixel = 1;
    else
        return fail(state, "JPEG colour space %d is neither grey nor RGB", static_cast<int>(cinfo->out_color_space));

    size_t width = cinfo->output_width;
    size_t height = cinfo->output_height;
    alloc_cleared(&state->pixels, width * height * bytes_per_pixel);
    alloc_cleared(&state->row, width * cinfo->output_components);
    if (state->pixels == nullptr || state->row == nullptr)
        return fail(state, "out of memory");

    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t *out = state->pixels + cinfo->output_scanline * width * bytes_per_pixel;
        JSAMPROW rows[1] = {state->row};
        if (jpeg_read_scanlines(cinfo, rows, 1) != 1)
            return fail(state, "JPEG scanlines stopped early");
        const uint8_t *in = state->row;
        if (bytes_per_pixel == 4) {
            for (size_t x = 0; x < width; x++) {
                out[4 * x] = in[3 * x + 2];
                out[4 * x + 1] = in[3 * x + 1];
                out[4 * x + 2] = in[3 * x];
                out[4 * x + 3] = 0;
            }
        } else {
            memcpy(out, in, width);
        }
    }
    jpeg_finish_decompress(cinfo);
    // libjpeg only warns about truncated or corrupt data and fills in grey;
    // for the show that is a damaged picture all the same.
    if (state->manager.num_warnings > 0) {
        char text[JMSG_LENGTH_MAX];
        state->manager.format_message(reinterpret_cast<j_common_ptr>(cinfo), text);
        return fail(state, "damaged JPEG: %s", text);
    }

    image->pixels = state->pixels;
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->kind = bytes_per_pixel == 4 ? ImageWords : ImageBytes;
    state->pixels = nullptr;
    release(state);
    return 1;
}
