// The show's music as built: it loads cleanly in two players, lasts as long
// as the show, peaks just under full scale with a bright top, keeps its lead
// in front, gives every scene its own groove, and sounds a hit at every flash.
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
#include <libopenmpt/libopenmpt_ext.hpp>
#include <map>
#include <set>
#include <sstream>

#include "shell/sequencer.h"
#include "shell/timeline_marks.h"

namespace {

constexpr int Rate = 44100;
constexpr double RowSeconds = 0.12;  // speed 6 at 125 BPM
constexpr int RowsPerOrder = 64;     // every order from the beat's on; the opening's are shorter
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
    std::vector<int> order_start;  // song row on which each order begins, and one past the last
    std::vector<std::string> instrument_names;
    // Instrument and note of each cell, by song row and channel (instrument
    // 0 for no note; note 97 for a key-off).
    std::vector<int> instruments;
    std::vector<int> notes;
    int order_rows(int order) const { return order_start[size_t(order) + 1] - order_start[size_t(order)]; }
    int song_row(int order, int row) const { return order_start[size_t(order)] + row; }
    size_t cell(int order, int row, int channel) const
    {
        return size_t(song_row(order, row)) * size_t(channels) + size_t(channel);
    }
    int instrument_at(int order, int row, int channel) const { return instruments[cell(order, row, channel)]; }
    int instrument_number(const std::string &name) const
    {
        for (size_t i = 0; i < instrument_names.size(); i++)
            if (instrument_names[i] == name)
                return int(i) + 1;
        return -1;
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
        m.order_start.push_back(0);
        for (int order = 0; order < m.orders; order++) {
            int pattern = module.get_order_pattern(order);
            m.order_patterns.push_back(pattern);
            int rows = module.get_pattern_num_rows(pattern);
            m.order_start.push_back(m.order_start.back() + rows);
            for (int row = 0; row < rows; row++)
                for (int channel = 0; channel < m.channels; channel++) {
                    int note = module.get_pattern_row_channel_command(pattern, row, channel,
                                                                      openmpt::module::command_note);
                    int instrument = module.get_pattern_row_channel_command(pattern, row, channel,
                                                                            openmpt::module::command_instrument);
                    m.instruments.push_back(note ? instrument : 0);
                    m.notes.push_back(note);
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

// The song with every channel muted but `solo`.
Rendering render_channels(const std::set<int> &solo)
{
    Rendering r;
    openmpt::module_ext module(loaded().bytes);
    auto *interactive = static_cast<openmpt::ext::interactive *>(module.get_interface(openmpt::ext::interactive_id));
    for (int channel = 0; channel < module.get_num_channels(); channel++)
        interactive->set_channel_mute_status(channel, !solo.count(channel));
    std::vector<float> left(Block), right(Block);
    while (size_t frames = module.read(Rate, Block, left.data(), right.data())) {
        r.left.insert(r.left.end(), left.begin(), left.begin() + frames);
        r.right.insert(r.right.end(), right.begin(), right.begin() + frames);
    }
    return r;
}

// The channels on which any of the named instruments plays a note.
std::set<int> channels_playing(const std::vector<std::string> &names)
{
    const LoadedModule &m = loaded();
    std::set<int> found;
    for (const std::string &name : names) {
        int number = m.instrument_number(name);
        for (size_t i = 0; i < m.instruments.size(); i++)
            if (number > 0 && m.instruments[i] == number)
                found.insert(int(i % size_t(m.channels)));
    }
    return found;
}

// Energy share of a band, from a two-pole filter run over the mono mix:
// Butterworth sections at `cutoff` Hz, high-pass or low-pass.
double band_share(const Rendering &r, double cutoff, bool high)
{
    double w = 2.0 * 3.14159265358979 * cutoff / Rate, cosw = std::cos(w), alpha = std::sin(w) / std::sqrt(2.0);
    double b0 = high ? (1 + cosw) / 2 : (1 - cosw) / 2, b1 = high ? -(1 + cosw) : 1 - cosw, b2 = b0;
    double a0 = 1 + alpha, a1 = -2 * cosw, a2 = 1 - alpha;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0, u1 = 0, u2 = 0, band = 0, total = 0;
    for (size_t i = 0; i < r.left.size(); i++) {
        double x = 0.5 * (double(r.left[i]) + r.right[i]);
        // Two sections in a row: a fourth-order slope, so the other band hardly leaks in.
        double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        double z = (b0 * y + b1 * u1 + b2 * u2 - a1 * z1 - a2 * z2) / a0;
        u2 = u1, u1 = y, z2 = z1, z1 = z;
        band += z * z;
        total += x * x;
    }
    return total > 0.0 ? band / total : 0.0;
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
    return loaded().song_row(order, row) * RowSeconds;
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

// The first timeline row that starts `handler`.
TimelineEntry scene_row(const char *handler)
{
    for (const TimelineEntry &entry : Timeline)
        if (std::string(entry.name) == handler)
            return entry;
    return Timeline[TimelineRows - 1];
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
    ASSERT_EQ(r.order_start.size(), size_t(r.orders) + 1);
    // The opening's orders are whole bars and fill whole orders together, so
    // the bars and phrases after it keep their grid; from the beat's order
    // on every order is full.
    const int full_from = scene_row("box_title_handler").order;
    for (int order = 0; order < r.orders; order++) {
        if (order < full_from)
            EXPECT_EQ(r.order_rows(order) % 16, 0) << "order " << order;
        else
            EXPECT_EQ(r.order_rows(order), RowsPerOrder) << "order " << order;
    }
    EXPECT_EQ(r.order_start[size_t(full_from)] % RowsPerOrder, 0);
    // A row is reached when the order and, separately, the row are: every
    // position of both tables must exist in its order.
    for (const TimelineEntry &entry : Timeline)
        if (entry.order != TimelineEndOrder)
            EXPECT_LT(entry.row, r.order_rows(entry.order)) << "timeline row at " << entry.order << ":" << entry.row;
    for (const FadeKey &key : FadeTrack)
        if (key.order != FadeTrackEndOrder)
            EXPECT_LT(key.row, r.order_rows(key.order)) << "fade row at " << key.order << ":" << key.row;

    XmpLoad xmp(r.bytes);
    ASSERT_TRUE(xmp.loaded);
    EXPECT_EQ(xmp.info.mod->len, r.orders);
    EXPECT_EQ(xmp.info.mod->pat, r.patterns + 1);  // libxmp adds one empty pattern of its own
    EXPECT_EQ(xmp.info.mod->chn, r.channels);
    EXPECT_NEAR(xmp.info.seq_data[0].duration / 1000.0, r.duration, RowSeconds);
}

TEST(MusicModule, TheOpeningBuildsIntoTheBeatInTimeAndTheGrooveHoldsUntilTheBreakdown)
{
    const LoadedModule &r = loaded();
    ASSERT_FALSE(r.bytes.empty());
    ASSERT_EQ(r.instruments.size(), size_t(r.order_start.back()) * size_t(r.channels));
    // Drum instruments by name (numbered from 1 in the note cells).
    std::vector<int> drums;
    for (const char *drum : {"kick", "snare", "clap", "closed hat", "open hat", "crash", "tom", "shaker", "ride"})
        drums.push_back(r.instrument_number(drum));
    ASSERT_EQ(std::count(drums.begin(), drums.end(), -1), 0);
    auto drums_at = [&](int order, int row) {
        int count = 0;
        for (int channel = 0; channel < r.channels; channel++)
            count += std::find(drums.begin(), drums.end(), r.instrument_at(order, row, channel)) != drums.end();
        return count;
    };
    const TimelineEntry beat = scene_row("box_title_handler");  // where the full beat comes in
    const TimelineEntry breakdown = scene_row("believe_scene_handler");
    ASSERT_LT(beat.order, breakdown.order);
    // The opening: drums from its second order on, denser order by order
    // (drum notes per row: its orders differ in length).
    std::vector<double> per_row;
    for (int order = 0; order <= beat.order; order++) {
        int count = 0, rows = order < beat.order ? r.order_rows(order) : beat.row;
        for (int row = 0; row < rows; row++)
            count += drums_at(order, row);
        per_row.push_back(double(count) / rows);
    }
    EXPECT_GT(per_row.at(1), 0.0) << "no drums in the opening's second order";
    for (size_t order = 1; order < per_row.size(); order++)
        EXPECT_GE(per_row[order], per_row[order - 1]) << "the opening thins out at order " << order;
    EXPECT_GT(per_row.back(), 1.5 * per_row.at(1)) << "the opening does not build";
    // The box morph lasts until the beat. Its swell, |sin(0.0025 t)| over the
    // show's 20 ms ticks, has sunk to a fifth by 23.4 s and the box thins out
    // for seconds: the beat comes before that, after a build of 20 s or more.
    EXPECT_GT(position_seconds(beat.order, beat.row), 20.0);
    EXPECT_LT(position_seconds(beat.order, beat.row), 23.4);
    EXPECT_GT(drums_at(beat.order, beat.row), 0);
    // From there on the groove does not stop for a whole order until the breakdown.
    for (int order = beat.order + 1; order < breakdown.order; order++) {
        bool any = false;
        for (int row = 0; row < r.order_rows(order); row++)
            any = any || drums_at(order, row);
        EXPECT_TRUE(any) << "order " << order << " has no drums";
    }
}

// Every scene from the box title to the tunnel plays its own texture: between
// neighbours, several instruments change where in the bar they play (or come
// and go), or the key changes.
TEST(MusicModule, NeighbouringScenesSoundDifferent)
{
    const LoadedModule &r = loaded();
    ASSERT_FALSE(r.bytes.empty());
    std::vector<int> starts;  // first song row of each scene, up to the breakdown's
    for (const TimelineMark &mark : TimelineMarks) {
        if (!mark.name[0] || mark.order >= TimelineEndOrder)
            continue;
        int row = r.song_row(mark.order, mark.row);
        if (std::string(mark.name) != "box_morph_handler" && (starts.empty() || starts.back() != row))
            starts.push_back(row);
        if (std::string(mark.name) == "believe_scene_handler")
            break;
    }
    ASSERT_EQ(starts.size(), 7u);  // box title, title, ball, plane, ball, tunnel, and the breakdown
    // The channels that carry the key; their pads glide from chord to chord
    // with notes that name no instrument.
    std::set<int> harmony = channels_playing({"bass", "pad", "pad left", "pad right"});
    ASSERT_GE(harmony.size(), 4u);
    struct Texture {
        std::map<int, std::set<int>> rows_in_bar;  // by instrument
        std::set<int> scale;                       // pitch classes of the harmony
    };
    auto texture_of = [&](int first, int last) {
        Texture t;
        // The section's body: a bar in from its turn, to a bar before the next.
        for (int song_row = first + 16; song_row < last - 16; song_row++)
            for (int channel = 0; channel < r.channels; channel++) {
                size_t at = size_t(song_row) * size_t(r.channels) + size_t(channel);
                if (harmony.count(channel) && r.notes[at] && r.notes[at] < 97)
                    t.scale.insert(r.notes[at] % 12);
                if (int instrument = r.instruments[at])
                    t.rows_in_bar[instrument].insert(song_row % 16);
            }
        return t;
    };
    for (size_t k = 0; k + 2 < starts.size(); k++) {
        Texture a = texture_of(starts[k], starts[k + 1]), b = texture_of(starts[k + 1], starts[k + 2]);
        std::set<int> instruments;
        for (auto &[instrument, rows] : a.rows_in_bar)
            instruments.insert(instrument);
        for (auto &[instrument, rows] : b.rows_in_bar)
            instruments.insert(instrument);
        int changed = 0;
        for (int instrument : instruments)
            changed += a.rows_in_bar[instrument] != b.rows_in_bar[instrument];
        bool key_changed = a.scale != b.scale;
        EXPECT_GE(changed + 2 * key_changed, 9)
            << "the scenes starting at song rows " << starts[k] << " and " << starts[k + 1] << " sound alike: "
            << changed << " instruments change, key " << (key_changed ? "changes" : "stays");
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
    EXPECT_GE(r.order_end_reached, 5 * 60 + 15.0);
    EXPECT_LE(r.order_end_reached, 5 * 60 + 30.0);
    // The rows keep their pace all the way: order 46 starts on the beat.
    EXPECT_NEAR(r.order_end_reached, position_seconds(EndOrder, 0), 0.02);
}

TEST(MusicPlayback, PeaksJustUnderFullScaleBrightAndHoldsItsLevelUntilTheFade)
{
    const Rendering &r = rendering();
    ASSERT_FALSE(r.left.empty());
    float peak = 0.0f;
    for (size_t i = 0; i < r.left.size(); i++)
        peak = std::max(peak, std::max(std::fabs(r.left[i]), std::fabs(r.right[i])));
    // Normalised: just under full scale, neither clipped nor wasting headroom.
    EXPECT_LE(20.0 * std::log10(peak), -0.3);
    EXPECT_GE(20.0 * std::log10(peak), -1.5);
    // A bright top over a bass that does not swallow the mix.
    EXPECT_GE(band_share(r, 4000.0, true), 0.04);
    EXPECT_LE(band_share(r, 150.0, false), 0.5);

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

// The melody is heard: while the lead plays it is within 6 dB of the bass,
// and the arpeggio, which shares its register, rests or keeps an octave above.
TEST(MusicPlayback, TheLeadStandsOutAndTheArpeggioMakesWay)
{
    const LoadedModule &m = loaded();
    ASSERT_FALSE(m.bytes.empty());
    const int lead = m.instrument_number("lead"), arp = m.instrument_number("arp");
    ASSERT_GT(lead, 0);
    ASSERT_GT(arp, 0);
    std::set<int> lead_channels = channels_playing({"lead"});
    ASSERT_FALSE(lead_channels.empty());
    // Rows on which a lead note sounds (from its note to the next key-off or note), with its pitch.
    std::vector<int> lead_note(m.instruments.size() / size_t(m.channels), 0);
    for (int channel : lead_channels) {
        int sounding = 0;
        for (size_t row = 0; row < lead_note.size(); row++) {
            size_t at = row * size_t(m.channels) + size_t(channel);
            if (m.notes[at] == 97)
                sounding = 0;
            else if (m.notes[at])
                sounding = m.instruments[at] == lead ? m.notes[at] : 0;
            if (sounding)
                lead_note[row] = std::max(lead_note[row], sounding);
        }
    }
    int lead_rows = 0, clashes = 0;
    for (size_t row = 0; row < lead_note.size(); row++) {
        if (!lead_note[row])
            continue;
        lead_rows++;
        for (int channel = 0; channel < m.channels; channel++) {
            size_t at = row * size_t(m.channels) + size_t(channel);
            if (m.instruments[at] == arp && m.notes[at] < lead_note[row] + 12)
                clashes++;
        }
    }
    EXPECT_GT(lead_rows, 64 * 8) << "the lead plays for less than eight orders";
    EXPECT_EQ(clashes, 0) << "arpeggio notes in the lead's register while it plays";

    Rendering lead_alone = render_channels(channels_playing({"lead", "lead double"}));
    Rendering bass_alone = render_channels(channels_playing({"bass"}));
    double lead_power = 0.0, bass_power = 0.0;
    for (size_t row = 0; row < lead_note.size(); row++)
        if (lead_note[row]) {
            double start = double(row) * RowSeconds;
            lead_power += power(lead_alone, start, start + RowSeconds);
            bass_power += power(bass_alone, start, start + RowSeconds);
        }
    EXPECT_GE(decibels(lead_power) - decibels(bass_power), -6.0);
}
