// The show's music: an A minor electronic piece of 47 orders whose sections
// turn at the scene changes and whose accents land on the flash positions.
// Every section between the opening and the breakdown has its own groove,
// its own leading voice and, from the plane on, its own key, so that no two
// scenes in a row sound alike.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "assets.h"
#include "music/instruments.h"
#include "music/render.h"
#include "music/score.h"
#include "shell/timeline_marks.h"
#include "xm_writer.h"

namespace {

constexpr int Channels = 16;
constexpr int RowsPerBar = 16;
constexpr int SongEnd = music_order_start(MusicOrders);
constexpr int SongBars = SongEnd / RowsPerBar;
constexpr int LastTick = MusicSpeed - 1;

enum Channel {
    ChannelKick,
    ChannelSnare,
    ChannelHat,      // closed hat or shaker
    ChannelOpenHat,  // open hat or ride
    ChannelBass,
    ChannelPadLow,
    ChannelPadMid,
    ChannelPadHigh,
    ChannelArp,
    ChannelEcho,
    ChannelLead,
    ChannelStab,
    ChannelCrash,
    ChannelImpact,
    ChannelEffects,  // riser, bell
    ChannelTom,      // toms and snare runs of fills; its effect column carries the master volume
};

constexpr int at(int order, int row)
{
    return music_order_start(order) + row;
}

// The order a song row falls in.
constexpr int order_of(int row)
{
    int order = 0;
    while (order + 1 < MusicOrders && music_order_start(order + 1) <= row)
        order++;
    return order;
}

// Where the order after the one holding `row` begins: phrases start there.
constexpr int next_order_start(int row)
{
    return music_order_start(order_of(row) + 1);
}

constexpr int bar_at(int order, int row = 0)
{
    return at(order, row) / RowsPerBar;
}

// The first timeline row at or after `from` with this handler name and
// parameter, as a row of the song; the sections turn on the show's own rows.
constexpr int mark(std::string_view name, int param = 0, int from = 0)
{
    for (const TimelineMark &row : TimelineMarks)
        if (row.order != TimelineEndOrder && at(row.order, row.row) >= from && name == row.name && row.param == param)
            return at(row.order, row.row);
    return -1;
}

// Where the last fade ramp starts: the picture dissolves and the music fades with it.
constexpr int last_fade_start()
{
    int last = -1;
    for (const FadeKey &key : FadeTrack)
        if (key.order != FadeTrackEndOrder)
            last = at(key.order, key.row);
    return last;
}

constexpr int BeatStart = mark("box_title_handler");
constexpr int TitleStart = mark("title_scene_handler");
constexpr int GrooveStart = mark("ball_scene_handler");
constexpr int PlaneStart = mark("plane_scene_handler");
constexpr int BallAgainStart = mark("ball_scene_handler", 1);
constexpr int BallParamRow = mark("", 3, BallAgainStart);
constexpr int TunnelStart = mark("tunnel_scene_handler");
constexpr int BreakStart = mark("believe_scene_handler");
constexpr int BuildStart = mark("buddha_crossfade_handler");
constexpr int FlickerStart = mark("buddha_flicker_handler");
constexpr int GlowStart = mark("buddha_glow_handler");
constexpr int SystemStart = mark("system_scene_handler");
constexpr int SystemHats = mark("", 1, SystemStart);
constexpr int SystemKick = mark("", 2, SystemStart);
constexpr int SystemClap = mark("", 4, SystemStart);
constexpr int SystemLead = mark("", 8, SystemStart);
constexpr int SystemPeak = mark("", 16, SystemStart);
constexpr int SystemHits = mark("", 48, SystemStart);
constexpr int CreditsStart = mark("credits_scene_handler");
constexpr int FadeOutStart = last_fade_start();
constexpr int FadeOutEnd = SongEnd - music_order_rows(MusicOrders - 1) - 4;  // silent a beat before the last order

// The arrangement needs its turns in this order, each with room after it.
constexpr bool sections_in_order()
{
    const int turns[] = {RowsPerBar,   BeatStart,   TitleStart,   GrooveStart, PlaneStart, BallAgainStart,
                         BallParamRow, TunnelStart, BreakStart,   BuildStart,  FlickerStart, GlowStart,
                         SystemStart,  SystemHats,  SystemKick,   SystemClap,  SystemLead, SystemPeak,
                         SystemHits,   CreditsStart, FadeOutStart, FadeOutEnd};
    for (size_t k = 1; k < std::size(turns); k++)
        if (turns[k] <= turns[k - 1] + 1)
            return false;
    return true;
}
static_assert(sections_in_order(), "the show's rows no longer leave room for the music's sections");

// Note names as the module counts them.
constexpr uint8_t n(XmNoteName name, int octave)
{
    return xm_note(name, octave);
}

struct Chord {
    uint8_t pad[3];   // voiced close around middle C, voice-led from chord to chord
    uint8_t bass;     // root in the low octave
    uint8_t stab;     // root of the minor stab that fits (the relative minor of a major chord)
    bool operator==(const Chord &) const = default;
};

const Chord Am = {{n(XmA, 3), n(XmC, 4), n(XmE, 4)}, n(XmA, 1), n(XmA, 3)};
const Chord F = {{n(XmA, 3), n(XmC, 4), n(XmF, 4)}, n(XmF, 1), n(XmD, 4)};
const Chord C = {{n(XmG, 3), n(XmC, 4), n(XmE, 4)}, n(XmC, 2), n(XmA, 3)};
const Chord G = {{n(XmG, 3), n(XmB, 3), n(XmD, 4)}, n(XmG, 1), n(XmE, 4)};
const Chord Dm = {{n(XmA, 3), n(XmD, 4), n(XmF, 4)}, n(XmD, 2), n(XmD, 4)};
const Chord E = {{n(XmGs, 3), n(XmB, 3), n(XmE, 4)}, n(XmE, 2), n(XmCs, 4)};
const Chord Em = {{n(XmG, 3), n(XmB, 3), n(XmE, 4)}, n(XmE, 2), n(XmE, 4)};

// Semitones above A minor of a section's key.
constexpr int KeyDm = 5;  // the plane: the same progression a fourth up, softer
constexpr int KeyBm = 2;  // the ball again: a lift
constexpr int KeyCm = 3;  // the turn into the tunnel and the tunnel: lifted once more

// The whole song as one long pattern, and the chord and key of every bar.
struct Score {
    std::vector<XmCell> cells = std::vector<XmCell>(size_t(SongEnd) * Channels);
    Chord bars[SongBars] = {};
    int keys[SongBars] = {};
};

XmCell &cell_at(Score &score, int row, int channel)
{
    return score.cells[size_t(row) * Channels + size_t(channel)];
}

int bar_of(int row)
{
    return std::clamp(row / RowsPerBar, 0, SongBars - 1);
}

const Chord &chord_at(const Score &score, int row)
{
    return score.bars[bar_of(row)];
}

void play(Score &score, int row, int channel, uint8_t note, uint8_t instrument, int volume, uint8_t effect = 0,
          uint8_t param = 0)
{
    if (row < 0 || row >= SongEnd)
        return;
    cell_at(score, row, channel) = {note, instrument, xm_volume(volume), effect, param};
}

// Drums and effects play at a fixed pitch, the same in every key.
void hit(Score &score, int row, int channel, uint8_t instrument, int volume)
{
    play(score, row, channel, n(XmC, 4), instrument, volume);
}

void release(Score &score, int row, int channel)
{
    if (row < 0 || row >= SongEnd || cell_at(score, row, channel).note)
        return;
    cell_at(score, row, channel) = {XmKeyOff, 0, 0, 0, 0};
}

// A volume that grows from `from` to `to` across [start, end).
int ramp(int row, int start, int end, int from, int to)
{
    if (end <= start)
        return to;
    int clamped = std::clamp(row, start, end);
    return from + (to - from) * (clamped - start) / (end - start);
}

Chord transposed(const Chord &chord, int semitones)
{
    Chord moved = chord;
    for (uint8_t &note : moved.pad)
        note = uint8_t(note + semitones);
    moved.bass = uint8_t(moved.bass + semitones);
    moved.stab = uint8_t(moved.stab + semitones);
    return moved;
}

void set_progression(Score &score, int first_bar, std::initializer_list<const Chord *> chords, int repeats = 1)
{
    int bar = first_bar;
    for (int r = 0; r < repeats; r++)
        for (const Chord *chord : chords)
            if (bar < SongBars)
                score.bars[bar++] = *chord;
}

// Moves the bars from the first bar line at or after `start` to the one at
// or after `end` into the key `semitones` above A minor.
void set_key(Score &score, int start, int end, int semitones)
{
    for (int bar = (start + RowsPerBar - 1) / RowsPerBar; bar < (end + RowsPerBar - 1) / RowsPerBar && bar < SongBars;
         bar++) {
        score.bars[bar] = transposed(score.bars[bar], semitones - score.keys[bar]);
        score.keys[bar] = semitones;
    }
}

void write_progressions(Score &score)
{
    // Intro: two bars a chord, rising to the dominant before the beat.
    set_progression(score, 0, {&Am, &Am, &F, &F, &C, &C, &G, &G, &F, &F, &G, &G});
    // Beat, title and main groove: a chord a bar.
    set_progression(score, bar_at(7), {&Am, &F, &C, &G}, 6);
    // The plane floats over the minor's relatives, the ball comes back to the groove.
    set_progression(score, bar_at(13), {&F, &G, &Em, &Am, &F, &G, &C, &C});
    set_progression(score, bar_at(15), {&Am, &F, &C, &G}, 2);
    // Tunnel: the falling minor cadence.
    set_progression(score, bar_at(17), {&Am, &G, &F, &E}, 5);
    // Breakdown.
    set_progression(score, bar_at(22), {&F, &F, &G, &G, &Am, &Am});
    // The slow build, ending on the dominant.
    set_progression(score, bar_at(23, 32),
                    {&F, &F, &C, &C, &G, &G, &Am, &Am, &F, &F, &C, &C, &G, &G, &Dm, &Dm, &E, &E});
    // Glow: a chord a bar under the hits.
    set_progression(score, bar_at(28), {&Am, &F, &C, &G}, 4);
    // System: calm, then the peak with the harmonic minor's dominant.
    set_progression(score, bar_at(32), {&Am, &Am, &F, &F, &C, &C, &G, &G});
    set_progression(score, bar_at(34), {&Am, &F, &C, &G}, 4);
    set_progression(score, bar_at(38), {&Am, &F, &Dm, &E}, 4);
    set_progression(score, bar_at(42), {&Am, &F, &C, &G}, 4);
    set_progression(score, bar_at(46), {&Am, &Am, &Am, &Am});
    set_key(score, PlaneStart, BallAgainStart, KeyDm);
    set_key(score, BallAgainStart, BallParamRow, KeyBm);
    set_key(score, BallParamRow, BreakStart, KeyCm);
}

// ---- Parts --------------------------------------------------------------

// True when the channel's last event before `row` is a note still held.
bool note_held(Score &score, int row, int channel)
{
    for (int earlier = row - 1; earlier >= 0; earlier--) {
        uint8_t note = cell_at(score, earlier, channel).note;
        if (note)
            return note != XmKeyOff;
    }
    return false;
}

// Sustained pad chord at every chord change in [start, end); released at end.
// A voice already sounding glides to its new note instead of striking again,
// so the slow attack happens once and the chords change without a dip.
void pads(Score &score, int start, int end, int from_volume, int to_volume)
{
    constexpr uint8_t GlideSpeed = 0xFF;  // a whole chord change within one tick
    const Chord *current = nullptr;
    for (int row = start; row < end; row++) {
        const Chord &chord = chord_at(score, row);
        if (current && chord == *current)
            continue;
        current = &chord;
        int volume = ramp(row, start, end, from_volume, to_volume);
        for (int voice = 0; voice < 3; voice++) {
            int channel = ChannelPadLow + voice;
            if (note_held(score, row, channel))
                play(score, row, channel, chord.pad[voice], 0, volume, XmEffectPortamento, GlideSpeed);
            else
                play(score, row, channel, chord.pad[voice], uint8_t(InstrumentPad + voice), volume);
        }
    }
    for (int voice = 0; voice < 3; voice++)
        release(score, end, ChannelPadLow + voice);
}

// The pads duck on every beat and swell back before the next, as if pushed
// aside by the kick: the pumping that drives the faster sections.
void pump_pads(Score &score, int start, int end, int volume)
{
    const int swell[4] = {volume * 3 / 10, volume * 6 / 10, volume * 85 / 100, volume};
    for (int row = start; row < end; row++)
        for (int channel = ChannelPadLow; channel <= ChannelPadHigh; channel++) {
            XmCell &cell = cell_at(score, row, channel);
            if (cell.note != XmKeyOff)
                cell.volume = xm_volume(swell[row % 4]);
        }
}

// Arpeggio over two octaves of the chord; `pattern` indexes chord tones
// (0-2 the pad's tones an octave up, 3-5 another octave higher). It only
// plays where the lead rests: the two share a register.
void arpeggio(Score &score, int start, int end, const int (&pattern)[16], int step, int from_volume, int to_volume)
{
    for (int row = start; row < end; row += step) {
        const Chord &chord = chord_at(score, row);
        int index = pattern[(row / step) % 16];
        uint8_t note = uint8_t(chord.pad[index % 3] + 12 * (1 + index / 3));
        int volume = ramp(row, start, end, from_volume, to_volume);
        play(score, row, ChannelArp, note, InstrumentArp, volume);
        // The echo answers three rows later, quieter, from the other side.
        if (row + 3 < end)
            play(score, row + 3, ChannelEcho, note, InstrumentArpEcho, volume * 2 / 5);
    }
}

// Bass figures.
enum BassStyle { BassHeld, BassOffbeat, BassRolling, BassDriving, BassPulse };

void bassline(Score &score, int start, int end, BassStyle style, int from_volume, int to_volume)
{
    const Chord *held = nullptr;
    for (int row = start; row < end; row++) {
        const Chord &chord = chord_at(score, row);
        int beat_row = row % 4;
        int volume = ramp(row, start, end, from_volume, to_volume);
        switch (style) {
        case BassHeld:
            if (!held || !(chord == *held)) {
                play(score, row, ChannelBass, chord.bass, InstrumentBass, volume);
                held = &chord;
            }
            break;
        case BassOffbeat:
            if (beat_row == 2)
                play(score, row, ChannelBass, chord.bass, InstrumentBass, volume);
            else if (beat_row == 3)
                release(score, row, ChannelBass);
            break;
        case BassRolling:
            // Three sixteenths between the kicks, the middle one an octave up.
            if (beat_row == 1 || beat_row == 3)
                play(score, row, ChannelBass, chord.bass, InstrumentBass, volume);
            else if (beat_row == 2)
                play(score, row, ChannelBass, uint8_t(chord.bass + 12), InstrumentBass, volume);
            else
                release(score, row, ChannelBass);
            break;
        case BassDriving:
            if (beat_row == 0)
                play(score, row, ChannelBass, chord.bass, InstrumentBass, volume * 3 / 4);
            else
                play(score, row, ChannelBass, uint8_t(chord.bass + (beat_row == 2 ? 12 : 0)), InstrumentBass, volume);
            break;
        case BassPulse:
            // Dotted: the root on the bar, the fifth and the octave after it.
            if (row % RowsPerBar == 0)
                play(score, row, ChannelBass, chord.bass, InstrumentBass, volume);
            else if (row % RowsPerBar == 6)
                play(score, row, ChannelBass, uint8_t(chord.bass + 7), InstrumentBass, volume * 4 / 5);
            else if (row % RowsPerBar == 10)
                play(score, row, ChannelBass, uint8_t(chord.bass + 12), InstrumentBass, volume * 4 / 5);
            else if (row % RowsPerBar == 14)
                release(score, row, ChannelBass);
            break;
        }
    }
    release(score, end, ChannelBass);
}

// A bar of drums as text, one character a row: 'X' full, 'x' softer, 'o'
// ghost, '.' rest.
struct Groove {
    const char *kick;
    const char *snare;
    const char *hat;
    const char *open;
    uint8_t snare_instrument;
    uint8_t hat_instrument;
    uint8_t open_instrument;
};

int stroke_percent(char stroke)
{
    switch (stroke) {
    case 'X':
        return 100;
    case 'x':
        return 65;
    case 'o':
        return 40;
    default:
        return 0;
    }
}

// Plays the groove over [start, end) at volumes (at full stroke) growing from
// `from` to `to` percent of each drum's level.
void groove(Score &score, int start, int end, const Groove &drums, int from, int to)
{
    constexpr int KickLevel = 64, SnareLevel = 62, HatLevel = 62, OpenLevel = 58;
    struct Lane {
        const char *pattern;
        int channel;
        uint8_t instrument;
        int level;
    };
    const Lane lanes[] = {{drums.kick, ChannelKick, InstrumentKick, KickLevel},
                          {drums.snare, ChannelSnare, drums.snare_instrument, SnareLevel},
                          {drums.hat, ChannelHat, drums.hat_instrument, HatLevel},
                          {drums.open, ChannelOpenHat, drums.open_instrument, OpenLevel}};
    for (int row = start; row < end; row++) {
        int percent = ramp(row, start, end, from, to);
        for (const Lane &lane : lanes) {
            int stroke = lane.pattern ? stroke_percent(lane.pattern[row % RowsPerBar]) : 0;
            if (stroke)
                hit(score, row, lane.channel, lane.instrument, lane.level * stroke * percent / 10000);
        }
    }
}

struct MelodyNote {
    int row;     // within the 64-row phrase
    uint8_t note;
    int length;  // in rows
};

// The phrase repeated every order from `phrase_start`, in the key of each
// note's bar (the phrases are written in A minor).
void melody(Score &score, int start, int end, int phrase_start, const std::vector<MelodyNote> &phrase, int channel,
            uint8_t instrument, int volume)
{
    for (int base = phrase_start; base < end; base += MusicRowsPerOrder)
        for (const MelodyNote &note : phrase) {
            int row = base + note.row;
            if (row < start || row >= end)
                continue;
            play(score, row, channel, uint8_t(note.note + score.keys[bar_of(row)]), instrument, volume);
            if (row + note.length < end)
                release(score, row + note.length, channel);
        }
    release(score, end, channel);
}

// The lead with its double: the same line a few cents sharp on the echo
// channel (free while the arpeggio rests), for a wider, louder voice.
void lead(Score &score, int start, int end, int phrase_start, const std::vector<MelodyNote> &phrase, int volume)
{
    melody(score, start, end, phrase_start, phrase, ChannelLead, InstrumentLead, volume);
    melody(score, start, end, phrase_start, phrase, ChannelEcho, InstrumentLeadDouble, volume * 7 / 8);
}

bool accent_between(int first, int last)
{
    for (const MusicPosition &position : music_accent_positions()) {
        int row = at(position.order, position.row);
        if (row >= first && row <= last)
            return true;
    }
    return false;
}

// A snare run over the last beat of every second order, where no flash
// needs the space.
void turnarounds(Score &score, int start, int end)
{
    constexpr int RunRows = 4;
    for (int order = order_of(start); order <= order_of(end); order++) {
        int first = at(order, music_order_rows(order) - RunRows);
        if (order % 2 == 0 || first < start || first + RunRows > end || accent_between(first, first + RunRows + 1))
            continue;
        for (int i = 0; i < RunRows; i++)
            hit(score, first + i, ChannelTom, InstrumentSnare, 28 + 6 * i);
    }
}

// A snare roll into `end`: eighths, then sixteenths for the last `sixteenths` rows.
void snare_roll(Score &score, int start, int end, int sixteenths, int from_volume, int to_volume)
{
    for (int row = start; row < end; row += row < end - sixteenths ? 2 : 1)
        hit(score, row, ChannelTom, InstrumentSnare, ramp(row, start, end, from_volume, to_volume));
}

// ---- Accents ------------------------------------------------------------

enum AccentStyle { AccentCrash, AccentStab, AccentHit, AccentBig };

// A hit on one row: the stab of the chord (anticipating the next bar's chord
// in a bar's last two rows) with a crash, a clap or the low impact.
void accent(Score &score, int row, AccentStyle style)
{
    const Chord &chord = chord_at(score, row % RowsPerBar >= RowsPerBar - 2 ? row + 2 : row);
    play(score, row, ChannelStab, chord.stab, InstrumentStab, style == AccentCrash ? 40 : 52);
    switch (style) {
    case AccentBig:
        hit(score, row, ChannelImpact, InstrumentImpact, 60);
        hit(score, row, ChannelKick, InstrumentKick, 60);
        [[fallthrough]];
    case AccentCrash:
        hit(score, row, ChannelCrash, InstrumentCrash, 44);
        break;
    case AccentHit:
        hit(score, row, ChannelImpact, InstrumentImpact, 52);
        [[fallthrough]];
    case AccentStab:
        hit(score, row, ChannelSnare, InstrumentClap, 50);
        break;
    }
}

// ---- Sections -----------------------------------------------------------

const int ArpRise[16] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 2, 3};
const int ArpWide[16] = {0, 2, 4, 2, 1, 3, 5, 3, 0, 2, 4, 5, 4, 2, 1, 2};
const int ArpHigh[16] = {3, 4, 5, 4, 3, 4, 5, 3, 2, 3, 4, 5, 4, 3, 2, 1};
const int ArpBroken[16] = {0, 3, 1, 4, 2, 5, 1, 4, 0, 3, 2, 5, 1, 4, 2, 3};

// The opening builds in three steps: a shaker alone, a kick on the half bar,
// then the full pulse with a soft clap.
const Groove OpeningShaker = {nullptr, nullptr, "xoXoxoXoxoXoxoXo", nullptr, 0, InstrumentShaker, 0};
const Groove OpeningPulse = {"X.......X.......", nullptr, "xoXoxoXoxoXoxoXo", nullptr, 0, InstrumentShaker, 0};
const Groove OpeningFloor = {"X...X...X...X...", "............o...", "ooxoooxoooxoooxo", "..o...o...o...o.",
                             InstrumentClap, InstrumentClosedHat, InstrumentOpenHat};
// The box title: kick and open hats under the stabs, no backbeat.
const Groove BeatGroove = {"X...X...X...X...", nullptr, "x.o.x.o.x.o.x.o.", "..X...X...X...X.", 0,
                           InstrumentClosedHat, InstrumentOpenHat};
// The title: half time on a ride, the theme on top.
const Groove TitleGroove = {"X.........X.....", "........X.......", "o.o.o.o.o.o.o.o.", "X.x.X.x.X.x.X.x.",
                            InstrumentSnare, InstrumentShaker, InstrumentRide};
// The ball: four on the floor, claps, sixteenths.
const Groove BallGroove = {"X...X...X...X...", "....X.......X...", "xoXoxoXoxoXoxoXo", "..x...x...x...x.",
                           InstrumentClap, InstrumentClosedHat, InstrumentOpenHat};
// The plane breathes: a slow half-time pulse under a shaker.
const Groove PlaneGroove = {"X.........o.....", "........x.......", "xoxoxoxoxoxoxoxo", nullptr, InstrumentClap,
                            InstrumentShaker, 0};
// The ball again: a broken beat.
const Groove BrokenGroove = {"X.....X...X.....", "....X.......X..o", "XoxoXoxoXoxoXoxo", "..............X.",
                             InstrumentSnare, InstrumentClosedHat, InstrumentOpenHat};
// The turn toward the tunnel: no kick, only hats.
const Groove TurnHats = {nullptr, nullptr, "xoXoxoXoxoXoxoXo", "..x...x...x...x.", 0, InstrumentClosedHat,
                         InstrumentOpenHat};
// The tunnel: driving, with a ride on the eighths.
const Groove TunnelGroove = {"X...X...X...X...", "....X.......X...", "xxXxxxXxxxXxxxXx", "X.x.X.x.X.x.X.x.",
                             InstrumentSnare, InstrumentClosedHat, InstrumentRide};
// The glow: half time under its hits.
const Groove GlowGroove = {"X.........X.....", "............X...", "o.x.o...o.x.o.x.", nullptr, InstrumentSnare,
                           InstrumentClosedHat, 0};
// The system's layers, one more at each parameter row, and its peak.
const Groove SystemHatsOnly = {nullptr, nullptr, "oox.oox.oox.oox.", nullptr, 0, InstrumentClosedHat, 0};
const Groove SystemFloor = {"X...X...X...X...", nullptr, "xoXoxoXoxoXoxoXo", "..x...x...x...x.", 0,
                            InstrumentClosedHat, InstrumentOpenHat};
const Groove SystemFull = {"X...X...X...X...", "....X.......X...", "xoXoxoXoxoXoxoXo", "..x...x...x...x.",
                           InstrumentClap, InstrumentClosedHat, InstrumentOpenHat};
const Groove OutroGroove = {"X...X...X...X...", nullptr, "o.x.o.x.o.x.o.x.", "..o...o...o...o.", 0,
                            InstrumentClosedHat, InstrumentOpenHat};
const Groove BuildHats = {nullptr, nullptr, "o.x.o.x.o.x.o.x.", nullptr, 0, InstrumentClosedHat, 0};
const Groove FlickerDrums = {"X...X...X...X...", nullptr, "xoXoxoXoxoXoxoXo", nullptr, 0, InstrumentClosedHat, 0};

// Levels: the lead stands in front of the bass; the pads and the arpeggio sit
// behind both.
constexpr int LeadLevel = 64;
constexpr int BassLevel = 54;
constexpr int BellLevel = 58;

const std::vector<MelodyNote> IntroBells = {
    {0, n(XmE, 5), 8},  {12, n(XmC, 5), 4}, {32, n(XmA, 4), 8}, {44, n(XmC, 5), 4},
    {48, n(XmE, 5), 6}, {56, n(XmD, 5), 8},
};

const std::vector<MelodyNote> LeadCall = {
    {0, n(XmE, 5), 6},  {6, n(XmD, 5), 2},  {8, n(XmC, 5), 4},  {12, n(XmB, 4), 2}, {14, n(XmC, 5), 2},
    {16, n(XmA, 4), 10}, {26, n(XmC, 5), 2}, {28, n(XmF, 5), 4}, {32, n(XmE, 5), 6}, {38, n(XmG, 5), 4},
    {42, n(XmE, 5), 2}, {44, n(XmD, 5), 2}, {46, n(XmC, 5), 2}, {48, n(XmD, 5), 10}, {58, n(XmB, 4), 2},
    {60, n(XmG, 4), 4},
};

const std::vector<MelodyNote> LeadAnswer = {
    {0, n(XmE, 5), 6},  {6, n(XmD, 5), 2},  {8, n(XmC, 5), 4},  {12, n(XmE, 5), 4}, {16, n(XmF, 5), 8},
    {24, n(XmE, 5), 4}, {28, n(XmC, 5), 4}, {32, n(XmG, 5), 6}, {38, n(XmE, 5), 4}, {42, n(XmC, 5), 2},
    {44, n(XmD, 5), 4}, {48, n(XmB, 4), 6}, {54, n(XmC, 5), 2}, {56, n(XmD, 5), 4}, {60, n(XmE, 5), 4},
};

const std::vector<MelodyNote> TunnelRiff = {
    {0, n(XmA, 4), 2},  {3, n(XmC, 5), 2},  {6, n(XmE, 5), 2},  {8, n(XmA, 5), 4},  {12, n(XmG, 5), 2},
    {14, n(XmE, 5), 2}, {16, n(XmD, 5), 2}, {19, n(XmG, 4), 2}, {22, n(XmB, 4), 2}, {24, n(XmD, 5), 4},
    {28, n(XmB, 4), 2}, {30, n(XmD, 5), 2}, {32, n(XmC, 5), 2}, {35, n(XmA, 4), 2}, {38, n(XmF, 4), 2},
    {40, n(XmA, 4), 4}, {44, n(XmC, 5), 2}, {46, n(XmF, 5), 2}, {48, n(XmE, 5), 6}, {54, n(XmD, 5), 2},
    {56, n(XmB, 4), 4}, {60, n(XmGs, 4), 4},
};

const std::vector<MelodyNote> PeakTheme = {
    {0, n(XmE, 5), 4},  {4, n(XmA, 5), 4},  {8, n(XmG, 5), 2},  {10, n(XmE, 5), 6}, {16, n(XmF, 5), 4},
    {20, n(XmE, 5), 4}, {24, n(XmC, 5), 4}, {28, n(XmA, 4), 4}, {32, n(XmD, 5), 4}, {36, n(XmF, 5), 4},
    {40, n(XmA, 5), 6}, {46, n(XmG, 5), 2}, {48, n(XmGs, 5), 8}, {56, n(XmE, 5), 4}, {60, n(XmB, 4), 4},
};

const std::vector<MelodyNote> BreakBells = {
    {0, n(XmC, 5), 6},  {6, n(XmA, 4), 4},  {10, n(XmF, 4), 6}, {16, n(XmC, 5), 4}, {20, n(XmD, 5), 4},
    {24, n(XmE, 5), 8}, {32, n(XmD, 5), 6}, {38, n(XmB, 4), 4}, {42, n(XmG, 4), 6}, {48, n(XmB, 4), 4},
    {52, n(XmD, 5), 4}, {56, n(XmG, 5), 8},
};

// The plane's bells: high, sparse, one long note a bar (over F, G, Em, Am).
const std::vector<MelodyNote> PlaneBells = {
    {0, n(XmA, 5), 10}, {10, n(XmC, 6), 6}, {16, n(XmB, 5), 12}, {28, n(XmD, 6), 4},
    {32, n(XmG, 5), 12}, {44, n(XmB, 5), 4}, {48, n(XmE, 5), 8}, {56, n(XmC, 6), 8},
};

// Twelve bars: the pad alone, a shaker, a kick on the half bar under the
// bass, then four on the floor with the arpeggio, and the last two bars the
// riser and a snare roll over the shaker into the beat.
static_assert(at(4, 0) + RowsPerBar <= BeatStart - 2 * RowsPerBar, "the opening's floor needs room before its roll");

void write_intro(Score &score)
{
    int drop = BeatStart - 2 * RowsPerBar;
    pads(score, 0, BeatStart, 64, 58);
    melody(score, RowsPerBar, at(6, 0), 0, IntroBells, ChannelEffects, InstrumentBell, BellLevel);
    bassline(score, at(2, 0), BeatStart, BassHeld, 24, BassLevel);
    arpeggio(score, at(4, 0), drop, ArpRise, 1, 18, 47);
    groove(score, at(1, 0), at(2, 0), OpeningShaker, 30, 60);
    groove(score, at(2, 0), at(4, 0), OpeningPulse, 60, 80);
    groove(score, at(4, 0), drop, OpeningFloor, 70, 90);
    groove(score, drop, BeatStart, OpeningShaker, 70, 100);
    snare_roll(score, drop, BeatStart, RowsPerBar, 16, 50);
    hit(score, drop, ChannelEffects, InstrumentRiser, 40);
}

void write_beat(Score &score)
{
    int fill = TitleStart - 8;
    accent(score, BeatStart, AccentBig);
    groove(score, BeatStart + 2, fill, BeatGroove, 90, 100);
    bassline(score, BeatStart, TitleStart, BassOffbeat, BassLevel, BassLevel + 2);
    pads(score, BeatStart, TitleStart, 39, 39);
    arpeggio(score, BeatStart, fill, ArpWide, 1, 47, 55);
    // Fill into the title: toms falling, then a snare run.
    const uint8_t toms[] = {n(XmA, 4), n(XmF, 4), n(XmD, 4), n(XmC, 4)};
    for (int i = 0; i < 4; i++)
        play(score, fill + i, ChannelTom, toms[i], InstrumentTom, 40 + 4 * i);
    for (int row = fill + 4; row < TitleStart; row++)
        hit(score, row, ChannelSnare, InstrumentSnare, 30 + 4 * (row - fill - 4));
}

void write_title(Score &score)
{
    // The theme's first statement over half-time drums; the arpeggio rests.
    int phrase = next_order_start(TitleStart);
    accent(score, TitleStart, AccentBig);
    groove(score, phrase, GrooveStart, TitleGroove, 100, 100);
    bassline(score, TitleStart, GrooveStart, BassPulse, BassLevel, BassLevel);
    pads(score, TitleStart, GrooveStart, 51, 51);
    lead(score, phrase, GrooveStart - 2, phrase, LeadCall, LeadLevel);
}

void write_groove(Score &score)
{
    // The ball: the full groove and the arpeggio, no lead.
    int bar = (GrooveStart / RowsPerBar + 1) * RowsPerBar;
    accent(score, GrooveStart, AccentBig);
    groove(score, bar, PlaneStart, BallGroove, 100, 100);
    bassline(score, GrooveStart, PlaneStart, BassRolling, BassLevel, BassLevel);
    pads(score, GrooveStart, PlaneStart, 47, 47);
    pump_pads(score, bar, PlaneStart, 51);
    arpeggio(score, GrooveStart, PlaneStart, ArpWide, 1, 51, 51);
    turnarounds(score, bar, PlaneStart);

    // The plane, in D minor: the drums thin out to a slow pulse, the bass
    // holds, high bells and a slow arpeggio float over the pads.
    accent(score, PlaneStart, AccentCrash);
    groove(score, PlaneStart, BallAgainStart, PlaneGroove, 80, 90);
    bassline(score, PlaneStart, BallAgainStart, BassHeld, BassLevel - 6, BassLevel - 6);
    pads(score, PlaneStart, BallAgainStart, 55, 55);
    arpeggio(score, PlaneStart, BallAgainStart, ArpHigh, 2, 40, 44);
    int bells = next_order_start(PlaneStart);
    melody(score, bells, BallAgainStart, bells, PlaneBells, ChannelEffects, InstrumentBell, BellLevel);

    // The ball again, a tone up: a broken beat under the lead's answer.
    int answer = next_order_start(BallAgainStart);
    groove(score, BallAgainStart + 2, BallParamRow, BrokenGroove, 100, 100);
    bassline(score, BallAgainStart, BallParamRow, BassRolling, BassLevel, BassLevel);
    pads(score, BallAgainStart, BallParamRow, 43, 43);
    lead(score, answer, BallParamRow, answer, LeadAnswer, LeadLevel);
    turnarounds(score, BallAgainStart, BallParamRow);

    // Turn into the tunnel: the kick drops out under rising hats and a snare
    // roll, the bass drives, the arpeggio comes back, a riser and a tom run.
    int run = TunnelStart - 8;
    groove(score, BallParamRow, run, TurnHats, 60, 100);
    snare_roll(score, run - RowsPerBar, run, 8, 20, 44);
    bassline(score, BallParamRow, TunnelStart, BassDriving, BassLevel, BassLevel + 4);
    pads(score, BallParamRow, TunnelStart, 39, 39);
    arpeggio(score, BallParamRow, TunnelStart, ArpRise, 1, 44, 55);
    hit(score, TunnelStart - 32, ChannelEffects, InstrumentRiser, 44);
    for (int row = run; row < TunnelStart; row++)
        play(score, row, ChannelTom, uint8_t(n(XmG, 4) - (row - run)), InstrumentTom, 34 + 3 * (row - run));
}

void write_tunnel(Score &score)
{
    // Pumping pads, a driving bass and ride, and the riff; the arpeggio rests.
    int end = BreakStart - RowsPerBar - 2;  // the last bar before the breakdown: only the hits
    int riff = next_order_start(TunnelStart);
    groove(score, TunnelStart, end, TunnelGroove, 100, 100);
    bassline(score, TunnelStart, end, BassDriving, BassLevel + 2, BassLevel + 2);
    pads(score, TunnelStart, BreakStart, 47, 47);
    pump_pads(score, TunnelStart, end, 58);
    lead(score, riff, end, riff, TunnelRiff, LeadLevel);
    turnarounds(score, TunnelStart, end);
}

void write_breakdown(Score &score)
{
    pads(score, BreakStart, BuildStart, 58, 64);
    // The bass steps back: a soft held root only from the second chord on.
    int second_chord = BreakStart + 2 + 2 * RowsPerBar;
    bassline(score, second_chord, BuildStart, BassHeld, 22, 28);
    int bells = next_order_start(BreakStart);
    melody(score, bells, BuildStart, bells, BreakBells, ChannelEffects, InstrumentBell, BellLevel);
    arpeggio(score, second_chord, BuildStart, ArpRise, 2, 18, 32);
}

void write_build(Score &score)
{
    int roll = GlowStart - 2 * MusicRowsPerOrder + 40;
    pads(score, BuildStart, GlowStart, 47, 58);
    arpeggio(score, BuildStart, GlowStart, ArpRise, 1, 26, 55);
    bassline(score, BuildStart, FlickerStart, BassHeld, BassLevel, BassLevel);
    bassline(score, FlickerStart, GlowStart, BassOffbeat, BassLevel, BassLevel + 4);
    groove(score, BuildStart, FlickerStart, BuildHats, 30, 60);
    groove(score, FlickerStart, GlowStart - 24, FlickerDrums, 60, 100);
    // Snare roll: eighths, then sixteenths, growing into the glow.
    snare_roll(score, roll, GlowStart - 8, 24, 16, 44);
    hit(score, GlowStart - 32, ChannelEffects, InstrumentRiser, 46);
}

void write_glow(Score &score)
{
    int bar = (GlowStart / RowsPerBar + 1) * RowsPerBar;
    pads(score, GlowStart, SystemStart, 51, 51);
    bassline(score, GlowStart, SystemStart, BassHeld, BassLevel + 4, BassLevel + 4);
    groove(score, bar, SystemStart - 1, GlowGroove, 100, 100);
    arpeggio(score, GlowStart, SystemStart - 1, ArpWide, 2, 40, 47);
}

void write_system(Score &score)
{
    // Calm arpeggio and pads, then one layer more at each parameter row; the
    // arpeggio makes way for the lead.
    int bells = next_order_start(SystemStart);
    int call = music_order_start(order_of(SystemLead));
    pads(score, SystemStart, SystemPeak, 43, 51);
    arpeggio(score, SystemStart, SystemLead, ArpBroken, 1, 32, 51);
    melody(score, bells, SystemKick, bells, IntroBells, ChannelEffects, InstrumentBell, BellLevel - 4);
    bassline(score, SystemHats, SystemKick, BassHeld, BassLevel, BassLevel);
    groove(score, SystemHats, SystemKick, SystemHatsOnly, 60, 80);
    groove(score, SystemKick, SystemClap, SystemFloor, 90, 100);
    bassline(score, SystemKick, SystemClap, BassOffbeat, BassLevel, BassLevel);
    groove(score, SystemClap, SystemHits, SystemFull, 100, 100);
    bassline(score, SystemClap, SystemPeak, BassRolling, BassLevel, BassLevel);
    lead(score, SystemLead, SystemPeak, call, LeadCall, LeadLevel - 4);
    hit(score, SystemPeak - 32, ChannelEffects, InstrumentRiser, 44);

    // The peak: pumping pads, the driving bass and the peak theme.
    int theme = next_order_start(SystemPeak);
    pads(score, SystemPeak, CreditsStart, 47, 47);
    pump_pads(score, SystemPeak, SystemHits, 58);
    bassline(score, SystemPeak, SystemHits, BassDriving, BassLevel + 2, BassLevel + 2);
    lead(score, theme, SystemHits, theme, PeakTheme, LeadLevel);
    turnarounds(score, SystemClap, SystemHits);
}

void write_outro(Score &score, int master)
{
    int calm = next_order_start(CreditsStart);
    accent(score, CreditsStart, AccentBig);
    pads(score, CreditsStart, FadeOutEnd, 55, 55);
    bassline(score, calm, FadeOutEnd, BassHeld, BassLevel, BassLevel - 6);
    arpeggio(score, calm, FadeOutEnd, ArpRise, 1, 47, 32);
    groove(score, calm, FadeOutStart, OutroGroove, 90, 80);
    melody(score, calm, FadeOutEnd, calm, LeadAnswer, ChannelEffects, InstrumentBell, BellLevel - 6);

    // The master volume sinks to silence while the picture dissolves.
    for (int row = FadeOutStart; row <= FadeOutEnd; row++) {
        double left = double(FadeOutEnd - row) / double(FadeOutEnd - FadeOutStart);
        XmCell &cell = cell_at(score, row, ChannelTom);
        cell.effect = XmEffectGlobalVolume;
        cell.param = uint8_t(master * left * left);
    }
}

// Fade kinds whose flashes call for more than a stab.
constexpr int KindBallPulse = 4;      // the ball's and the glow's strong flash
constexpr int KindSnapshotFlash = 6;  // the believe snapshot over the tunnel's end
constexpr int KindRampFirst = 5;      // long ramps (crossfades, system fades) ...
constexpr int KindRampLast = 10;      // ... get a crash, which rings as long

// Every flash of the show lands on a hit: scene changes get the full hit,
// strong flashes and the glow's pulses the low impact, long ramps a crash,
// the rest a stab and clap.
void write_accents(Score &score)
{
    const int scene_changes[] = {BeatStart, TitleStart, TunnelStart, GlowStart, SystemPeak, CreditsStart, FadeOutStart};
    for (const MusicPosition &position : music_accent_positions()) {
        int row = at(position.order, position.row);
        AccentStyle style = AccentStab;
        if (std::find(std::begin(scene_changes), std::end(scene_changes), row) != std::end(scene_changes))
            style = AccentBig;
        else if (position.kind == KindBallPulse || position.kind == KindSnapshotFlash ||
                 (row > GlowStart && row < SystemStart))
            style = AccentHit;
        else if (position.kind >= KindRampFirst && position.kind <= KindRampLast)
            style = AccentCrash;
        accent(score, row, style);
    }
}

// The last volume a channel was given before `row`, or 0 when its note was
// released (nothing to bring back).
uint8_t volume_before(Score &score, int row, int channel)
{
    for (int earlier = row - 1; earlier >= 0; earlier--) {
        const XmCell &cell = cell_at(score, earlier, channel);
        if (cell.note == XmKeyOff)
            return 0;
        if (cell.volume)
            return cell.volume;
        if (cell.note)
            return xm_volume(64);
    }
    return 0;
}

// The loud and low channels fall silent for the last tick before a hit and
// come back on the hit: the short breath makes each hit jump out of the mix.
// Closed hats and bells play through.
void breathe_before_accents(Score &score)
{
    const Channel gated[] = {ChannelKick, ChannelSnare, ChannelOpenHat, ChannelBass,  ChannelPadLow,
                             ChannelPadMid, ChannelPadHigh, ChannelArp, ChannelEcho, ChannelLead,
                             ChannelStab, ChannelCrash, ChannelImpact, ChannelTom};
    for (const MusicPosition &position : music_accent_positions()) {
        int row = at(position.order, position.row);
        if (row < 1)
            continue;
        for (int channel : gated) {
            XmCell &before = cell_at(score, row - 1, channel);
            if (before.effect || before.param)
                continue;
            uint8_t volume = volume_before(score, row, channel);
            if (!volume)
                continue;
            before.effect = XmEffectExtended;
            before.param = XmNoteCut | LastTick;
            XmCell &hit = cell_at(score, row, channel);
            if (!hit.note && !hit.volume)
                hit.volume = volume;
        }
    }
}

XmModule arrange(int master)
{
    Score score;
    write_progressions(score);
    write_intro(score);
    write_beat(score);
    write_title(score);
    write_groove(score);
    write_tunnel(score);
    write_breakdown(score);
    write_build(score);
    write_glow(score);
    write_system(score);
    write_outro(score, master);
    write_accents(score);
    breathe_before_accents(score);
    cell_at(score, 0, ChannelTom).effect = XmEffectGlobalVolume;
    cell_at(score, 0, ChannelTom).param = uint8_t(master);

    XmModule module;
    module.name = "orvanti";
    module.channels = Channels;
    module.speed = MusicSpeed;
    module.tempo = MusicTempo;
    module.instruments = make_music_instruments();
    // Identical orders share one pattern.
    for (int order = 0; order < MusicOrders; order++) {
        XmPattern pattern = make_xm_pattern(music_order_rows(order), Channels);
        std::copy_n(score.cells.begin() + std::ptrdiff_t(at(order, 0)) * Channels, pattern.cells.size(),
                    pattern.cells.begin());
        size_t index = 0;
        while (index < module.patterns.size() && module.patterns[index].cells != pattern.cells)
            index++;
        if (index == module.patterns.size())
            module.patterns.push_back(std::move(pattern));
        module.orders.push_back(uint8_t(index));
    }
    return module;
}

std::vector<uint8_t> encode_music(int master)
{
    std::vector<uint8_t> bytes;
    std::string failure = encode_xm(arrange(master), bytes);
    if (!failure.empty()) {
        fprintf(stderr, "orvanti-assets: orvanti.xm: %s\n", failure.c_str());
        bytes.clear();
    }
    return bytes;
}

}  // namespace

// The mix is played once at a trial master volume and then set, by the
// master volume alone, so that its loudest sample lands just under full scale.
std::vector<uint8_t> compose_music()
{
    constexpr int TrialMaster = 32;
    constexpr double TargetPeak = 0.9;  // -0.9 dBFS
    std::vector<uint8_t> bytes = encode_music(TrialMaster);
    double peak = bytes.empty() ? -1.0 : measure_music_peak(bytes);
    if (peak <= 0.0) {
        if (!bytes.empty())
            fprintf(stderr, "orvanti-assets: orvanti.xm: the music does not play\n");
        return {};
    }
    int master = std::clamp(int(TrialMaster * TargetPeak / peak), 1, 64);
    return encode_music(master);
}
