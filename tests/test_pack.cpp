// orvanti-pack: create, list and extract round trip, its error messages, and
// the refusal to write outside the target folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "archive_fixture.h"
#include "short_show.h"
#include "archive_writer.h"
#include "data/archive.h"
#include "data/startup_error.h"
#include "platform/module_player.h"

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
        EXPECT_NE(result.output.find("usage: orvanti-pack"), std::string::npos) << result.output;
    }
    // The wrong word is named, wherever it stands.
    for (const auto &[arguments, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"list", "x.dat", "-v"}, "-v: unknown option for list"},
             {{"extract", "--force", "a", "b", "--force"}, "--force: given twice"},
             {{"unpack", "x.dat", "dir"}, "unpack: unknown command"},
             {{"create", "", "dir"}, "create: an empty name"}}) {
        RunResult result = run_pack(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.output.rfind("orvanti-pack: " + said + "\n", 0), 0u) << result.output;
    }
    // extract says why its folder cannot be made.
    put_file(folder / "file", {1});
    std::string archive = (folder / "a.dat").string();
    ASSERT_EQ(write_archive(archive, {{"a", {1}}}), "");
    RunResult blocked = run_pack({"extract", archive, (folder / "file" / "sub").string()});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.output.find("sub: cannot create the folder: Not a directory"), std::string::npos)
        << blocked.output;
}

namespace {

// Every name below `root` (hidden work files included), links not followed.
std::vector<std::string> names_below(const fs::path &root)
{
    std::vector<std::string> names;
    for (const auto &item : fs::recursive_directory_iterator(root))
        names.push_back(item.path().lexically_relative(root).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

bool have_setpriv()
{
    return geteuid() == 0 && system("command -v setpriv >/dev/null 2>&1") == 0;
}

}  // namespace

TEST_F(PackTest, CreateNamesWhatItCannotPackFailsAndKeepsTheOldArchive)
{
    fs::path in = folder / "in";
    for (const char *name : {"A1", "M1", "Z1", "SUB/S1"})
        put_file(in / name, {'x'});
    put_file(folder / "outside.txt", {'o'});
    fs::create_symlink(folder / "outside.txt", in / "LINKED");
    fs::create_symlink("LOOP", in / "LOOP");
    ASSERT_EQ(mkfifo((in / "PIPE").c_str(), 0600), 0);
    put_file(in / "ESC\x1b[2J", {'e'});
    std::string archive = (folder / "old.dat").string();
    ASSERT_EQ(write_archive(archive, {{"OLD", {7, 7}}}), "");
    std::vector<uint8_t> old = read_file_bytes(archive);

    RunResult refused = run_pack({"create", archive, in.string()});
    EXPECT_EQ(refused.status, 1) << refused.output;
    for (const char *named : {"/LINKED: a symbolic link, never followed", "/LOOP: a symbolic link, never followed",
                              "/PIPE: a FIFO, only regular files are packed",
                              "/ESC\\x1B[2J: a control byte in its name", "old.dat: not written: 4 file(s)"})
        EXPECT_NE(refused.output.find(named), std::string::npos) << named << "\n" << refused.output;
    EXPECT_EQ(read_file_bytes(archive), old);

    RunResult skipped = run_pack({"create", "--skip-unpackable", archive, in.string()});
    EXPECT_EQ(skipped.status, 0) << skipped.output;
    EXPECT_NE(skipped.output.find("/PIPE: a FIFO, only regular files are packed; left out"), std::string::npos);
    EXPECT_EQ(run_pack({"list", archive}).output, "0\tA1\t0\t1\n1\tM1\t1\t1\n2\tSUB\\S1\t2\t1\n3\tZ1\t3\t1\n");

    // Too large an entry is refused from its size alone, before any reading:
    // a sparse file of 5 GiB takes no disk and would take minutes to read.
    fs::path big = folder / "big";
    put_file(big / "HUGE", {});
    fs::resize_file(big / "HUGE", UINT64_C(5) << 30);
    RunResult huge = run_pack({"create", archive, big.string()});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.output.find("/HUGE: 5368709120 bytes; an entry holds at most 4294967295"), std::string::npos)
        << huge.output;
    fs::resize_file(big / "HUGE", UINT64_C(3) << 30);
    put_file(big / "TOO", {});
    fs::resize_file(big / "TOO", UINT64_C(2) << 30);
    huge = run_pack({"create", archive, big.string()});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.output.find("make 5368709120 bytes; an archive's entries hold at most"), std::string::npos)
        << huge.output;
    EXPECT_EQ(read_file_bytes(archive).size(), 4 + 4 * ArchiveRecordSize + 1u);
    EXPECT_EQ(names_below(folder).size(), names_below(in).size() + 6);  // in, old.dat, outside.txt, big, its two

    // A folder the user cannot read is named too, not the end of the walk.
    if (!have_setpriv())
        GTEST_SKIP() << "reading as an unprivileged user needs root and setpriv";
    fs::remove(in / "PIPE");
    fs::remove(in / "LINKED");
    fs::remove(in / "LOOP");
    fs::remove(in / "ESC\x1b[2J");
    fs::permissions(folder, fs::perms::all);
    fs::permissions(in / "SUB", fs::perms::none);
    std::string output;
    int status = run_command("setpriv --reuid=nobody --regid=nogroup --clear-groups " ORVANTI_BINARY_DIR
                             "/orvanti-pack create " + (folder / "mine.dat").string() + " " + in.string(),
                             &output);
    fs::permissions(in / "SUB", fs::perms::owner_all);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("/SUB: cannot read the folder: Permission denied"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(folder / "mine.dat"));
}

TEST_F(PackTest, ExtractNeverWritesIntoAnExistingFileAndReplacesOnlyWithForce)
{
    std::string archive = (folder / "a.dat").string();
    ASSERT_EQ(write_archive(archive, {{"HL.TXT", {'n', 'e', 'w'}}, {"SL.TXT", {'s'}}, {"FRESH", {'f'}}}), "");
    fs::path target = folder / "target";
    put_file(folder / "outside", {'o', 'l', 'd'});
    put_file(folder / "pointed", {'p'});
    fs::create_directories(target);
    fs::create_hard_link(folder / "outside", target / "HL.TXT");
    fs::create_symlink(folder / "pointed", target / "SL.TXT");

    RunResult kept = run_pack({"extract", archive, target.string()});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.output.find("target/HL.TXT exists (--force replaces it)"), std::string::npos) << kept.output;
    EXPECT_NE(kept.output.find("target/SL.TXT exists (--force replaces it)"), std::string::npos) << kept.output;
    EXPECT_NE(kept.output.find("extracted 1 of 3"), std::string::npos) << kept.output;
    EXPECT_EQ(read_file_bytes((folder / "outside").string()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(fs::is_symlink(target / "SL.TXT"));

    RunResult forced = run_pack({"extract", "--force", archive, target.string()});
    EXPECT_EQ(forced.status, 0) << forced.output;
    // The names now hold the entries; the files they were linked to are untouched.
    EXPECT_EQ(read_file_bytes((target / "HL.TXT").string()), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(read_file_bytes((folder / "outside").string()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(fs::is_symlink(target / "SL.TXT"));
    EXPECT_EQ(read_file_bytes((folder / "pointed").string()), std::vector<uint8_t>{'p'});
    EXPECT_EQ(fs::hard_link_count(folder / "outside"), 1u);
    EXPECT_EQ(names_below(target), (std::vector<std::string>{"FRESH", "HL.TXT", "SL.TXT"}));
}

TEST_F(PackTest, ControlBytesArePrintedEscapedAndNeverExtracted)
{
    std::string archive = (folder / "a.dat").string();
    ASSERT_EQ(write_archive(archive, {{"RED\x1b[31m\nFAKE\t0\t9", {1}}, {"OK", {2}}}), "");
    RunResult listed = run_pack({"list", archive});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output, "0\tRED\\x1B[31M\\x0AFAKE\\x090\\x099\t0\t1\n1\tOK\t1\t1\n");
    RunResult extracted = run_pack({"extract", archive, (folder / "out").string()});
    EXPECT_EQ(extracted.status, 1);
    EXPECT_NE(extracted.output.find("\"RED\\x1B[31M\\x0AFAKE\\x090\\x099\" refused: a control byte"),
              std::string::npos)
        << extracted.output;
    EXPECT_EQ(extracted.output.find('\x1b'), std::string::npos);
    EXPECT_EQ(names_below(folder / "out"), std::vector<std::string>{"OK"});
}

TEST_F(PackTest, FifoAsTheArchiveOrModuleIsRefusedWithoutWaiting)
{
    std::string fifo = (folder / "pipe.dat").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string> &arguments : {std::vector<std::string>{"list", fifo},
                                                      {"extract", fifo, (folder / "out").string()},
                                                      {"create", fifo, folder.string()}}) {
        RunResult result = run_pack(arguments);
        EXPECT_EQ(result.status, 1) << arguments[0];
        EXPECT_NE(result.output.find("pipe.dat: a FIFO"), std::string::npos) << result.output;
    }
    // The show's own loader: a failure to report, not an open() waiting forever.
    const char *saved = ArchivePath;
    ArchivePath = fifo.c_str();
    reset_startup_error();
    read_archive_directory();
    EXPECT_TRUE(StartupError);
    EXPECT_NE(std::string(StartupFailure).find("a FIFO, not a regular file"), std::string::npos) << StartupFailure;
    EXPECT_EQ(Directory.count, 0);
    ArchivePath = saved;
    reset_startup_error();
    // And the module's loader, shared by the show and the capture.
    ModulePlayer player = {};
    char reason[256] = "";
    EXPECT_NE(load_module_file(fifo.c_str(), &player, reason, sizeof reason), 0);
    EXPECT_NE(std::string(reason).find("a FIFO, not a regular file"), std::string::npos) << reason;
}

// The generator puts both files in place together or neither: a failed
// write (the file size limit stands for a full disk) keeps the old pair.
TEST_F(PackTest, GeneratorKeepsTheOldPairWhenAWriteFailsAndNamesWrongWords)
{
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    put_file(folder / "orvanti.dat", old);
    put_file(folder / "orvanti.xm", old);
    const std::string assets = ORVANTI_BINARY_DIR "/orvanti-assets";
    std::string output;
    EXPECT_EQ(run_command("trap '' XFSZ && ulimit -f 4000 && " + assets + " " + folder.string(), &output), 1);
    EXPECT_NE(output.find("orvanti.dat: not written: "), std::string::npos) << output;
    EXPECT_NE(output.find(": File too large\n"), std::string::npos) << output;
    EXPECT_EQ(read_file_bytes((folder / "orvanti.dat").string()), old);
    EXPECT_EQ(read_file_bytes((folder / "orvanti.xm").string()), old);
    EXPECT_EQ(names_below(folder), (std::vector<std::string>{"orvanti.dat", "orvanti.xm"}));

    for (const auto &[arguments, said] : std::vector<std::pair<std::string, std::string>>{
             {"--bogus", "--bogus: unknown option"},
             {"--wav a.wav --wav b.wav", "--wav: given twice"},
             {"out --icon", "--icon: needs a file name"},
             {"one two", "two: a second OUTDIR (one was given first)"}}) {
        EXPECT_EQ(run_command("cd " + folder.string() + " && " + assets + " " + arguments, &output), 2);
        EXPECT_EQ(output.rfind("orvanti-assets: " + said + "\n", 0), 0u) << output;
    }
    EXPECT_EQ(names_below(folder), (std::vector<std::string>{"orvanti.dat", "orvanti.xm"}));
}
