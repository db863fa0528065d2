// Writes a band or a whole surface, in any of the display depths, to a PNG file.
//
// Usage:
//
//     write_frame_png("frame.png", surface, 640, 480, pitch_bytes, 16);
//     write_band_png("band.png", RenderTarget.pixels, RenderTarget.pitch);
//
// write_frame_png(path, pixels, width, height, pitch_bytes, depth)
//   path         file to create; an existing one is replaced only once the
//                new one is complete
//   pixels       first byte of the top row; rows go top to bottom
//   width        pixels per row, 1 or more
//   height       rows, 1 or more
//   pitch_bytes  distance in bytes from one row to the next, at least
//                width * bytes per pixel; bytes past the last pixel of a row
//                are never read
//   depth        32: one little-endian word 0x00RRGGBB per pixel (top byte ignored)
//                24: three bytes blue, green, red per pixel
//                16: one little-endian 5-6-5 word per pixel (red in bits 11-15,
//                    green in bits 5-10, blue in bits 0-4); each channel is
//                    widened to 8 bits by repeating its top bits
//
// write_band_png(path, pixels, pitch) writes the 640 by 320 band of 32-bit
// pixels whose row stride is pitch *pixels* (the RenderTarget convention).
//
// Both write an 8-bit RGB PNG and return "" on success, otherwise one line
// naming the file and the problem (bad arguments, the file cannot be
// created, libpng reports an error, with the system's reason where there is
// one); a failed write leaves no partial file behind and an old file as
// it was. Nothing is allocated that outlives the call.
#pragma once
#include <cstdint>
#include <string>

std::string write_frame_png(const char *path, const void *pixels, int width, int height, int pitch_bytes,
                            int depth);
std::string write_band_png(const char *path, const uint32_t *pixels, int pitch);
