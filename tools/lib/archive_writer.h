// Writer of the resource archive: entries in order, then the masked directory
// and the masked count.
//
//   std::string error = write_archive("out/orvanti.dat", files);
//
// Each ArchiveFile's name is stored upper-cased (ASCII letters only; the
// backslash separators are kept as given). Returns an empty string on success,
// otherwise a one-line message naming the file and the problem; on failure the
// partial file is removed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveFile {
    std::string name;           // "ball\\ball.3d"; at most 255 bytes
    std::vector<uint8_t> data;
};

constexpr int ArchiveMaxEntries = 255;
constexpr int ArchiveMaxName = 255;

std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files);

// `name` as the archive stores it: ASCII letters upper-cased, the rest kept.
std::string stored_entry_name(std::string name);
