// The complete show on the generated data and music, played by
// orvanti-capture: every timeline and fade row fires where the music
// reaches its position, and the show ends at order 46.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "shell/sequencer.h"
#include "short_show.h"

namespace {

// Under the sanitizers every frame costs several times as much: fewer
// frames a second of show time still pass every row of both tables.
#ifdef __SANITIZE_ADDRESS__
constexpr int ShowFps = 10;
#else
constexpr int ShowFps = 50;
#endif

// A row's position is reached when the order and, separately, the row are.
bool reached(const TraceLine &at, int order, int row)
{
    return at.order >= order && at.row >= row;
}

TEST(WholeShow, EveryRowFiresAtItsPositionAndTheShowEndsAtOrder46)
{
    const std::string folder = make_temp_folder();
    const std::string trace_path = folder + "/trace.csv";
    const std::string command = "cd '" + folder + "' && " ORVANTI_BINARY_DIR "/orvanti-capture --quiet --data " +
                                ORVANTI_DATA_DIR " --fps " + std::to_string(ShowFps) + " --trace trace.csv";
    std::string errors;
    const int status = run_command(command, &errors);
    std::vector<TraceLine> trace = read_trace(trace_path);
    std::filesystem::remove_all(folder);
    ASSERT_EQ(status, 0) << errors;
    EXPECT_EQ(errors.find("music ended"), std::string::npos) << errors;
    ASSERT_GT(trace.size(), 100u);

    // Walk both tables along the music positions the capture saw; the
    // handler, parameter and fade kind of every frame must be those of the
    // rows reached so far.
    int timeline = 0, fade = 0;
    std::string handler;
    int param = 0;
    std::vector<long> fired(TimelineRows, -1);
    for (const TraceLine &at : trace) {
        while (Timeline[timeline].order != TimelineEndOrder && reached(at, Timeline[timeline].order, Timeline[timeline].row)) {
            if (Timeline[timeline].handler != nullptr)
                handler = Timeline[timeline].name;
            param = Timeline[timeline].param;
            fired[timeline++] = at.frame;
        }
        while (reached(at, FadeTrack[fade].order, FadeTrack[fade].row))
            fade++;
        ASSERT_EQ(at.handler, handler) << "frame " << at.frame << " at " << at.order << ":" << at.row;
        ASSERT_EQ(at.param, param) << "frame " << at.frame << " at " << at.order << ":" << at.row;
        ASSERT_EQ(at.fade_kind, FadeTrack[fade].kind) << "frame " << at.frame << " at " << at.order << ":" << at.row;
    }
    for (int i = 0; i + 1 < TimelineRows; i++)
        EXPECT_GE(fired[i], 0) << "timeline row " << i << " at " << Timeline[i].order << ":" << Timeline[i].row
                               << " never fired";
    EXPECT_EQ(fade, FadeTrackRows - 1) << "the fade track did not reach its last row";

    // The capture stops at the first position in order 46 without drawing it.
    EXPECT_EQ(trace.back().order, 45);
    EXPECT_EQ(trace.back().handler, "credits_scene_handler");
}

}  // namespace
