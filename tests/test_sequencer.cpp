// The sequencer: the firing rule, timeline rows and their handler calls, and
// the fade track's ramps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/frame_driver.h"
#include "shell/music.h"
#include "shell/sequencer.h"

namespace {

struct Call {
    std::string handler;
    int init, ticks, param;
    bool operator==(const Call &other) const = default;
};
std::vector<Call> Calls;

int first_handler(int init, int ticks, int param) { Calls.push_back({"first", init, ticks, param}); return 0; }
int second_handler(int init, int ticks, int param) { Calls.push_back({"second", init, ticks, param}); return 0; }
int third_handler(int init, int ticks, int param) { Calls.push_back({"third", init, ticks, param}); return 0; }

std::ostream &operator<<(std::ostream &out, const Call &call)
{
    return out << call.handler << "(" << call.init << "," << call.ticks << "," << call.param << ")";
}

// The shape of the show's timeline around its double row, param-only rows
// and the first row at (0, 0), with recording handlers.
const TimelineEntry TestTimeline[] = {
    {0, 0, first_handler, 0, "first_handler"},
    {8, 62, second_handler, 1, "second_handler"},
    {16, 48, nullptr, 3, ""},
    {28, 0, first_handler, 0, "first_handler"},
    {28, 0, third_handler, 0, "third_handler"},
    {28, 38, nullptr, 1, ""},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};

class SequencerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Calls.clear();
        reset_sequencer(TestTimeline, FadeTrack);
        at(0, 0, 0);
    }
    void TearDown() override { reset_sequencer(); at(0, 0, 0); }
    void at(int order, int row, int clock)
    {
        MusicOrder = order;
        MusicRow = row;
        FrameClock = clock;
    }
    void frame(int order, int row, int clock)
    {
        at(order, row, clock);
        update_fade();
        run_timeline();
    }
};

TEST(FiringRule, OrderAndRowAreComparedSeparately)
{
    EXPECT_TRUE(position_reached(8, 62, 8, 62));
    EXPECT_TRUE(position_reached(8, 63, 8, 62));
    EXPECT_FALSE(position_reached(9, 0, 8, 62));
    EXPECT_FALSE(position_reached(9, 5, 8, 62));
    EXPECT_TRUE(position_reached(9, 62, 8, 62));
    EXPECT_FALSE(position_reached(7, 63, 8, 62));
}

TEST_F(SequencerTest, FirstFrameInitsTheFirstRowAndPassesTheWholeClock)
{
    frame(0, 0, 7);
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 1, 0, 0}, {"first", 0, 7, 0}}));
    EXPECT_STREQ(CurrentHandlerName, "first_handler");
    Calls.clear();
    frame(0, 3, 10);
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 0, 3, 0}}));
}

TEST_F(SequencerTest, RowIsShortUntilTheRowNumberComesBack)
{
    frame(0, 0, 0);
    Calls.clear();
    frame(9, 5, 1);  // past order 8 but row 5 < 62
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 0, 1, 0}}));
    Calls.clear();
    frame(9, 62, 2);
    EXPECT_EQ(Calls, (std::vector<Call>{{"second", 1, 0, 1}, {"second", 0, 1, 1}}));
}

TEST_F(SequencerTest, ParameterOnlyRowKeepsTheHandlerWithoutAnInit)
{
    frame(8, 62, 0);
    Calls.clear();
    frame(16, 48, 4);
    EXPECT_EQ(Calls, (std::vector<Call>{{"second", 0, 4, 3}}));
    EXPECT_EQ(CurrentParam, 3);
}

TEST_F(SequencerTest, DoubleRowInitsBothAndKeepsTheLater)
{
    frame(16, 62, 0);
    Calls.clear();
    frame(28, 0, 5);
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 1, 0, 0}, {"third", 1, 0, 0}, {"third", 0, 5, 0}}));
    EXPECT_STREQ(CurrentHandlerName, "third_handler");
}

TEST_F(SequencerTest, JumpFiresEveryPassedRowInOrder)
{
    frame(28, 63, 3);
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 1, 0, 0},
                                       {"second", 1, 0, 1},
                                       {"first", 1, 0, 0},
                                       {"third", 1, 0, 0},
                                       {"third", 0, 3, 1}}));
    EXPECT_EQ(TimelineIndex, 6);
}

TEST_F(SequencerTest, EndRowsHoldWhateverThePosition)
{
    frame(65535, 65535, 1);
    EXPECT_EQ(TimelineIndex, 6);
    EXPECT_EQ(FadeIndex, FadeTrackRows - 1);
    frame(65535, 65535, 2);
    EXPECT_EQ(TimelineIndex, 6);
    EXPECT_EQ(FadeIndex, FadeTrackRows - 1);
    EXPECT_EQ(FadeKind, 11);
}

TEST_F(SequencerTest, NoHandlerStillAdvancesTheTickBase)
{
    const TimelineEntry late[] = {{5, 0, first_handler, 2, "first_handler"}, {TimelineEndOrder, 0, nullptr, 0, ""}};
    reset_sequencer(late, FadeTrack);
    frame(0, 0, 10);
    EXPECT_TRUE(Calls.empty());
    EXPECT_STREQ(CurrentHandlerName, "");
    frame(5, 0, 12);
    EXPECT_EQ(Calls, (std::vector<Call>{{"first", 1, 0, 2}, {"first", 0, 2, 2}}));
}

TEST_F(SequencerTest, FadeRampTruncatesTowardZero)
{
    frame(0, 0, 0);
    EXPECT_EQ(FadeValue, 0);  // row 0: duration 0 gives its end value at once
    EXPECT_EQ(FadeKind, 0);
    frame(6, 62, 50);
    EXPECT_EQ(FadeIndex, 1);
    EXPECT_EQ(FadeValue, 192);
    frame(7, 5, 100);  // row 1 left: row 2, 128 to 0 over 32 ticks
    EXPECT_EQ(FadeIndex, 2);
    EXPECT_EQ(FadeStartTick, 100);
    EXPECT_EQ(FadeValue, 128);
    EXPECT_EQ(FadeKind, 1);
    frame(7, 5, 101);
    EXPECT_EQ(FadeValue, 124);
    frame(7, 5, 131);
    EXPECT_EQ(FadeValue, 4);
    frame(7, 5, 132);
    EXPECT_EQ(FadeValue, 0);
    frame(7, 5, 900);
    EXPECT_EQ(FadeValue, 0);
}

TEST_F(SequencerTest, SlowRisingRampStartsWithTruncatedSteps)
{
    frame(23, 63, 40);  // every row up to 65 left: row 66, 0 to 255 over 500
    EXPECT_EQ(FadeIndex, 66);
    EXPECT_EQ(FadeStartTick, 40);
    EXPECT_EQ(FadeKind, 5);
    frame(23, 63, 41);
    EXPECT_EQ(FadeValue, 0);
    frame(23, 63, 42);
    EXPECT_EQ(FadeValue, 1);
    frame(23, 63, 290);
    EXPECT_EQ(FadeValue, 127);
    frame(23, 63, 540);
    EXPECT_EQ(FadeValue, 255);
}

TEST_F(SequencerTest, FadeRowBecomesCurrentWhenThePreviousPositionIsReached)
{
    frame(11, 63, 3);  // (11,58), stored in row 33, is reached; (12,22) is not
    EXPECT_EQ(FadeIndex, 34);
    EXPECT_EQ(FadeKind, 4);
    EXPECT_EQ(FadeValue, 32);
    frame(11, 63, 5);
    EXPECT_EQ(FadeIndex, 34);
    EXPECT_EQ(FadeValue, 16);
    frame(12, 22, 6);
    EXPECT_EQ(FadeIndex, 35);
    EXPECT_EQ(FadeKind, 3);
}

// Positions in both tables only move forward, so neither walk can stall on
// a row placed out of order.
TEST(ShowTables, PositionsNeverGoBackAndEndRowsAreUnreachable)
{
    for (int i = 1; i < TimelineRows; i++) {
        const TimelineEntry &a = Timeline[i - 1], &b = Timeline[i];
        EXPECT_TRUE(a.order < b.order || (a.order == b.order && a.row <= b.row)) << "timeline row " << i;
        EXPECT_EQ(b.handler == nullptr, b.name[0] == '\0') << "timeline row " << i;
    }
    EXPECT_EQ(Timeline[TimelineRows - 1].order, TimelineEndOrder);
    for (int i = 1; i < FadeTrackRows; i++) {
        const FadeKey &a = FadeTrack[i - 1], &b = FadeTrack[i];
        EXPECT_TRUE(a.order < b.order || (a.order == b.order && a.row < b.row)) << "fade row " << i;
        EXPECT_GE(b.duration, 0);
    }
    EXPECT_GT(FadeTrack[FadeTrackRows - 1].order, 65535);
}

}  // namespace
