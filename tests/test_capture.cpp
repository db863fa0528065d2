// orvanti-capture: identical output from identical runs, the stop at order
// 46, frames chosen by music position, and its option errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "short_show.h"

namespace {

const std::string Capture = std::string(ORVANTI_BINARY_DIR) + "/orvanti-capture";

struct TraceLine {
    long frame, milliseconds;
    int order, row;
    std::string handler;
};

std::vector<TraceLine> read_trace(const std::string &path)
{
    std::vector<uint8_t> bytes = read_file_bytes(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::vector<TraceLine> lines;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ','))
            fields.push_back(field);
        EXPECT_EQ(fields.size(), 8u) << line;
        if (fields.size() != 8)
            break;
        lines.push_back({std::stol(fields[0]), std::stol(fields[1]), std::stoi(fields[2]), std::stoi(fields[3]),
                         fields[4]});
    }
    return lines;
}

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

TEST_F(CaptureTest, BadOptionsAndMissingDataAreReported)
{
    ASSERT_FALSE(folder.empty());
    std::string errors;
    EXPECT_EQ(capture("--depth 8", &errors), 2);
    EXPECT_NE(errors.find("--depth: 8"), std::string::npos) << errors;
    EXPECT_EQ(capture("--frames 9-3", &errors), 2);
    EXPECT_EQ(capture("--at 17", &errors), 2);
    EXPECT_NE(capture("--data no-such-folder", &errors), 0);
    EXPECT_NE(errors.find("no-such-folder/orvanti.dat"), std::string::npos) << errors;
}

}  // namespace
