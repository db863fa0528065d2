// The frame driver: 24- and 16-bit output, wide pitches, the two cleared
// frames, where the band lies, and the frame clock.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "raster/render_target.h"
#include "shell/frame_driver.h"
#include "shell/sequencer.h"

namespace {

uint32_t ClockNow = 0;

// The handler paints band pixel (x, y) with a value made from its position.
uint32_t pattern_pixel(int x, int y) { return static_cast<uint32_t>(((y & 0xFF) << 16) | (x & 0xFF) << 8 | ((x + y) & 0xFF)); }

int paint_handler(int, int, int)
{
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++)
            RenderTarget.pixels[y * RenderTarget.pitch + x] = pattern_pixel(x, y);
    return 0;
}

int idle_handler(int, int, int) { return 0; }

const TimelineEntry PaintTimeline[] = {
    {0, 0, paint_handler, 0, "paint_handler"},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};
const TimelineEntry IdleTimeline[] = {
    {0, 0, idle_handler, 0, "idle_handler"},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};

class FrameDriverTest : public ::testing::Test {
protected:
    std::vector<uint32_t> work = std::vector<uint32_t>(BandWidth * BandHeight);
    std::vector<uint8_t> surface;

    void SetUp() override
    {
        ClockNow = 0;
        ClockStartTime = 0;
        ClearCounter = 0;
        WorkBuffer = work.data();
        reset_sequencer(PaintTimeline, FadeTrack);
    }
    void TearDown() override
    {
        WorkBuffer = nullptr;
        reset_sequencer();
    }
    void use_display(int mode, int pitch_bytes)
    {
        DisplayMode = mode;
        SurfacePitch = pitch_bytes;
        RenderTarget.pitch = mode == DisplayMode32 ? pitch_bytes >> 2 : BandWidth;
        surface.assign(static_cast<size_t>(pitch_bytes) * ScreenHeight, 0xAA);
    }
    bool rows_hold(int first, int last, uint8_t value) const
    {
        for (size_t i = static_cast<size_t>(first) * SurfacePitch; i < static_cast<size_t>(last + 1) * SurfacePitch; i++)
            if (surface[i] != value)
                return false;
        return true;
    }
};

TEST(PixelPacking, SixteenBitKeepsTopBitsOnly)
{
    EXPECT_EQ(pack_565(0x00FFFFFF), 0xFFFF);
    EXPECT_EQ(pack_565(0x00FF0000), 0xF800);
    EXPECT_EQ(pack_565(0x0000FF00), 0x07E0);
    EXPECT_EQ(pack_565(0x000000FF), 0x001F);
    EXPECT_EQ(pack_565(0x00070307), 0x0000);
    EXPECT_EQ(pack_565(0xFF000000), 0x0000);  // the top byte is ignored
    EXPECT_EQ(pack_565(0x00081004), 0x0880);
}

TEST_F(FrameDriverTest, TwentyFourBitRowsAreBlueGreenRedAndStopAtThePicture)
{
    constexpr int Pitch = 2000;  // 80 bytes past each row's 1,920
    use_display(DisplayMode24, Pitch);
    frame_driver(surface.data(), DisplayMode24, ClockNow);
    for (int y : {0, 1, 157, 319}) {
        const uint8_t *row = surface.data() + static_cast<size_t>(BandTop + y) * Pitch;
        for (int x : {0, 1, 300, 639}) {
            uint32_t pixel = pattern_pixel(x, y);
            EXPECT_EQ(row[x * 3 + 0], pixel & 0xFF) << x << "," << y;
            EXPECT_EQ(row[x * 3 + 1], (pixel >> 8) & 0xFF) << x << "," << y;
            EXPECT_EQ(row[x * 3 + 2], (pixel >> 16) & 0xFF) << x << "," << y;
        }
    }
    // The first frame clears everything, padding included; conversion never
    // writes past the 640th pixel, so a later frame leaves padding as it finds it.
    memset(surface.data(), 0xAA, surface.size());
    frame_driver(surface.data(), DisplayMode24, ClockNow);  // second: cleared again
    memset(surface.data(), 0xAA, surface.size());
    frame_driver(surface.data(), DisplayMode24, ClockNow);
    for (int y = BandTop; y < BandTop + BandHeight; y++)
        for (int x = 1920; x < Pitch; x++)
            ASSERT_EQ(surface[static_cast<size_t>(y) * Pitch + x], 0xAA) << "row " << y << " byte " << x;
    EXPECT_TRUE(rows_hold(0, BandTop - 1, 0xAA));
    EXPECT_TRUE(rows_hold(BandTop + BandHeight, ScreenHeight - 1, 0xAA));
}

TEST_F(FrameDriverTest, SixteenBitRowsAreLittleEndian565)
{
    constexpr int Pitch = 1400;
    use_display(DisplayMode16, Pitch);
    for (int frame = 0; frame < 3; frame++)
        frame_driver(surface.data(), DisplayMode16, ClockNow);
    const uint8_t *row = surface.data() + static_cast<size_t>(BandTop + 200) * Pitch;
    for (int x : {0, 17, 639}) {
        uint16_t word = static_cast<uint16_t>(row[x * 2] | row[x * 2 + 1] << 8);
        EXPECT_EQ(word, pack_565(pattern_pixel(x, 200)));
    }
    EXPECT_EQ(row[1280], 0x00);  // cleared by the first frames, never converted into
}

TEST_F(FrameDriverTest, ThirtyTwoBitBandLiesAtRowEightyWithTheSurfaceStride)
{
    constexpr int Pitch = 3072;  // 768 pixels per row
    use_display(DisplayMode32, Pitch);
    frame_driver(surface.data(), DisplayMode32, ClockNow);
    EXPECT_EQ(RenderTarget.pitch, 768);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(RenderTarget.pixels), surface.data() + BandTop * Pitch);
    const uint32_t *words = reinterpret_cast<const uint32_t *>(surface.data());
    EXPECT_EQ(words[(BandTop + 5) * 768 + 639], pattern_pixel(639, 5));
    EXPECT_EQ(words[(BandTop + 5) * 768 + 640], 0u);  // stride padding: cleared, not drawn
    EXPECT_EQ(words[(BandTop + 319) * 768 + 0], pattern_pixel(0, 319));
}

TEST_F(FrameDriverTest, OnlyTheFirstTwoFramesClearTheWholeSurface)
{
    reset_sequencer(IdleTimeline, FadeTrack);
    use_display(DisplayMode32, 2560);
    frame_driver(surface.data(), DisplayMode32, ClockNow);
    EXPECT_TRUE(rows_hold(0, ScreenHeight - 1, 0x00));
    EXPECT_EQ(ClearCounter, 2);
    memset(surface.data(), 0xAA, surface.size());
    frame_driver(surface.data(), DisplayMode32, ClockNow);
    EXPECT_TRUE(rows_hold(0, ScreenHeight - 1, 0x00));
    EXPECT_EQ(ClearCounter, 4);
    memset(surface.data(), 0xAA, surface.size());
    for (int frame = 0; frame < 3; frame++)
        frame_driver(surface.data(), DisplayMode32, ClockNow);
    EXPECT_TRUE(rows_hold(0, ScreenHeight - 1, 0xAA));
}

TEST_F(FrameDriverTest, WorkBufferKeepsThePreviousFrameInTheOffScreenModes)
{
    reset_sequencer(IdleTimeline, FadeTrack);
    use_display(DisplayMode24, 1920);
    work[0] = 0x00123456;
    frame_driver(surface.data(), DisplayMode24, ClockNow);
    EXPECT_EQ(RenderTarget.pixels, work.data());
    EXPECT_EQ(work[0], 0x00123456u);
    EXPECT_EQ(surface[BandTop * 1920 + 0], 0x56);
}

TEST(FrameClockTicks, WholeTicksAcrossTheWrap)
{
    EXPECT_EQ(ticks_since(1000, 1000), 0);
    EXPECT_EQ(ticks_since(1000, 1019), 0);
    EXPECT_EQ(ticks_since(1000, 1020), 1);
    EXPECT_EQ(ticks_since(1000, 1039), 1);
    EXPECT_EQ(ticks_since(1000, 1040), 2);
    // 16 ms before the wrap to 24 ms after it: 40 ms.
    EXPECT_EQ(ticks_since(0xFFFFFFF0u, 0x00000018u), 2);
    EXPECT_EQ(ticks_since(0xFFFFFFF0u, 0x00000003u), 0);
}

TEST_F(FrameDriverTest, FrameClockFollowsTheReplaceableClock)
{
    reset_sequencer(IdleTimeline, FadeTrack);
    use_display(DisplayMode24, 1920);
    ClockStartTime = 0xFFFFFF00u;
    ClockNow = 0xFFFFFF00u + 19;
    frame_driver(surface.data(), DisplayMode24, ClockNow);
    EXPECT_EQ(FrameClock, 0);
    ClockNow = 0x00000100u + 5;  // 517 ms after the start, across the wrap
    frame_driver(surface.data(), DisplayMode24, ClockNow);
    EXPECT_EQ(FrameClock, 25);
}

}  // namespace
