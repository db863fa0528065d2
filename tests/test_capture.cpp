// orvanti-capture: identical output from identical runs, the stop at order
// 46, frames chosen by music position, the sound file against the module's
// own render, start and end marks, progress output, and its option errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <libopenmpt/libopenmpt.h>
#include <sstream>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "platform/module_player.h"
#include "short_show.h"

namespace {

const std::string Capture = std::string(ORVANTI_BINARY_DIR) + "/orvanti-capture";

std::vector<std::string> files_in(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CaptureTest : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override { folder = make_short_show_folder(47, 4); }
    void TearDown() override
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
    int capture(const std::string &arguments, std::string *errors)
    {
        return run_command("cd '" + folder + "' && " + Capture + " --quiet " + arguments, errors);
    }
    // With files limited to 1 KiB, past which a write fails as on a full disk.
    int capture_limited(const std::string &arguments, std::string *errors)
    {
        return run_command("cd '" + folder + "' && trap '' XFSZ && ulimit -f 2 && " + Capture + " --quiet " + arguments,
                           errors);
    }
};

TEST_F(CaptureTest, TwoRunsGiveIdenticalFramesAndTraces)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    for (const char *run : {"a", "b"}) {
        std::string options = std::string("--depth 16 --every 15 --at 17:2 --out ") + run + " --trace " + run + ".csv";
        ASSERT_EQ(capture(options, &errors), 0) << errors;
    }
    std::vector<std::string> frames = files_in(folder + "/a");
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames, files_in(folder + "/b"));
    for (const std::string &name : frames) {
        std::vector<uint8_t> a = read_file_bytes(folder + "/a/" + name), b = read_file_bytes(folder + "/b/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << " differs between runs";
    }
    EXPECT_EQ(read_file_bytes(folder + "/a.csv"), read_file_bytes(folder + "/b.csv"));
}

TEST_F(CaptureTest, StopsBeforeTheFirstFrameAtOrderFortySix)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    ASSERT_EQ(capture("--fps 25 --trace t.csv", &errors), 0) << errors;
    std::vector<TraceLine> trace = read_trace(folder + "/t.csv");
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front().order, 0);
    EXPECT_EQ(trace.front().row, 0);
    EXPECT_EQ(trace.front().handler, "box_morph_handler");
    for (size_t i = 0; i < trace.size(); i++) {
        EXPECT_EQ(trace[i].frame, static_cast<long>(i));
        EXPECT_EQ(trace[i].milliseconds, static_cast<long>(i) * 40);
        EXPECT_LT(trace[i].order, 46);
    }
    // 46 orders of 4 rows of 2.5 / 255 s: order 46 starts at 1.804 s, so
    // frame 45 (1.800 s) is the last one drawn at 25 frames a second.
    EXPECT_EQ(trace.back().frame, 45);
    EXPECT_EQ(trace.back().order, 45);
}

TEST_F(CaptureTest, PositionChoosesTheFirstFrameThatReachesIt)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    ASSERT_EQ(capture("--depth 24 --at 20:3,9:1 --out at --trace t.csv", &errors), 0) << errors;
    std::vector<TraceLine> trace = read_trace(folder + "/t.csv");
    std::vector<std::string> expected;
    for (auto [order, row] : {std::pair{9, 1}, std::pair{20, 3}})
        for (const TraceLine &line : trace)
            if (line.order >= order && line.row >= row) {
                char name[32];
                snprintf(name, sizeof name, "frame_%06ld.png", line.frame);
                expected.push_back(name);
                break;
            }
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(files_in(folder + "/at"), expected);
}

uint32_t little_u32(const std::vector<uint8_t> &bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

constexpr size_t WavHeader = 44;
constexpr int Rate = 44100;

TEST(CaptureSound, WavHoldsTheModulesOwnSamplesBetweenTheMarksAndRepeats)
{
    std::string folder = make_temp_folder();
    std::string errors;
    for (const char *name : {"a.wav", "b.wav"})
        ASSERT_EQ(run_command("cd '" + folder + "' && " + Capture + " --quiet --data " ORVANTI_DATA_DIR
                              " --fps 60 --start 0.5 --end 1.5 --wav " + name, &errors), 0)
            << errors;
    std::vector<uint8_t> wav = read_file_bytes(folder + "/a.wav");
    EXPECT_TRUE(wav == read_file_bytes(folder + "/b.wav")) << "two runs gave different sound";
    ASSERT_EQ(wav.size(), WavHeader + Rate * 4) << "frames 30 to 89 at 60 a second are one second of sound";
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(little_u32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(little_u32(wav, 20), 1u | 2u << 16);  // PCM, two channels
    EXPECT_EQ(little_u32(wav, 24), static_cast<uint32_t>(Rate));
    EXPECT_EQ(little_u32(wav, 32), 4u | 16u << 16);  // four bytes a frame, 16 bits
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(little_u32(wav, 40), wav.size() - WavHeader);

    // The module rendered here in other block sizes: the WAV is its samples
    // from 0.5 s to 1.5 s, to the byte.
    ModulePlayer player = {};
    char reason[256];
    ASSERT_EQ(load_module_file(ORVANTI_DATA_DIR "/orvanti.xm", &player, reason, sizeof reason), 0) << reason;
    openmpt_module_ctl_set_integer(player.module, "dither", 0);
    std::vector<int16_t> render(static_cast<size_t>(Rate) * 3 / 2 * 2);
    constexpr size_t Block = 1000;
    for (size_t done = 0; done < render.size() / 2;)
        done += render_module(&player, Rate, render.data() + 2 * done, std::min(Block, render.size() / 2 - done));
    free_module(&player);
    size_t mismatches = 0, loud = 0;
    for (size_t i = 0; i < static_cast<size_t>(Rate) * 2; i++) {
        int16_t got = static_cast<int16_t>(wav[WavHeader + 2 * i] | wav[WavHeader + 2 * i + 1] << 8);
        int16_t wanted = render[static_cast<size_t>(Rate) + i];
        mismatches += got != wanted;
        loud += std::abs(wanted) > 1000;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(loud, 1000u) << "the compared second is nearly silent";
    std::filesystem::remove_all(folder);
}

// A module that ends before order 46 (20 orders of 4 rows of 2.5 / 255 s,
// 0.784 s): the show runs to the music's end, which is reported, and the
// sound is padded with silence to the last frame's time.
TEST(CaptureSound, MusicEndingEarlyIsToldAndItsSoundLastsAsLongAsTheFrames)
{
    std::string folder = make_short_show_folder(20, 4);
    ASSERT_FALSE(folder.empty());
    std::string errors;
    ASSERT_EQ(run_command("cd '" + folder + "' && " + Capture + " --quiet --fps 25 --trace t.csv --wav s.wav", &errors),
              0)
        << errors;
    EXPECT_NE(errors.find("the music ended at 19:3, before order 46"), std::string::npos) << errors;
    std::vector<TraceLine> trace = read_trace(folder + "/t.csv");
    ASSERT_EQ(trace.size(), 20u) << "frames up to 0.784 s at 25 a second";
    EXPECT_EQ(trace.back().order, 19);
    EXPECT_EQ(read_file_bytes(folder + "/s.wav").size(), WavHeader + trace.size() * (Rate / 25) * 4);
    std::filesystem::remove_all(folder);
}

// The first frame of `trace` at or past order:row, order first then row.
long first_frame_past(const std::vector<TraceLine> &trace, int order, int row)
{
    for (const TraceLine &line : trace)
        if (line.order > order || (line.order == order && line.row >= row))
            return line.frame;
    return -1;
}

TEST_F(CaptureTest, PositionMarksCountOrderThenRowAndBoundTheSound)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    ASSERT_EQ(capture("--trace full.csv", &errors), 0) << errors;
    std::vector<TraceLine> full = read_trace(folder + "/full.csv");
    // Frames step about two rows, so row 3 of an order is often skipped;
    // the marks must then fall on the next order's first frame, not wait
    // for a row 3 in a later order as the show's own rows do.
    long start = first_frame_past(full, 5, 3), end = first_frame_past(full, 9, 3);
    ASSERT_GT(start, 0);
    ASSERT_GT(end, start);
    bool row_skipped = false;
    for (long frame : {start, end})
        row_skipped = row_skipped || full[static_cast<size_t>(frame)].row != 3;
    ASSERT_TRUE(row_skipped) << "neither mark lands on a skipped row; pick others";

    ASSERT_EQ(capture("--start 5:3 --end 9:3 --wav s.wav --trace t.csv", &errors), 0) << errors;
    std::vector<TraceLine> trace = read_trace(folder + "/t.csv");
    EXPECT_EQ(static_cast<long>(trace.size()), end) << "the end mark's frame is not drawn";
    size_t samples = static_cast<size_t>(end * Rate / 50 - start * Rate / 50);
    EXPECT_EQ(read_file_bytes(folder + "/s.wav").size(), WavHeader + samples * 4);

    // A start the show never reaches is refused before the show plays; one
    // reached too late to record anything is told after it.
    ASSERT_EQ(capture("--start 50:0 --wav never.wav", &errors), 2);
    EXPECT_NE(errors.find("--start 50:0 is never reached"), std::string::npos) << errors;
    ASSERT_EQ(capture("--start 45:9 --wav never.wav", &errors), 7);
    EXPECT_NE(errors.find("the show ended before the --start mark"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(folder + "/never.wav"));
}

TEST_F(CaptureTest, ProgressIsOneSummaryLineOffATerminalAndABarOnOne)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    ASSERT_EQ(run_command("cd '" + folder + "' && " + Capture + " --end 1", &errors), 0) << errors;
    EXPECT_EQ(errors.find('\r'), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("50 frames (0:01.00 of show)"), std::string::npos) << errors;
    EXPECT_NE(errors.find("real time"), std::string::npos) << errors;

    if (run_command("command -v script >/dev/null", nullptr) != 0)
        GTEST_SKIP() << "no `script` to give the capture a terminal";
    std::string command = "cd '" + folder + "' && script -qec '" + Capture + " --end 1' /dev/null";
    std::string shown;
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        shown.append(chunk, got);
    EXPECT_EQ(pclose(pipe), 0) << shown;
    EXPECT_NE(shown.find("\r["), std::string::npos) << shown;
    EXPECT_NE(shown.find("/50 frames"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" left"), std::string::npos) << shown;
    EXPECT_NE(shown.find("50 frames (0:01.00 of show)"), std::string::npos) << shown;
}

TEST_F(CaptureTest, BadOptionsAndMissingDataAreReported)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    EXPECT_EQ(capture("--depth 8", &errors), 2);
    EXPECT_NE(errors.find("--depth: 8"), std::string::npos) << errors;
    EXPECT_EQ(capture("--frames 9-3", &errors), 2);
    EXPECT_EQ(capture("--at 17", &errors), 2);
    EXPECT_EQ(capture("--video show.avi", &errors), 2);
    EXPECT_NE(errors.find(".mp4 or .mkv"), std::string::npos) << errors;
    EXPECT_EQ(capture("--scale 0", &errors), 2);
    EXPECT_EQ(capture("--end 4:x", &errors), 2);
    EXPECT_EQ(capture("--end 1.2345", &errors), 2);
    EXPECT_EQ(capture("--start 3 --end 2.5", &errors), 2);
    EXPECT_EQ(capture("--start 9:0 --end 8:63", &errors), 2);
    EXPECT_NE(errors.find("--start must come before --end"), std::string::npos) << errors;
    EXPECT_NE(capture("--data no-such-folder", &errors), 0);
    EXPECT_NE(errors.find("no-such-folder/orvanti.dat"), std::string::npos) << errors;
    // The wrong word is the one named.
    for (const auto &[arguments, said] : std::vector<std::pair<std::string, std::string>>{
             {"--fps 50 --bogus", "--bogus: unknown option"},
             {"--out ''", "--out: an empty name"},
             {"--end 1 --end 2", "--end: given twice"},
             {"--png --every 3", "--png and --every: give one of them"},
             {"--layout wide", "--layout: wide: must be window or screen"},
             {"--at 10:4", "--at 10:4 is never reached: the show plays orders 0 to 45, and no pattern"},
             {"--at 46:0,1:0", "--at 46:0 is never reached"},
             {"--start 99:0 --wav x.wav", "--start 99:0 is never reached"}}) {
        EXPECT_EQ(capture(arguments, &errors), 2) << arguments;
        EXPECT_EQ(errors.rfind("orvanti-capture: " + said, 0), 0u) << errors;
    }
    EXPECT_EQ(files_in(folder), (std::vector<std::string>{"orvanti.dat", "orvanti.xm"}));
}

// Outputs never destroy an input or an old file: each is written under a
// hidden name and renamed only when complete.
TEST_F(CaptureTest, OutputsNeverReplaceTheInputsOrAnOldFileOnFailure)
{
    ASSERT_FALSE(folder.empty());
    const std::vector<uint8_t> archive = read_file_bytes(folder + "/orvanti.dat");
    const std::vector<uint8_t> module = read_file_bytes(folder + "/orvanti.xm");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    write_file_bytes(folder + "/keep.wav", old);
    write_file_bytes(folder + "/keep.csv", old);
    std::filesystem::create_hard_link(folder + "/orvanti.xm", folder + "/linked.xm");
    std::string errors;
    EXPECT_EQ(capture("--trace orvanti.dat", &errors), 2);
    EXPECT_NE(errors.find("--trace orvanti.dat: is the show's archive"), std::string::npos) << errors;
    EXPECT_EQ(capture("--wav linked.xm", &errors), 2);
    EXPECT_NE(errors.find("--wav linked.xm: is the show's module"), std::string::npos) << errors;
    EXPECT_EQ(capture("--trace same --wav ./same", &errors), 2);
    EXPECT_NE(errors.find("--trace and --wav both name"), std::string::npos) << errors;

    // A start past the end records nothing: the old sound file stays.
    EXPECT_EQ(capture("--wav keep.wav --start 600", &errors), 7);
    EXPECT_NE(errors.find("nothing recorded"), std::string::npos) << errors;
    const size_t show_frames = std::stoul(errors.substr(errors.rfind("orvanti-capture: ") + 17));
    // A trace that cannot grow (the file size limit stands for a full disk)
    // is told with the reason as it happens, and the run stops there.
    int status = capture_limited("--trace keep.csv", &errors);
    EXPECT_EQ(status, 2) << errors;
    EXPECT_NE(errors.find("orvanti-capture: keep.csv: File too large\n"), std::string::npos) << errors;
    size_t frames = std::stoul(errors.substr(errors.rfind("orvanti-capture: ") + 17));
    EXPECT_LT(frames, show_frames / 2) << "the run went on after the failure: " << errors;

    // Frames never reached are warned for; a run that saved none fails and
    // leaves no empty folder.
    EXPECT_EQ(capture("--frames 100000-100002 --at 1:0", &errors), 0) << errors;
    EXPECT_NE(errors.find("warning: --frames 100000-100002: none of them drawn (the show ended at 46:"),
              std::string::npos)
        << errors;
    EXPECT_EQ(capture("--frames 100000-100002 --out never", &errors), 7) << errors;
    EXPECT_NE(errors.find("no frame saved"), std::string::npos) << errors;
    std::filesystem::remove_all(folder + "/capture");

    EXPECT_EQ(read_file_bytes(folder + "/orvanti.dat"), archive);
    EXPECT_EQ(read_file_bytes(folder + "/orvanti.xm"), module);
    EXPECT_EQ(read_file_bytes(folder + "/keep.wav"), old);
    EXPECT_EQ(read_file_bytes(folder + "/keep.csv"), old);
    EXPECT_EQ(files_in(folder), (std::vector<std::string>{"keep.csv", "keep.wav", "linked.xm", "orvanti.dat", "orvanti.xm"}));

    // A FIFO in the archive's place is refused, not waited on.
    std::filesystem::remove(folder + "/orvanti.dat");
    ASSERT_EQ(mkfifo((folder + "/orvanti.dat").c_str(), 0600), 0);
    EXPECT_EQ(capture("", &errors), 3);
    EXPECT_NE(errors.find("orvanti.dat: a FIFO, not a regular file"), std::string::npos) << errors;
}

}  // namespace
