// Test archives: write entries to a throw-away "orvanti.dat" and make it the
// archive every loader reads, for the lifetime of one object.
//
//   ScopedArchive archive({{"ball\\ball.3d", mesh_bytes}, {"ball\\ball.tga", tga}});
//   load_mesh(...);  // reads archive.path()
//
// The constructor writes the entries with write_archive (names upper-cased,
// as the generator stores them) into a fresh temporary folder, points
// ArchivePath at the file, clears the start-up failure flag and reads the
// directory; it records a test failure if the archive cannot be written.
// ScopedArchive::raw(bytes) does the same with the file's bytes given whole,
// for damaged archives. The destructor restores ArchivePath, clears the
// failure flag and removes the folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive_writer.h"

class ScopedArchive {
public:
    explicit ScopedArchive(const std::vector<ArchiveFile> &files);
    static ScopedArchive raw(const std::vector<uint8_t> &file_bytes);
    ~ScopedArchive();
    ScopedArchive(const ScopedArchive &) = delete;
    ScopedArchive &operator=(const ScopedArchive &) = delete;

    const std::string &path() const { return path_; }
    const std::string &folder() const { return folder_; }

private:
    ScopedArchive();
    ScopedArchive(const std::vector<uint8_t> &file_bytes, bool);
    void open();

    std::string folder_;
    std::string path_;
    const char *saved_path_;
};

// The bytes write_archive produces for `files`, for tests that damage them.
std::vector<uint8_t> archive_bytes(const std::vector<ArchiveFile> &files);

// A fresh empty temporary folder; the caller removes it.
std::string make_temp_folder();

// Whole-file helpers; read_file_bytes gives an empty vector for a missing file.
std::vector<uint8_t> read_file_bytes(const std::string &path);
void write_file_bytes(const std::string &path, const std::vector<uint8_t> &bytes);
