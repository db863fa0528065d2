// The complete show on the generated data and music, played by
// orvanti-capture: every timeline and fade row fires where the music
// reaches its position, and the show ends at order 46.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "short_show.h"

namespace {

// Under the sanitizers every frame costs several times as much: fewer
// frames a second of show time still pass every row of both tables.
#ifdef __SANITIZE_ADDRESS__
constexpr int ShowFps = 10;
#else
constexpr int ShowFps = 50;
#endif

// The runs of (handler, parameter) the show passes through, each with the
// position of the timeline row that starts it: rows that change neither (the
// second believe row, the two at (28,0)) start no run of their own.
struct Run {
    const char *handler;
    int param, order, row;
};
constexpr Run ShowRuns[] = {
    {"box_morph_handler", 0, 0, 0},         {"box_title_handler", 0, 6, 62},
    {"title_scene_handler", 0, 8, 62},      {"ball_scene_handler", 0, 10, 62},
    {"plane_scene_handler", 0, 12, 58},     {"ball_scene_handler", 1, 14, 58},
    {"ball_scene_handler", 3, 16, 48},      {"tunnel_scene_handler", 0, 17, 24},
    {"believe_scene_handler", 0, 21, 62},   {"buddha_crossfade_handler", 0, 23, 32},
    {"buddha_flicker_handler", 0, 24, 48},  {"buddha_glow_handler", 0, 27, 56},
    {"buddha_glow_handler", 1, 28, 38},     {"buddha_glow_handler", 0, 29, 6},
    {"buddha_glow_handler", 1, 29, 38},     {"buddha_glow_handler", 2, 30, 6},
    {"buddha_glow_handler", 3, 30, 38},     {"buddha_glow_handler", 2, 31, 6},
    {"buddha_glow_handler", 3, 31, 38},     {"system_scene_handler", 0, 32, 25},
    {"system_scene_handler", 1, 33, 16},    {"system_scene_handler", 2, 34, 32},
    {"system_scene_handler", 4, 35, 32},    {"system_scene_handler", 8, 36, 32},
    {"system_scene_handler", 16, 37, 24},   {"system_scene_handler", 48, 41, 48},
    {"credits_scene_handler", 0, 41, 60},
};
// The fade kinds in the order the track's rows bring them, with the position
// that ends the row before each.
constexpr Run FadeRuns[] = {
    {"", 0, 0, 0},    {"", 1, 6, 62},   {"", 2, 8, 62},   {"", 3, 11, 22},  {"", 4, 11, 58},
    {"", 3, 12, 22},  {"", 4, 15, 58},  {"", 3, 16, 48},  {"", 4, 16, 58},  {"", 3, 17, 24},
    {"", 6, 21, 48},  {"", 5, 23, 32},  {"", 3, 27, 56},  {"", 4, 32, 24},  {"", 7, 33, 32},
    {"", 8, 34, 32},  {"", 9, 35, 32},  {"", 10, 36, 32}, {"", 3, 37, 24},  {"", 11, 44, 24},
};

// Position (order, row) has reached (at_order, at_row): each compared on its own.
bool reached(const TraceLine &at, const Run &run)
{
    return at.order >= run.order && at.row >= run.row;
}

// Splits the trace where `value` changes; each change must be the next
// expected run, on the first frame that reached its position.
template <class Value>
void expect_runs(const std::vector<TraceLine> &trace, const Run *runs, size_t count, Value value, const char *what)
{
    size_t next = 0;
    for (size_t i = 0; i < trace.size(); i++) {
        if (i > 0 && value(trace[i]) == value(trace[i - 1]))
            continue;
        const TraceLine &at = trace[i];
        ASSERT_LT(next, count) << what << ": an extra change at frame " << at.frame << ", " << at.order << ":"
                               << at.row;
        const Run &run = runs[next];
        const auto expected = value(TraceLine{0, 0, 0, 0, run.handler, run.param, 0, run.param});
        ASSERT_EQ(value(at), expected) << what << " change " << next << " at frame " << at.frame << ", " << at.order
                                       << ":" << at.row;
        EXPECT_TRUE(reached(at, run)) << what << " change " << next << " came early, at " << at.order << ":" << at.row;
        if (i > 0) {
            EXPECT_FALSE(reached(trace[i - 1], run))
                << what << " change " << next << " came late: " << trace[i - 1].order << ":" << trace[i - 1].row
                << " had reached " << run.order << ":" << run.row;
        }
        next++;
    }
    EXPECT_EQ(next, count) << what << ": the show ended after " << next << " of " << count << " changes";
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

    expect_runs(trace, ShowRuns, std::size(ShowRuns),
                [](const TraceLine &at) { return at.handler + " " + std::to_string(at.param); }, "timeline");
    expect_runs(trace, FadeRuns, std::size(FadeRuns), [](const TraceLine &at) { return at.fade_kind; }, "fade kind");

    // The capture stops at the first position in order 46 without drawing it.
    EXPECT_EQ(trace.back().order, 45);
    EXPECT_EQ(trace.back().handler, "credits_scene_handler");
}

}  // namespace
