// The show's music as built: it loads cleanly in two players, lasts as long
// as the show, stays below full scale, and sounds a hit at every flash.
#include <gtest/gtest.h>
#include "xmp_load.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "shell/sequencer.h"

namespace {

constexpr int Rate = 44100;
constexpr double RowSeconds = 0.12;  // speed 6 at 125 BPM
constexpr int RowsPerOrder = 64;
constexpr int EndOrder = 46;
constexpr size_t Block = 441;        // 10 ms: the resolution of the position log

std::vector<uint8_t> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double decibels(double power)
{
    return 10.0 * std::log10(power + 1e-30);
}

// The module as the build wrote it, with what libopenmpt says of it.
struct LoadedModule {
    std::vector<uint8_t> bytes;
    std::string log;
    std::string warnings;
    int orders = 0;
    int patterns = 0;
    int channels = 0;
    int speed = 0;
    int tempo = 0;
    double duration = 0.0;
    std::vector<int> pattern_rows;
    std::vector<int> order_patterns;
    std::vector<std::string> instrument_names;
    // Instrument of each note cell, by order, row and channel (0 for none).
    std::vector<int> instruments;
    int instrument_at(int order, int row, int channel) const
    {
        return instruments[(size_t(order) * RowsPerOrder + size_t(row)) * size_t(channels) + size_t(channel)];
    }
};

const LoadedModule &loaded()
{
    static const LoadedModule result = [] {
        LoadedModule m;
        m.bytes = read_file(ORVANTI_DATA_DIR "/orvanti.xm");
        if (m.bytes.empty())
            return m;
        std::ostringstream log;
        openmpt::module module(m.bytes, log);
        m.log = log.str();
        m.warnings = module.get_metadata("warnings");
        m.orders = module.get_num_orders();
        m.patterns = module.get_num_patterns();
        m.channels = module.get_num_channels();
        m.speed = module.get_current_speed();
        m.tempo = module.get_current_tempo();
        m.duration = module.get_duration_seconds();
        for (int p = 0; p < m.patterns; p++)
            m.pattern_rows.push_back(module.get_pattern_num_rows(p));
        m.instrument_names = module.get_instrument_names();
        for (int order = 0; order < m.orders; order++) {
            int pattern = module.get_order_pattern(order);
            m.order_patterns.push_back(pattern);
            for (int row = 0; row < RowsPerOrder; row++)
                for (int channel = 0; channel < m.channels; channel++) {
                    bool note = module.get_pattern_row_channel_command(pattern, row, channel,
                                                                       openmpt::module::command_note) != 0;
                    int instrument = module.get_pattern_row_channel_command(pattern, row, channel,
                                                                            openmpt::module::command_instrument);
                    m.instruments.push_back(note ? instrument : 0);
                }
        }
        return m;
    }();
    return result;
}

// The whole song rendered once per test program and shared by its tests.
struct Rendering {
    std::vector<float> left, right;
    double order_end_reached = -1.0;  // seconds into the audio when order 46 first plays
};

const Rendering &rendering()
{
    static const Rendering result = [] {
        Rendering r;
        if (loaded().bytes.empty())
            return r;
        openmpt::module module(loaded().bytes);
        std::vector<float> left(Block), right(Block);
        while (size_t frames = module.read(Rate, Block, left.data(), right.data())) {
            if (r.order_end_reached < 0.0 && module.get_current_order() >= EndOrder)
                r.order_end_reached = double(r.left.size()) / Rate;
            r.left.insert(r.left.end(), left.begin(), left.begin() + frames);
            r.right.insert(r.right.end(), right.begin(), right.begin() + frames);
        }
        return r;
    }();
    return result;
}

// Mean power of both channels over [from, to) seconds.
double power(const Rendering &r, double from, double to)
{
    size_t first = size_t(std::max(0.0, from) * Rate);
    size_t last = std::min(r.left.size(), size_t(std::max(0.0, to) * Rate));
    if (last <= first)
        return 0.0;
    double sum = 0.0;
    for (size_t i = first; i < last; i++)
        sum += double(r.left[i]) * r.left[i] + double(r.right[i]) * r.right[i];
    return sum / double(2 * (last - first));
}

double position_seconds(int order, int row)
{
    return (order * RowsPerOrder + row) * RowSeconds;
}

double order_level(const Rendering &r, int order)
{
    return decibels(power(r, position_seconds(order, 0), position_seconds(order + 1, 0)));
}

std::string temporary_dir(const char *name)
{
    std::filesystem::path dir = std::filesystem::path(ORVANTI_BINARY_DIR) / "test_music" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

int run_generator(const std::string &arguments)
{
    std::string command = std::string(ORVANTI_BINARY_DIR) + "/orvanti-assets " + arguments + " > /dev/null";
    return std::system(command.c_str());
}

}  // namespace

TEST(MusicModule, LoadsCleanlyAndBothPlayersAgree)
{
    const LoadedModule &r = loaded();
    ASSERT_FALSE(r.bytes.empty()) << ORVANTI_DATA_DIR "/orvanti.xm is missing";
    EXPECT_EQ(r.log, "");
    EXPECT_EQ(r.warnings, "");
    EXPECT_GE(r.orders, EndOrder + 1);
    EXPECT_GE(r.channels, 8);
    EXPECT_LE(r.channels, 16);
    EXPECT_EQ(r.speed, 6);
    EXPECT_EQ(r.tempo, 125);
    for (size_t p = 0; p < r.pattern_rows.size(); p++)
        EXPECT_EQ(r.pattern_rows[p], RowsPerOrder) << "pattern " << p;

    XmpLoad xmp(r.bytes);
    ASSERT_TRUE(xmp.loaded);
    EXPECT_EQ(xmp.info.mod->len, r.orders);
    EXPECT_EQ(xmp.info.mod->pat, r.patterns + 1);  // libxmp adds one empty pattern of its own
    EXPECT_EQ(xmp.info.mod->chn, r.channels);
    EXPECT_NEAR(xmp.info.seq_data[0].duration / 1000.0, r.duration, RowSeconds);
}

TEST(MusicModule, IntroBuildsWithoutDrumsUntilTheBeatEnters)
{
    const LoadedModule &r = loaded();
    ASSERT_FALSE(r.bytes.empty());
    ASSERT_EQ(r.instruments.size(), size_t(r.orders) * RowsPerOrder * size_t(r.channels));
    // Drum instruments by name (numbered from 1 in the note cells).
    std::vector<int> drums;
    for (size_t i = 0; i < r.instrument_names.size(); i++)
        for (const char *drum : {"kick", "snare", "clap", "closed hat", "open hat", "crash", "tom"})
            if (r.instrument_names[i] == drum)
                drums.push_back(int(i) + 1);
    ASSERT_EQ(drums.size(), 7u);
    auto drum_at = [&](int order, int row) {
        for (int channel = 0; channel < r.channels; channel++)
            if (std::find(drums.begin(), drums.end(), r.instrument_at(order, row, channel)) != drums.end())
                return true;
        return false;
    };
    auto scene_row = [](const char *handler) {
        for (const TimelineEntry &entry : Timeline)
            if (std::string(entry.name) == handler)
                return entry;
        return Timeline[TimelineRows - 1];
    };
    const TimelineEntry beat = scene_row("box_title_handler");  // where the beat comes in
    const TimelineEntry breakdown = scene_row("believe_scene_handler");
    ASSERT_LT(beat.order, breakdown.order);
    for (int order = 0; order <= beat.order; order++)
        for (int row = 0; row < (order == beat.order ? beat.row : RowsPerOrder); row++)
            EXPECT_FALSE(drum_at(order, row)) << "drum in the intro at (" << order << ", " << row << ")";
    EXPECT_TRUE(drum_at(beat.order, beat.row));
    // From there on the groove does not stop for a whole order until the breakdown.
    for (int order = beat.order + 1; order < breakdown.order; order++) {
        bool any = false;
        for (int row = 0; row < RowsPerOrder; row++)
            any = any || drum_at(order, row);
        EXPECT_TRUE(any) << "order " << order << " has no drums";
    }
}

TEST(MusicModule, GeneratorWritesTheSameBytesEveryRun)
{
    const LoadedModule &r = loaded();
    std::string first = temporary_dir("first"), second = temporary_dir("second");
    ASSERT_EQ(run_generator(first), 0);
    ASSERT_EQ(run_generator(second), 0);
    std::vector<uint8_t> a = read_file(first + "/orvanti.xm"), b = read_file(second + "/orvanti.xm");
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == r.bytes) << "the build's data folder holds another module";
    std::filesystem::remove_all(first);
    std::filesystem::remove_all(second);
}

TEST(MusicModule, WavOptionRendersTheWholeSong)
{
    const LoadedModule &r = loaded();
    std::string wav = temporary_dir("wav") + "/music.wav";
    ASSERT_EQ(run_generator("--wav " + wav), 0);
    std::vector<uint8_t> bytes = read_file(wav);
    ASSERT_GE(bytes.size(), 44u);
    auto u32 = [&](size_t at) { return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24); };
    auto u16 = [&](size_t at) { return unsigned(bytes[at] | bytes[at + 1] << 8); };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1u);   // PCM
    EXPECT_EQ(u16(22), 2u);   // stereo
    EXPECT_EQ(u32(24), uint32_t(Rate));
    EXPECT_EQ(u16(34), 16u);  // bits
    EXPECT_EQ(u32(40), bytes.size() - 44);
    // The whole song, plus the short tail the player renders after its end.
    double seconds = u32(40) / 4.0 / Rate;
    EXPECT_GE(seconds, r.duration - 0.01);
    EXPECT_LE(seconds, r.duration + 0.25);
    // It holds the music, not silence.
    int loudest = 0;
    for (size_t at = 44; at + 1 < bytes.size(); at += 2)
        loudest = std::max(loudest, std::abs(int(int16_t(u16(at)))));
    EXPECT_GT(loudest, 32767 / 4);
    EXPECT_LT(loudest, 32767);

    // A WAV file that cannot be created is a failure, not a silent success.
    std::string folder = temporary_dir("wav");
    EXPECT_NE(run_generator("--wav " + folder + "/no/such/dir/x.wav 2>/dev/null"), 0);
    std::filesystem::remove_all(folder);
}

TEST(MusicPlayback, ReachesTheEndOrderWhenTheShowEnds)
{
    const Rendering &r = rendering();
    ASSERT_FALSE(r.left.empty());
    EXPECT_GE(r.order_end_reached, 5 * 60 + 45.0);
    EXPECT_LE(r.order_end_reached, 6 * 60 + 0.0);
    // The rows keep their pace all the way: order 46 starts on the beat.
    EXPECT_NEAR(r.order_end_reached, position_seconds(EndOrder, 0), 0.02);
}

TEST(MusicPlayback, NeverClipsAndHoldsItsLevelUntilTheFade)
{
    const Rendering &r = rendering();
    ASSERT_FALSE(r.left.empty());
    float peak = 0.0f;
    for (size_t i = 0; i < r.left.size(); i++)
        peak = std::max(peak, std::max(std::fabs(r.left[i]), std::fabs(r.right[i])));
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.25f) << "the mix is needlessly quiet";

    for (int order = 0; order < 45; order++)
        EXPECT_GT(order_level(r, order), -30.0) << "order " << order;
    // The outro sinks toward silence.
    EXPECT_LT(order_level(r, 45), order_level(r, 43) - 10.0);
    EXPECT_LT(order_level(r, EndOrder), -60.0);
}

TEST(MusicPlayback, EveryFlashLandsOnAHit)
{
    const Rendering &r = rendering();
    ASSERT_FALSE(r.left.empty());
    constexpr double Window = 0.02;
    int checked = 0;
    for (const FadeKey &key : FadeTrack) {
        if (key.order == FadeTrackEndOrder)
            continue;
        double start = position_seconds(key.order, key.row);
        double rise = decibels(power(r, start, start + Window)) - decibels(power(r, start - Window, start));
        EXPECT_GE(rise, 6.0) << "no hit at (" << key.order << ", " << key.row << ")";
        checked++;
    }
    EXPECT_EQ(checked, FadeTrackRows - 1);
}
