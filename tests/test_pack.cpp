// orvanti-pack: create, list and extract round trip, its error messages, and
// the refusal to write outside the target folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "archive_fixture.h"
#include "archive_writer.h"
#include "data/archive.h"
#include "data/startup_error.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status;
    std::string output;  // stdout and stderr together
};

std::string quoted(const std::string &text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

RunResult run_pack(const std::vector<std::string> &arguments)
{
    std::string command = quoted(ORVANTI_BINARY_DIR "/orvanti-pack");
    for (const std::string &argument : arguments)
        command += " " + quoted(argument);
    command += " 2>&1";
    RunResult result{-1, ""};
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.output.append(chunk, got);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

void put_file(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    fs::create_directories(path.parent_path());
    write_file_bytes(path.string(), bytes);
}

// Every regular file below `root`, by relative path.
std::map<std::string, std::vector<uint8_t>> tree_of(const fs::path &root)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto &item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file())
            files[item.path().lexically_relative(root).generic_string()] = read_file_bytes(item.path().string());
    return files;
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override { folder = make_temp_folder(); }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

}  // namespace

TEST_F(PackTest, CreateListExtractRoundTrip)
{
    std::vector<uint8_t> binary(70000);
    for (size_t i = 0; i < binary.size(); i++)
        binary[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    put_file(folder / "in" / "coltab.dat", binary);
    put_file(folder / "in" / "ball" / "ball.3d", {1, 2, 3});
    put_file(folder / "in" / "ball" / "Empty.tga", {});
    put_file(folder / "in" / "Zed" / "deep" / "x", {0, 0xFF, 0x0B});

    std::string archive = (folder / "out.dat").string();
    RunResult created = run_pack({"create", archive, (folder / "in").string()});
    ASSERT_EQ(created.status, 0) << created.output;

    RunResult listed = run_pack({"list", archive});
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_EQ(listed.output,
              "0\tBALL\\BALL.3D\t0\t3\n"
              "1\tBALL\\EMPTY.TGA\t3\t0\n"
              "2\tCOLTAB.DAT\t3\t70000\n"
              "3\tZED\\DEEP\\X\t70003\t3\n");

    // The show's reader finds the entries the tool stored.
    const char *saved = ArchivePath;
    ArchivePath = archive.c_str();
    reset_startup_error();
    read_archive_directory();
    uint8_t *table = nullptr;
    load_entry("coltab.dat", &table);
    ASSERT_NE(table, nullptr) << StartupFailure;
    EXPECT_EQ(std::vector<uint8_t>(table, table + binary.size()), binary);
    free(table);
    ArchivePath = saved;
    reset_startup_error();

    RunResult extracted = run_pack({"extract", archive, (folder / "back").string()});
    ASSERT_EQ(extracted.status, 0) << extracted.output;
    std::map<std::string, std::vector<uint8_t>> expected = {
        {"COLTAB.DAT", binary}, {"BALL/BALL.3D", {1, 2, 3}}, {"BALL/EMPTY.TGA", {}}, {"ZED/DEEP/X", {0, 0xFF, 0x0B}}};
    EXPECT_EQ(tree_of(folder / "back"), expected);

    // Packing the extracted tree again gives the same archive, byte for byte.
    std::string again = (folder / "again.dat").string();
    ASSERT_EQ(run_pack({"create", again, (folder / "back").string()}).status, 0);
    EXPECT_EQ(read_file_bytes(again), read_file_bytes(archive));
}

TEST_F(PackTest, CreateSkipsTheArchiveItself)
{
    put_file(folder / "a.txt", {'a'});
    std::string archive = (folder / "self.dat").string();
    ASSERT_EQ(run_pack({"create", archive, folder.string()}).status, 0);
    ASSERT_EQ(run_pack({"create", archive, folder.string()}).status, 0);
    EXPECT_EQ(run_pack({"list", archive}).output, "0\tA.TXT\t0\t1\n");
}

TEST_F(PackTest, CreateRefusesWhatAnArchiveCannotHold)
{
    for (int i = 0; i < 256; i++)
        put_file(folder / "many" / ("f" + std::to_string(i)), {1});
    std::string archive = (folder / "out.dat").string();
    RunResult many = run_pack({"create", archive, (folder / "many").string()});
    EXPECT_EQ(many.status, 1);
    EXPECT_NE(many.output.find("256 files, an archive holds at most 255"), std::string::npos) << many.output;
    EXPECT_EQ(std::count(many.output.begin(), many.output.end(), '\n'), 1) << many.output;
    EXPECT_FALSE(fs::exists(archive));

    fs::path deep = folder / "long";
    for (int i = 0; i < 6; i++)
        deep /= std::string(45, 'd');
    put_file(deep / "file", {1});
    RunResult long_name = run_pack({"create", archive, (folder / "long").string()});
    EXPECT_EQ(long_name.status, 1);
    EXPECT_NE(long_name.output.find("/file: entry name longer than 255 bytes"), std::string::npos)
        << long_name.output;
    EXPECT_FALSE(fs::exists(archive));

    put_file(folder / "case" / "a.txt", {1});
    put_file(folder / "case" / "A.TXT", {2});
    RunResult clash = run_pack({"create", archive, (folder / "case").string()});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.output.find("would both be entry A.TXT"), std::string::npos) << clash.output;

    RunResult missing = run_pack({"create", archive, (folder / "nowhere").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("nowhere: not a directory"), std::string::npos) << missing.output;
}

TEST_F(PackTest, DamagedArchivesAreReportedNotRead)
{
    std::string missing = (folder / "missing.dat").string();
    RunResult absent = run_pack({"list", missing});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.output, "orvanti-pack: " + missing + ": cannot open: No such file or directory\n");

    std::vector<uint8_t> bytes = archive_bytes({{"one", {1, 2, 3}}});
    bytes.back() = 0x0B ^ 9;  // nine records promised, one present
    std::string damaged = (folder / "damaged.dat").string();
    write_file_bytes(damaged, bytes);
    for (const char *command : {"list", "extract"}) {
        std::vector<std::string> arguments = {command, damaged};
        if (std::string(command) == "extract")
            arguments.push_back((folder / "out").string());
        RunResult result = run_pack(arguments);
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_NE(result.output.find(damaged + ": damaged: a directory of 9 entries"), std::string::npos)
            << result.output;
    }
    EXPECT_FALSE(fs::exists(folder / "out"));
}

TEST_F(PackTest, CutOrPaddedArchivesAreDamaged)
{
    std::vector<uint8_t> data(90);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(0x40 + i * 7);
    data[40] = ArchiveNameMask;  // a cut just after it reads as a directory of no entries
    std::vector<uint8_t> whole = archive_bytes({{"first.bin", data}, {"second.bin", {7, 7}}});
    std::string path = (folder / "cut.dat").string();

    write_file_bytes(path, std::vector<uint8_t>(whole.begin(), whole.begin() + 41));
    RunResult empty = run_pack({"list", path});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.output, "orvanti-pack: " + path +
                                ": damaged: its 0 entries end at byte 0 but the directory begins at byte 40"
                                " (file of 41 bytes)\n");
    RunResult extracted = run_pack({"extract", path, (folder / "out").string()});
    EXPECT_EQ(extracted.status, 1);
    EXPECT_EQ(extracted.output, empty.output);
    EXPECT_FALSE(fs::exists(folder / "out"));

    // Bytes between the entries and the directory, and every cut of the file:
    // one printable line naming the file, never a listing.
    std::vector<uint8_t> padded = whole;
    padded.insert(padded.begin() + 92, {0, 0, 0});
    std::vector<std::vector<uint8_t>> damaged = {padded};
    for (size_t length = 1; length < whole.size(); length += 3)
        damaged.emplace_back(whole.begin(), whole.begin() + static_cast<long>(length));
    for (const std::vector<uint8_t> &bytes : damaged) {
        write_file_bytes(path, bytes);
        RunResult result = run_pack({"list", path});
        EXPECT_EQ(result.status, 1) << bytes.size() << " bytes: " << result.output;
        EXPECT_EQ(result.output.rfind("orvanti-pack: " + path + ": damaged: ", 0), 0u) << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
        EXPECT_TRUE(std::all_of(result.output.begin(), result.output.end() - 1,
                                [](char c) { return c >= ' ' && c <= '~'; }))
            << result.output;
    }
    write_file_bytes(path, padded);
    EXPECT_NE(run_pack({"list", path}).output.find("entries end at byte 92 but the directory begins at byte 95"),
              std::string::npos);
}

TEST_F(PackTest, ExtractRefusesNamesThatLeaveTheFolder)
{
    fs::create_directories(folder / "outside");
    fs::create_directories(folder / "target");
    fs::create_symlink(folder / "outside", folder / "target" / "LINK");
    std::string archive = (folder / "evil.dat").string();
    std::vector<ArchiveFile> files = {
        {"..\\escape.txt", {1}},        {"\\rooted.txt", {2}},      {"/rooted2.txt", {3}},
        {"c:\\drive.txt", {4}},         {"ok\\..\\..\\up.txt", {5}}, {"fwd/../../up2.txt", {6}},
        {"link\\through.txt", {7}},     {"good\\kept.txt", {8}},    {"..", {9}},
    };
    ASSERT_EQ(write_archive(archive, files), "");

    RunResult result = run_pack({"extract", archive, (folder / "target").string()});
    EXPECT_EQ(result.status, 1) << result.output;
    for (const char *name : {"..\\ESCAPE.TXT", "\\ROOTED.TXT", "/ROOTED2.TXT", "C:\\DRIVE.TXT", "OK\\..\\..\\UP.TXT",
                             "FWD/../../UP2.TXT", "LINK\\THROUGH.TXT"})
        EXPECT_NE(result.output.find(std::string("\"") + name + "\""), std::string::npos) << name << result.output;

    // Only the harmless entry was written, and nothing landed outside the target.
    std::map<std::string, std::vector<uint8_t>> expected = {{"GOOD/KEPT.TXT", {8}}};
    EXPECT_EQ(tree_of(folder / "target"), expected);
    EXPECT_TRUE(fs::is_empty(folder / "outside"));
    std::map<std::string, std::vector<uint8_t>> everything = tree_of(folder);
    EXPECT_EQ(everything.size(), 2u);  // the archive and GOOD/KEPT.TXT
}

TEST_F(PackTest, ExtractKeepsTheFirstOfRepeatedNames)
{
    std::string archive = (folder / "twice.dat").string();
    ASSERT_EQ(write_archive(archive, {{"same.bin", {1}}, {"SAME.BIN", {2, 2}}}), "");
    RunResult result = run_pack({"extract", archive, (folder / "out").string()});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(read_file_bytes((folder / "out" / "SAME.BIN").string()), std::vector<uint8_t>{1});
}

TEST_F(PackTest, BadArgumentsGiveUsage)
{
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{}, {"list"}, {"create", "x.dat"}, {"unpack", "x.dat", "dir"}, {"list", "a", "b"}}) {
        RunResult result = run_pack(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.output.rfind("usage: orvanti-pack", 0), 0u) << result.output;
    }
}
