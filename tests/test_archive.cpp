// Resource archive: layout and masks, lookups, the case rule, and damaged archives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup.h"

namespace {

std::vector<uint8_t> bytes_of(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// One directory record built by hand, independent of the writer.
void append_record(std::vector<uint8_t> &file, const std::string &name, uint32_t size)
{
    uint8_t record[260] = {};
    memcpy(record, name.data(), name.size());
    for (int i = 0; i < 256; i++)
        record[i] ^= 0x0B;
    uint32_t masked = size ^ 0x5A2u;
    for (int i = 0; i < 4; i++)
        record[256 + i] = static_cast<uint8_t>(masked >> (8 * i));
    file.insert(file.end(), record, record + 260);
}

std::vector<uint8_t> load(const char *name, bool *loaded)
{
    uint8_t *buffer = nullptr;
    load_entry(name, &buffer);
    *loaded = buffer != nullptr;
    std::vector<uint8_t> result;
    char copy[256];
    if (buffer && upper_case_entry_name(name, copy)) {
        result.assign(buffer, buffer + find_entry_size(copy));
        free(buffer);
    }
    return result;
}

std::vector<uint8_t> load(const char *name)
{
    bool loaded = false;
    return load(name, &loaded);
}

}  // namespace

TEST(ArchiveLayout, WriterMasksNamesSizesAndCount)
{
    std::vector<uint8_t> file = archive_bytes({{"a\\b.tga", bytes_of("xyz")}, {"c", bytes_of("12345")}});
    ASSERT_EQ(file.size(), 3u + 5u + 2 * 260 + 1);
    EXPECT_EQ(file.back(), 2 ^ 0x0B);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "xyz12345");
    const uint8_t *first = file.data() + 8;
    std::string name;
    for (int i = 0; i < 256 && (first[i] ^ 0x0B) != 0; i++)
        name += static_cast<char>(first[i] ^ 0x0B);
    EXPECT_EQ(name, "A\\B.TGA");
    for (int i = static_cast<int>(name.size()); i < 256; i++)
        EXPECT_EQ(first[i], 0x0B) << "padding byte " << i;
    EXPECT_EQ(first[256], 3 ^ 0xA2);
    EXPECT_EQ(first[257], 0x05);
    EXPECT_EQ(first[258], 0);
    EXPECT_EQ(first[259], 0);
}

TEST(ArchiveLayout, HandBuiltArchiveReadsBack)
{
    std::vector<uint8_t> file = bytes_of("HELLOworld!");
    append_record(file, "ONE", 5);
    append_record(file, "TWO", 6);
    file.push_back(2 ^ 0x0B);
    ScopedArchive archive = ScopedArchive::raw(file);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(Directory.count, 2);
    EXPECT_EQ(find_entry_offset("TWO"), 5u);
    EXPECT_EQ(find_entry_size("TWO"), 6u);
    EXPECT_EQ(load("two"), bytes_of("world!"));
    EXPECT_EQ(StartupError, 0);
}

TEST(ArchiveLayout, OffsetIsTheSumOfEarlierSizes)
{
    std::vector<uint8_t> big(70000, 7);
    ScopedArchive archive({{"z", bytes_of("abcde")}, {"empty", {}}, {"a", big}, {"m", bytes_of("tail")}});
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(find_entry_offset("Z"), 0u);
    EXPECT_EQ(find_entry_offset("EMPTY"), 5u);
    EXPECT_EQ(find_entry_offset("A"), 5u);
    EXPECT_EQ(find_entry_offset("M"), 70005u);
    EXPECT_EQ(find_entry_size("A"), 70000u);
    EXPECT_EQ(load("m"), bytes_of("tail"));
    EXPECT_EQ(load("a"), big);
    EXPECT_EQ(StartupError, 0);
}

TEST(ArchiveLayout, OpenEntryIsPositionedAtTheEntry)
{
    ScopedArchive archive({{"first", bytes_of("0123")}, {"dir\\second", bytes_of("abcdef")}});
    int fd = open_entry("dir\\second");
    ASSERT_GE(fd, 0) << StartupFailure;
    char got[7] = {};
    EXPECT_EQ(read(fd, got, 6), 6);
    EXPECT_STREQ(got, "abcdef");
    close(fd);
    EXPECT_EQ(StartupError, 0);
}

TEST(ArchiveLayout, FullDirectoryOf255Entries)
{
    std::vector<ArchiveFile> files;
    for (int i = 0; i < 255; i++)
        files.push_back({"e" + std::to_string(i), bytes_of(std::to_string(i))});
    ScopedArchive archive(files);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(Directory.count, 255);
    EXPECT_EQ(load("e254"), bytes_of("254"));
    EXPECT_EQ(find_entry_offset("E100"), 10u + 90u * 2u);
}

TEST(ArchiveLookup, RequestedNamesAreUpperCasedButSeparatorsKept)
{
    ScopedArchive archive({{"ball\\ball.3d", bytes_of("mesh")}});
    EXPECT_EQ(Directory.names[0], std::string("BALL\\BALL.3D"));
    EXPECT_EQ(load("ball\\ball.3d"), bytes_of("mesh"));
    EXPECT_EQ(load("Ball\\BALL.3d"), bytes_of("mesh"));
    ASSERT_EQ(StartupError, 0);

    bool loaded = true;
    load("ball/ball.3d", &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(std::string(StartupFailure), "BALL/BALL.3D: no such entry in " + archive.path());
}

TEST(ArchiveLookup, LookupItselfIsCaseExact)
{
    std::vector<uint8_t> file = bytes_of("ab");
    append_record(file, "lower", 1);
    append_record(file, "UPPER", 1);
    file.push_back(2 ^ 0x0B);
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_EQ(find_entry_offset("UPPER"), 1u);
    EXPECT_EQ(StartupError, 0);
    find_entry_size("upper");
    EXPECT_EQ(StartupError, 1);

    // A stored name with lower-case letters is out of reach of every load.
    reset_startup_error();
    bool loaded = true;
    load("lower", &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(StartupError, 1);
}

TEST(ArchiveLookup, FirstOfTwoEqualNamesWins)
{
    ScopedArchive archive({{"same", bytes_of("first")}, {"other", bytes_of("x")}, {"SAME", bytes_of("second")}});
    EXPECT_EQ(find_entry_offset("SAME"), 0u);
    EXPECT_EQ(load("same"), bytes_of("first"));
}

TEST(ArchiveLookup, CountZeroFindsNothing)
{
    ScopedArchive archive = ScopedArchive::raw({0x0B});
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(Directory.count, 0);
    EXPECT_EQ(open_entry("anything"), -1);
    EXPECT_EQ(StartupError, 1);
}

TEST(ArchiveLookup, EmptyEntryLoadsAsEmptyBuffer)
{
    ScopedArchive archive({{"before", bytes_of("1")}, {"nothing", {}}, {"after", bytes_of("2")}});
    bool loaded = false;
    std::vector<uint8_t> data = load("nothing", &loaded);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(StartupError, 0);
}

TEST(ArchiveLookup, MissingEntryLeavesTheBufferAlone)
{
    ScopedArchive archive({{"here", bytes_of("1")}});
    uint8_t sentinel = 0;
    uint8_t *buffer = &sentinel;
    load_entry("gone\\away.tga", &buffer);
    EXPECT_EQ(buffer, &sentinel);
    EXPECT_EQ(open_entry("gone\\away.tga"), -1);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(std::string(StartupFailure), "GONE\\AWAY.TGA: no such entry in " + archive.path());
}

TEST(ArchiveLookup, OverlongRequestedNameFails)
{
    ScopedArchive archive({{"here", bytes_of("1")}});
    std::string name(300, 'q');
    uint8_t *buffer = nullptr;
    load_entry(name.c_str(), &buffer);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("longer than 255"), std::string::npos);
}

TEST(ArchiveDamage, MissingArchive)
{
    const char *saved = ArchivePath;
    ArchivePath = "/nonexistent/orvanti.dat";
    reset_startup_error();
    read_archive_directory();
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
    EXPECT_NE(std::string(StartupFailure).find("/nonexistent/orvanti.dat: cannot open"), std::string::npos)
        << StartupFailure;
    uint8_t *buffer = nullptr;
    load_entry("coltab.dat", &buffer);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(open_entry("coltab.dat"), -1);
    ArchivePath = saved;
    reset_startup_error();
}

TEST(ArchiveDamage, EmptyFile)
{
    ScopedArchive archive = ScopedArchive::raw({});
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
}

TEST(ArchiveDamage, CountPromisesMoreRecordsThanTheFileHolds)
{
    std::vector<uint8_t> file = archive_bytes({{"one", bytes_of("abc")}});
    file.back() = 0xFF;  // unmasks to 244 records
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
    EXPECT_NE(std::string(StartupFailure).find("directory of 244 entries"), std::string::npos) << StartupFailure;
    EXPECT_EQ(find_entry_size("ONE"), 0u);
}

TEST(ArchiveDamage, EntrySizeRunsIntoTheDirectory)
{
    std::vector<uint8_t> file = archive_bytes({{"one", bytes_of("abc")}, {"two", bytes_of("defg")}});
    file[3 + 4 + 260 + 257] ^= 0x10;  // size of "two" grows by 4096
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
    EXPECT_NE(std::string(StartupFailure).find("entry TWO (offset 3, 4100 bytes) runs past"), std::string::npos)
        << StartupFailure;
}

TEST(ArchiveDamage, HugeSizeDoesNotWrapTheOffsets)
{
    std::vector<uint8_t> file = bytes_of("abcd");
    append_record(file, "BIG", 0xFFFFFFFFu);
    append_record(file, "NEXT", 4);
    file.push_back(2 ^ 0x0B);
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
}

TEST(ArchiveDamage, NameWithoutTerminator)
{
    std::vector<uint8_t> file = bytes_of("ab");
    append_record(file, std::string(256, 'N'), 2);
    file.push_back(1 ^ 0x0B);
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(Directory.count, 0);
}

TEST(ArchiveDamage, ArchiveCutShortAfterTheDirectoryWasRead)
{
    ScopedArchive archive({{"one", bytes_of("abc")}, {"two", std::vector<uint8_t>(1000, 1)}});
    ASSERT_EQ(StartupError, 0);
    ASSERT_EQ(truncate(archive.path().c_str(), 500), 0);
    uint8_t *buffer = nullptr;
    load_entry("two", &buffer);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("TWO: entry (offset 3, 1000 bytes) runs past the end"),
              std::string::npos)
        << StartupFailure;
    EXPECT_EQ(open_entry("two"), -1);
    EXPECT_EQ(load("one"), bytes_of("abc"));
}

TEST(ArchiveWriter, RefusesWhatTheDirectoryCannotHold)
{
    std::string folder = make_temp_folder();
    std::string path = folder + "/orvanti.dat";
    std::vector<ArchiveFile> many(256, ArchiveFile{"x", {}});
    EXPECT_NE(write_archive(path, many).find("256 entries"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));

    std::string error = write_archive(path, {{std::string(256, 'n'), {}}});
    EXPECT_NE(error.find("longer than 255"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(write_archive(path, {{std::string(255, 'n'), {1}}}), "");

    EXPECT_NE(write_archive(path, {{std::string("a\0b", 3), {}}}).find("NUL"), std::string::npos);
    EXPECT_NE(write_archive(folder + "/missing/orvanti.dat", {}).find("cannot create"), std::string::npos);
    std::filesystem::remove_all(folder);
}

TEST(ShowArchive, GeneratedArchiveReadsBack)
{
    const char *saved = ArchivePath;
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    reset_startup_error();
    read_archive_directory();
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_GE(Directory.count, 1);
    EXPECT_EQ(find_entry_size("COLTAB.DAT"), 65536u);
    bool loaded = false;
    std::vector<uint8_t> table = load("coltab.dat", &loaded);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(table.size(), 65536u);
    EXPECT_EQ(StartupError, 0) << StartupFailure;
    ArchivePath = saved;
}
