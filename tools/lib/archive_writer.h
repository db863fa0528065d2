// Writer of the resource archive: entries in order, then the masked directory
// and the masked count.
//
//   std::string error = write_archive("out/orvanti.dat", files);
//
// Each ArchiveFile's name is stored upper-cased (ASCII letters only; the
// backslash separators are kept as given). Returns an empty string on success,
// otherwise a one-line message naming the file and the problem. The archive is
// written under a hidden name beside `path` and renamed over it once complete,
// so a failure leaves no partial file and an old archive as it was.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "output_file.h"

struct ArchiveFile {
    std::string name;           // "ball\\ball.3d"; at most 255 bytes
    std::vector<uint8_t> data;
};

constexpr int ArchiveMaxEntries = 255;
constexpr int ArchiveMaxName = 255;

// Offsets are 32-bit sums of the sizes before an entry.
constexpr uint64_t ArchiveMaxBytes = 0xFFFFFFFFu;

std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files);

// An entry streamed into the archive: `copy` writes exactly `size` bytes to
// `out` and returns "" or the reason it could not (which names the source).
struct ArchiveSource {
    std::string name;
    uint64_t size;
    std::function<std::string(FILE *out)> copy;
};
// The same archive from streamed entries; every size is checked before the
// first byte is written. Given `unplaced`, the finished archive is left under
// its hidden name there, for the caller's place_output or discard_output.
std::string write_archive_streamed(const std::string &path, const std::vector<ArchiveSource> &sources,
                                   OutputFile *unplaced = nullptr);
std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files, OutputFile *unplaced);

// `name` as the archive stores it: ASCII letters upper-cased, the rest kept.
std::string stored_entry_name(std::string name);
