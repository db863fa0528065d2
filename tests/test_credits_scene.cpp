// The credits scene on the generated data: the masked text and its wrap at
// 320 rows, the texture window, the flash inversion and the dissolve.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "data/startup_error.h"
#include "engine/view.h"
#include "scene_fixture.h"
#include "scenes/credits.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"

namespace {

class CreditsScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        load_credits_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(CreditsSceneReady);
    }
    static void TearDownTestSuite() { release_credits_scene(); }

    // A frame of the current state; no ticks, so nothing moves between two.
    std::vector<uint32_t> frame(int fade_kind = 0, int fade_value = 0)
    {
        FadeKind = static_cast<uint8_t>(fade_kind);
        FadeValue = fade_value;
        fill_band(target, 0x00123456u);
        credits_scene_handler(0, 0, 0);
        return std::vector<uint32_t>(target.band, target.band + BandWidth * BandHeight);
    }

    // Where the text column shows something other than what the band row's
    // text row holds (masked) or the background (unmasked); -1 when nowhere.
    int first_text_mismatch(int scroll) const
    {
        const uint32_t *text = image_words(&CreditsText);
        const uint32_t *back = image_words(&CreditsBackground);
        for (int j = 0; j < BandHeight; j++)
            for (int k = 0; k < CreditsTextWidth; k++) {
                int x = CreditsTextLeft + k;
                bool open = CreditsMask.pixels[j * CreditsTextWidth + k] != 0;
                uint32_t want = open ? text[((scroll + j) % CreditsTextRows) * CreditsTextWidth + k] : back[j * 640 + x];
                if (pixel(x, j) != want)
                    return j * 1000 + k;
            }
        return -1;
    }
};

TEST_F(CreditsScene, TextShowsThroughTheMaskAndWrapsAtRow320)
{
    credits_scene_handler(1, 0, 0);
    ASSERT_EQ(CreditsTextScroll, 0.0f);
    frame();
    EXPECT_EQ(first_text_mismatch(0), -1);

    // 1,279 ticks of 0.25 reach 319.75 exactly; the next one wraps to 0.
    credits_scene_handler(0, 1279, 0);
    EXPECT_EQ(CreditsTextScroll, 319.75f);
    frame();
    EXPECT_EQ(first_text_mismatch(319), -1) << "band row j should show text row (319 + j) mod 320";
    credits_scene_handler(0, 1, 0);
    EXPECT_EQ(CreditsTextScroll, 0.0f);

    credits_scene_handler(0, 400, 0);
    EXPECT_EQ(CreditsTextScroll, 100.0f);
    frame();
    EXPECT_EQ(first_text_mismatch(100), -1);
}

TEST_F(CreditsScene, WindowFollowsThePhaseWhichInitNeverResets)
{
    CreditsWindowPhase = 1.5707964f - 0.005f;
    credits_scene_handler(1, 0, 0);
    EXPECT_EQ(CreditsWindowPhase, 1.5707964f - 0.005f);
    credits_scene_handler(0, 1, 0);
    EXPECT_EQ(CreditsWindow.pixels, CreditsTexture.pixels + 512 * 256 * 4);

    CreditsWindowPhase = -1.5707964f;
    frame();
    EXPECT_EQ(CreditsWindow.pixels, CreditsTexture.pixels);
    CreditsWindowPhase = 0.0f;
}

TEST_F(CreditsScene, DissolveBlacksOutFromLevel255DownToEverything)
{
    credits_scene_handler(1, 0, 0);
    const std::vector<uint32_t> drawn = frame();

    frame(11, 255);
    int expected_black = 0;
    for (int i = 0; i < BandWidth * BandHeight; i++) {
        bool goes = CreditsDissolve.pixels[i] == 255;
        expected_black += goes;
        ASSERT_EQ(target.band[i], goes ? 0u : drawn[i]) << "pixel " << i;
    }
    EXPECT_GT(expected_black, 0) << "no pixel goes black first";
    EXPECT_LT(expected_black, BandWidth * BandHeight / 50);

    frame(11, 128);
    int black = count_pixels(0);
    EXPECT_GT(black, BandWidth * BandHeight / 3);
    EXPECT_LT(black, BandWidth * BandHeight * 2 / 3) << "the levels should spread over the whole fade";

    frame(11, 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

TEST_F(CreditsScene, FlashInvertsOnlyWhileItsValueIsNotZero)
{
    credits_scene_handler(1, 0, 0);
    const std::vector<uint32_t> drawn = frame();

    EXPECT_EQ(frame(3, 0), drawn);
    std::vector<uint32_t> flashed = frame(3, 32);
    for (size_t i = 0; i < drawn.size(); i++)
        ASSERT_EQ(flashed[i], drawn[i] ^ 0x00FFFFFFu) << "pixel " << i;
    EXPECT_EQ(frame(4, 200), drawn);
}

}  // namespace
