// Music: position packing, a module rendered offline and through the audio
// device advancing in order across a pattern break, freeing twice, and the
// error for a missing or damaged module.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "archive_fixture.h"
#include "platform/heard_clock.h"
#include "platform/memory_display.h"
#include "platform/module_player.h"
#include "platform/platform.h"
#include "shell/exit_status.h"
#include "shell/music.h"
#include "short_show.h"

namespace {

struct Position {
    int order, row;
};

bool comes_after(Position a, Position b)
{
    return b.order > a.order || (b.order == a.order && b.row >= a.row);
}

TEST(MusicPosition, LowBitsOrderHighBitsRow)
{
    EXPECT_EQ(position_order(0x0005000Cu), 12);
    EXPECT_EQ(position_row(0x0005000Cu), 5);
    EXPECT_EQ(pack_position(12, 5), 0x0005000Cu);
    EXPECT_EQ(position_order(0xFFFF0000u), 0);
    EXPECT_EQ(position_row(0xFFFF0000u), 65535);
    EXPECT_EQ(position_row(pack_position(46, 63)), 63);
}

// One tick per frame, so frames and ticks read alike; the device holds 100
// frames when it asks for more.
TEST(HeardClock, CountsOnFromTheLatestPacedRequestAndFindsTheRowHeard)
{
    HeardClock clock;
    reset_heard_clock(&clock, pack_position(0, 0), 1000, 100, 1000);
    EXPECT_EQ(heard_frame(clock, 5000), 0) << "nothing asked for, nothing heard";
    auto serve = [&](uint64_t ticks, int64_t frames) {
        note_request(&clock, ticks);
        note_rendered(&clock, frames, false);
    };
    serve(10, 100);
    serve(110, 100);
    EXPECT_EQ(heard_frame(clock, 110), 0);
    EXPECT_EQ(heard_frame(clock, 150), 40);
    // A burst: the second request came early, into a staging buffer, and
    // must not pull the heard frame ahead of the device's pace.
    serve(210, 100);
    serve(211, 100);
    EXPECT_EQ(heard_frame(clock, 260), 150);
    // A device that stops asking has played no further than it was given.
    EXPECT_EQ(heard_frame(clock, 100000), clock.rendered - 100);

    note_row_start(&clock, 120, pack_position(0, 1));
    note_row_start(&clock, 240, pack_position(0, 2));
    EXPECT_EQ(position_at(clock, 119), pack_position(0, 0));
    EXPECT_EQ(position_at(clock, 120), pack_position(0, 1));
    EXPECT_EQ(position_at(clock, 100000), pack_position(0, 2));
    // Past the kept rows, the oldest kept one answers.
    for (int row = 3; row < RowStartSlots + 10; row++)
        note_row_start(&clock, 100 * row, pack_position(1, row));
    EXPECT_EQ(position_at(clock, 0), pack_position(1, 10));

    EXPECT_FALSE(end_heard(clock, 100000)) << "still playing";
    note_rendered(&clock, 50, true);
    note_rendered(&clock, 100, true);  // the silence after: the end stays put
    EXPECT_FALSE(end_heard(clock, 449));
    EXPECT_TRUE(end_heard(clock, 450));
}

class ModuleFile : public ::testing::Test {
protected:
    std::string folder = make_temp_folder();
    std::string write(const std::vector<uint8_t> &bytes)
    {
        std::string path = folder + "/orvanti.xm";
        write_file_bytes(path, bytes);
        return path;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_F(ModuleFile, RendersOnceThroughInOrderAcrossAPatternBreak)
{
    // Order 0 breaks at row 3 to row 2 of order 1.
    std::string path = write(short_module_bytes(3, 8, 3, 2));
    ModulePlayer player = {};
    char error[256] = "";
    ASSERT_EQ(load_module_file(path.c_str(), &player, error, sizeof error), 0) << error;
    std::vector<Position> seen;
    std::vector<int16_t> buffer(2 * 64);
    size_t total = 0;
    for (;;) {
        uint32_t position = module_position(&player);
        seen.push_back({position_order(position), position_row(position)});
        size_t got = render_module(&player, MusicRate, buffer.data(), 64);
        total += got;
        if (got == 0)
            break;
        ASSERT_LT(total, static_cast<size_t>(MusicRate) * 10) << "the module never ended";
    }
    free_module(&player);
    free_module(&player);  // harmless when repeated

    std::vector<Position> distinct;
    for (Position p : seen)
        if (distinct.empty() || distinct.back().order != p.order || distinct.back().row != p.row)
            distinct.push_back(p);
    std::vector<Position> expected;
    for (int row = 0; row <= 3; row++)
        expected.push_back({0, row});
    for (int row = 2; row < 8; row++)
        expected.push_back({1, row});
    for (int row = 0; row < 8; row++)
        expected.push_back({2, row});
    ASSERT_EQ(distinct.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(distinct[i].order, expected[i].order) << "step " << i;
        EXPECT_EQ(distinct[i].row, expected[i].row) << "step " << i;
    }
    // Rows 0-3 of order 0, 2-7 of order 1, 0-7 of order 2: 18 rows of
    // 2.5 / 255 s at 44,100 Hz, and no tail after the end.
    double rows = static_cast<double>(total) / (MusicRate * 2.5 / 255.0);
    EXPECT_NEAR(rows, 18.0, 0.5);
}

TEST_F(ModuleFile, LoadErrorsNameTheReason)
{
    ModulePlayer player = {};
    char error[256] = "";
    EXPECT_NE(load_module_file((folder + "/missing.xm").c_str(), &player, error, sizeof error), 0);
    EXPECT_NE(std::string(error).find("No such file"), std::string::npos) << error;
    std::string path = write(std::vector<uint8_t>(300, 0x5A));
    error[0] = '\0';
    EXPECT_NE(load_module_file(path.c_str(), &player, error, sizeof error), 0);
    EXPECT_NE(error[0], '\0');
    EXPECT_EQ(player.module, nullptr);
}

// SDL's audio on its dummy driver; messages go to standard error only,
// never to a window.
uint32_t no_clock(void *) { return 0; }
MemoryDisplayState DeviceOnlyScreen = {};
const Platform DeviceOnly = {"test", &MemoryDisplay, &SdlMusic, no_clock, &DeviceOnlyScreen, &SdlMusicDevice,
                             nullptr};

class MusicDevice : public ModuleFile {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override
    {
        free_music(DeviceOnly);
        ModuleFile::TearDown();
    }
};

TEST_F(MusicDevice, PolledPositionAdvancesInOrderToTheEnd)
{
    std::string path = write(short_module_bytes(4, 6, 2, 1));
    ASSERT_EQ(start_music(DeviceOnly, path.c_str()), ExitNormal);
    poll_music_position(DeviceOnly);
    std::vector<Position> seen = {{MusicOrder, MusicRow}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!MusicEnded && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        poll_music_position(DeviceOnly);
        Position now = {MusicOrder, MusicRow};
        if (now.order != seen.back().order || now.row != seen.back().row)
            seen.push_back(now);
    }
    ASSERT_TRUE(MusicEnded) << "the module did not finish within 10 s";
    EXPECT_EQ(seen.front().order, 0);
    EXPECT_EQ(seen.front().row, 0);
    for (size_t i = 1; i < seen.size(); i++)
        EXPECT_TRUE(comes_after(seen[i - 1], seen[i]))
            << seen[i - 1].order << ":" << seen[i - 1].row << " then " << seen[i].order << ":" << seen[i].row;
    EXPECT_EQ(seen.back().order, 3);
    EXPECT_GE(seen.size(), 6u);  // rows of 10 ms, buffers of 23 ms: several steps seen

    free_music(DeviceOnly);
    free_music(DeviceOnly);
    poll_music_position(DeviceOnly);  // the last position stays readable after freeing
    EXPECT_EQ(MusicOrder, seen.back().order);
}

// Each failure shows its message and gives its status, with nothing left playing.
TEST_F(MusicDevice, FailuresSayWhyAndGiveTheirStatus)
{
    std::vector<uint8_t> damaged = short_module_bytes(2, 4);
    damaged.resize(70);  // the header cut short
    struct Case {
        const char *what, *audio_driver;
        std::vector<uint8_t> module;  // empty: no file at all
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"missing", "dummy", {}, ExitMusicFailed, "cannot play " + folder + "/orvanti.xm: No such file or directory"},
        {"damaged", "dummy", damaged, ExitMusicFailed, "cannot play " + folder + "/orvanti.xm: "},
        {"no device", "no-such-driver", short_module_bytes(2, 4), ExitSoundDevice, "Can't initialize device"},
    };
    for (const Case &c : cases) {
        std::filesystem::remove(folder + "/orvanti.xm");
        std::string path = c.module.empty() ? folder + "/orvanti.xm" : write(c.module);
        setenv("SDL_AUDIODRIVER", c.audio_driver, 1);
        ::testing::internal::CaptureStderr();
        int status = start_music(DeviceOnly, path.c_str());
        std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_NE(errors.find(std::string(WindowTitle) + ": " + c.message), std::string::npos) << c.what << ": " << errors;
        EXPECT_FALSE(SdlMusic.finished(&SdlMusicDevice)) << c.what;
    }
}

}  // namespace
