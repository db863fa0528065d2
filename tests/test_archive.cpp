// Resource archive: layout and masks, lookups, the case rule, and damaged archives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup_error.h"

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
    for (int i = 0; i < 4; i++)
        record[256 + i] = static_cast<uint8_t>((size ^ 0x5A2u) >> (8 * i));
    file.insert(file.end(), record, record + 260);
}

// load_entry's bytes; `loaded` says whether it set the buffer at all.
std::vector<uint8_t> load(const char *name, bool *loaded = nullptr)
{
    uint8_t *buffer = nullptr;
    load_entry(name, &buffer);
    if (loaded)
        *loaded = buffer != nullptr;
    std::vector<uint8_t> result;
    char copy[256];
    if (buffer && upper_case_entry_name(name, copy))
        result.assign(buffer, buffer + find_entry_size(copy));
    free(buffer);
    return result;
}

bool failure_mentions(const std::string &text)
{
    return StartupError == 1 && std::string(StartupFailure).find(text) != std::string::npos;
}

}  // namespace

TEST(ArchiveLayout, WriterMasksNamesSizesAndCount)
{
    std::vector<uint8_t> file = archive_bytes({{"a\\b.tga", bytes_of("xyz")}, {"c", bytes_of("12345")}});
    ASSERT_EQ(file.size(), 3u + 5u + 2 * 260 + 1);
    EXPECT_EQ(file.back(), 2 ^ 0x0B);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "xyz12345");
    std::vector<uint8_t> expected;
    append_record(expected, "A\\B.TGA", 3);
    append_record(expected, "C", 5);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 8));
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
    EXPECT_EQ(load("m"), bytes_of("tail"));
    EXPECT_EQ(load("a"), big);

    bool loaded = false;
    EXPECT_TRUE(load("empty", &loaded).empty());
    EXPECT_TRUE(loaded) << "an empty entry still gives a buffer";

    int fd = open_entry("m");
    ASSERT_GE(fd, 0) << StartupFailure;
    char got[5] = {};
    EXPECT_EQ(read(fd, got, 4), 4);
    EXPECT_STREQ(got, "tail");
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

TEST(ArchiveLookup, RequestedNamesAreUpperCasedSeparatorsKept)
{
    ScopedArchive archive({{"ball\\ball.3d", bytes_of("mesh")}});
    EXPECT_EQ(Directory.names[0], std::string("BALL\\BALL.3D"));
    EXPECT_EQ(load("ball\\ball.3d"), bytes_of("mesh"));
    EXPECT_EQ(load("Ball\\BALL.3d"), bytes_of("mesh"));
    ASSERT_EQ(StartupError, 0);

    bool loaded = true;
    load("ball/ball.3d", &loaded);
    EXPECT_FALSE(loaded);
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

TEST(ArchiveLookup, MissingOrOverlongNameLeavesTheBufferAlone)
{
    ScopedArchive archive({{"here", bytes_of("1")}});
    uint8_t sentinel = 0;
    uint8_t *buffer = &sentinel;
    load_entry("gone\\away.tga", &buffer);
    EXPECT_EQ(buffer, &sentinel);
    EXPECT_EQ(open_entry("gone\\away.tga"), -1);
    EXPECT_EQ(std::string(StartupFailure), "GONE\\AWAY.TGA: no such entry in " + archive.path());

    reset_startup_error();
    load_entry(std::string(300, 'q').c_str(), &buffer);
    EXPECT_EQ(buffer, &sentinel);
    EXPECT_TRUE(failure_mentions("longer than 255")) << StartupFailure;
}

TEST(ArchiveDamage, MissingArchive)
{
    const char *saved = ArchivePath;
    ArchivePath = "/nonexistent/orvanti.dat";
    reset_startup_error();
    read_archive_directory();
    EXPECT_TRUE(failure_mentions("/nonexistent/orvanti.dat: cannot open")) << StartupFailure;
    EXPECT_EQ(Directory.count, 0);
    uint8_t *buffer = nullptr;
    load_entry("coltab.dat", &buffer);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(open_entry("coltab.dat"), -1);

    ArchivePath = "/";
    reset_startup_error();
    read_archive_directory();
    EXPECT_TRUE(failure_mentions("/: not a readable file")) << StartupFailure;
    ArchivePath = saved;
    reset_startup_error();
}

TEST(ArchiveDamage, DirectoryThatCannotBeTrusted)
{
    std::vector<uint8_t> good = archive_bytes({{"one", bytes_of("abc")}, {"two", bytes_of("defg")}});
    std::vector<uint8_t> too_many = good;
    too_many.back() = 0xFF;  // unmasks to 244 records
    std::vector<uint8_t> grown = good;
    grown[3 + 4 + 260 + 257] ^= 0x10;  // size of "two" grows by 4096
    std::vector<uint8_t> wrapping = bytes_of("abcd");
    append_record(wrapping, "BIG", 0xFFFFFFFFu);
    append_record(wrapping, "NEXT", 4);
    wrapping.push_back(2 ^ 0x0B);
    std::vector<uint8_t> unterminated = bytes_of("ab");
    append_record(unterminated, std::string(256, 'N'), 2);
    unterminated.push_back(1 ^ 0x0B);

    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        const char *reason;
    };
    for (const Case &c : {Case{"empty file", {}, "file is empty"},
                          Case{"count past the file", too_many, "directory of 244 entries needs 63441 bytes"},
                          Case{"entry into the directory", grown, "entry TWO (offset 3, 4100 bytes) runs past"},
                          Case{"size that wraps offsets", wrapping, "entry BIG (offset 0, 4294967295 bytes)"},
                          Case{"unterminated name", unterminated, "entry 0 has no end to its name"}}) {
        ScopedArchive archive = ScopedArchive::raw(c.file);
        EXPECT_TRUE(failure_mentions(c.reason)) << c.what << ": " << StartupFailure;
        EXPECT_EQ(Directory.count, 0) << c.what;
        EXPECT_EQ(find_entry_size("ONE"), 0u);
    }
}

TEST(ArchiveDamage, ControlCharactersInANameDoNotBreakTheFailureLine)
{
    // A name with a line break and a terminal escape, whose entry runs past the directory.
    std::vector<uint8_t> file = bytes_of("abcd");
    append_record(file, "BAD\nNAME\x1b[2J\t\x7f", 1000);
    file.push_back(1 ^ 0x0B);
    ScopedArchive archive = ScopedArchive::raw(file);
    EXPECT_TRUE(failure_mentions("entry BAD?NAME?[2J??")) << StartupFailure;
    for (const char *c = StartupFailure; *c != '\0'; c++)
        EXPECT_TRUE(static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7F) << "control byte " << int(*c);
    // Bytes above ASCII, as in a UTF-8 name, are kept.
    reset_startup_error();
    report_startup_failure("%s: no such entry", "B\xc3\x84LL.TGA");
    EXPECT_STREQ(StartupFailure, "B\xc3\x84LL.TGA: no such entry");
}

TEST(ArchiveDamage, ArchiveCutShortAfterTheDirectoryWasRead)
{
    ScopedArchive archive({{"one", bytes_of("abc")}, {"two", std::vector<uint8_t>(1000, 1)}});
    ASSERT_EQ(StartupError, 0);
    ASSERT_EQ(truncate(archive.path().c_str(), 500), 0);
    bool loaded = true;
    load("two", &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(failure_mentions("TWO: entry (offset 3, 1000 bytes) runs past the end")) << StartupFailure;
    EXPECT_EQ(open_entry("two"), -1);
    EXPECT_EQ(load("one"), bytes_of("abc"));
}

TEST(ArchiveWriter, RefusesWhatTheDirectoryCannotHold)
{
    std::string folder = make_temp_folder();
    std::string path = folder + "/orvanti.dat";
    std::vector<ArchiveFile> many(256, ArchiveFile{"x", {}});
    EXPECT_NE(write_archive(path, many).find("256 entries"), std::string::npos);
    std::string error = write_archive(path, {{std::string(256, 'n'), {}}});
    EXPECT_NE(error.find("longer than 255"), std::string::npos) << error;
    EXPECT_NE(write_archive(path, {{std::string("a\0b", 3), {}}}).find("NUL"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(write_archive(path, {{std::string(255, 'n'), {1}}}), "");
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
    EXPECT_EQ(find_entry_size("COLTAB.DAT"), 65536u);
    bool loaded = false;
    EXPECT_EQ(load("coltab.dat", &loaded).size(), 65536u);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(StartupError, 0) << StartupFailure;
    ArchivePath = saved;
}
