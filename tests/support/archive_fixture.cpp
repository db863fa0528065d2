// Throw-away archives for the loader tests.
#include "archive_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "data/archive.h"
#include "data/startup_error.h"

std::string make_temp_folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvanti-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder from " << pattern;
        return "";
    }
    return pattern;
}

std::vector<uint8_t> read_file_bytes(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *in = fopen(path.c_str(), "rb");
    if (!in)
        return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(in);
    return bytes;
}

void write_file_bytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) {
        ADD_FAILURE() << "cannot create " << path;
        return;
    }
    if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        ADD_FAILURE() << "cannot write " << path;
    fclose(out);
}

std::vector<uint8_t> archive_bytes(const std::vector<ArchiveFile> &files)
{
    std::string folder = make_temp_folder();
    std::string path = folder + "/orvanti.dat";
    std::string error = write_archive(path, files);
    EXPECT_EQ(error, "");
    std::vector<uint8_t> bytes = read_file_bytes(path);
    std::filesystem::remove_all(folder);
    return bytes;
}

ScopedArchive::ScopedArchive() : folder_(make_temp_folder()), path_(folder_ + "/orvanti.dat"), saved_path_(ArchivePath)
{
}

ScopedArchive::ScopedArchive(const std::vector<ArchiveFile> &files) : ScopedArchive()
{
    std::string error = write_archive(path_, files);
    EXPECT_EQ(error, "") << "writing the test archive failed";
    open();
}

ScopedArchive::ScopedArchive(const std::vector<uint8_t> &file_bytes, bool) : ScopedArchive()
{
    write_file_bytes(path_, file_bytes);
    open();
}

ScopedArchive ScopedArchive::raw(const std::vector<uint8_t> &file_bytes)
{
    return ScopedArchive(file_bytes, true);
}

void ScopedArchive::open()
{
    ArchivePath = path_.c_str();
    reset_startup_error();
    read_archive_directory();
}

ScopedArchive::~ScopedArchive()
{
    ArchivePath = saved_path_;
    reset_startup_error();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}
