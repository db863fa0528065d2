// The show's music: an A minor electronic piece of 47 orders whose sections
// turn at the scene changes and whose accents land on the flash positions.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>

#include "assets.h"
#include "music/instruments.h"
#include "music/score.h"
#include "xm_writer.h"

namespace {

constexpr int Channels = 16;
constexpr int RowsPerBar = 16;
constexpr int BarsPerOrder = MusicRowsPerOrder / RowsPerBar;
constexpr int SongBars = MusicOrders * BarsPerOrder;
constexpr uint8_t MasterVolume = 64;  // global volume at the start; the outro fades it
constexpr int LastTick = MusicSpeed - 1;

enum Channel {
    ChannelKick,
    ChannelSnare,
    ChannelHat,
    ChannelOpenHat,
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
    ChannelTom,      // toms and snare runs of fills; its effect column carries the master fade
};

constexpr int at(int order, int row)
{
    return order * MusicRowsPerOrder + row;
}

// Where the arrangement turns: the scene changes and parameter rows.
constexpr int BeatStart = at(6, 62);
constexpr int TitleStart = at(8, 62);
constexpr int GrooveStart = at(10, 62);
constexpr int PlaneStart = at(12, 58);
constexpr int BallAgainStart = at(14, 58);
constexpr int BallParamRow = at(16, 48);
constexpr int TunnelStart = at(17, 24);
constexpr int BreakStart = at(21, 62);
constexpr int BuildStart = at(23, 32);
constexpr int FlickerStart = at(24, 48);
constexpr int GlowStart = at(27, 56);
constexpr int SystemStart = at(32, 25);
constexpr int SystemHats = at(33, 16);
constexpr int SystemKick = at(34, 32);
constexpr int SystemClap = at(35, 32);
constexpr int SystemLead = at(36, 32);
constexpr int SystemPeak = at(37, 24);
constexpr int SystemHits = at(41, 48);
constexpr int CreditsStart = at(41, 60);
constexpr int FadeOutStart = at(44, 24);
constexpr int FadeOutEnd = at(45, 60);
constexpr int SongEnd = MusicOrders * MusicRowsPerOrder;

// Note names as the module counts them.
constexpr uint8_t n(XmNoteName name, int octave)
{
    return xm_note(name, octave);
}

struct Chord {
    uint8_t pad[3];   // voiced close around middle C, voice-led from chord to chord
    uint8_t bass;     // root in the low octave
    uint8_t stab;     // root of the minor stab that fits (the relative minor of a major chord)
};

const Chord Am = {{n(XmA, 3), n(XmC, 4), n(XmE, 4)}, n(XmA, 1), n(XmA, 3)};
const Chord F = {{n(XmA, 3), n(XmC, 4), n(XmF, 4)}, n(XmF, 1), n(XmD, 4)};
const Chord C = {{n(XmG, 3), n(XmC, 4), n(XmE, 4)}, n(XmC, 2), n(XmA, 3)};
const Chord G = {{n(XmG, 3), n(XmB, 3), n(XmD, 4)}, n(XmG, 1), n(XmE, 4)};
const Chord Dm = {{n(XmA, 3), n(XmD, 4), n(XmF, 4)}, n(XmD, 2), n(XmD, 4)};
const Chord E = {{n(XmGs, 3), n(XmB, 3), n(XmE, 4)}, n(XmE, 2), n(XmCs, 4)};

// The whole song as one long pattern, and the chord of every bar.
struct Score {
    std::vector<XmCell> cells = std::vector<XmCell>(size_t(SongEnd) * Channels);
    const Chord *bars[SongBars] = {};
};

XmCell &cell_at(Score &score, int row, int channel)
{
    return score.cells[size_t(row) * Channels + size_t(channel)];
}

const Chord &chord_at(const Score &score, int row)
{
    return *score.bars[std::clamp(row / RowsPerBar, 0, SongBars - 1)];
}

void play(Score &score, int row, int channel, uint8_t note, uint8_t instrument, int volume, uint8_t effect = 0,
          uint8_t param = 0)
{
    if (row < 0 || row >= SongEnd)
        return;
    cell_at(score, row, channel) = {note, instrument, xm_volume(volume), effect, param};
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

void set_progression(Score &score, int first_bar, std::initializer_list<const Chord *> chords, int repeats = 1)
{
    int bar = first_bar;
    for (int r = 0; r < repeats; r++)
        for (const Chord *chord : chords)
            if (bar < SongBars)
                score.bars[bar++] = chord;
}

void write_progressions(Score &score)
{
    // Intro: two bars a chord, rising to the dominant before the beat.
    set_progression(score, 0, {&Am, &Am, &F, &F, &C, &C, &G, &G}, 3);
    set_progression(score, 24, {&F, &F, &G, &G});
    // Beat, title and main groove: a chord a bar.
    set_progression(score, 28, {&Am, &F, &C, &G}, 6);
    set_progression(score, 52, {&F, &G, &Am, &Am, &F, &G, &C, &C});
    set_progression(score, 60, {&Am, &F, &C, &G}, 2);
    // Tunnel: the falling minor cadence.
    set_progression(score, 68, {&Am, &G, &F, &E}, 5);
    // Breakdown.
    set_progression(score, 88, {&F, &F, &G, &G, &Am, &Am});
    // The slow build, ending on the dominant.
    set_progression(score, 94, {&F, &F, &C, &C, &G, &G, &Am, &Am, &F, &F, &C, &C, &G, &G, &Dm, &Dm, &E, &E});
    // Glow: a chord a bar under the hits.
    set_progression(score, 112, {&Am, &F, &C, &G}, 4);
    // System: calm, then the peak with the harmonic minor's dominant.
    set_progression(score, 128, {&Am, &Am, &F, &F, &C, &C, &G, &G});
    set_progression(score, 136, {&Am, &F, &C, &G}, 4);
    set_progression(score, 152, {&Am, &F, &Dm, &E}, 4);
    set_progression(score, 168, {&Am, &F, &C, &G}, 4);
    set_progression(score, 184, {&Am, &Am, &Am, &Am});
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
        if (&chord == current)
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
// (0-2 the pad's tones an octave up, 3-5 another octave higher).
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
enum BassStyle { BassHeld, BassOffbeat, BassRolling, BassDriving };

void bassline(Score &score, int start, int end, BassStyle style, int from_volume, int to_volume)
{
    const Chord *held = nullptr;
    for (int row = start; row < end; row++) {
        const Chord &chord = chord_at(score, row);
        int beat_row = row % 4;
        int volume = ramp(row, start, end, from_volume, to_volume);
        switch (style) {
        case BassHeld:
            if (&chord != held) {
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
        }
    }
    release(score, end, ChannelBass);
}

// Four-on-the-floor kick.
void kicks(Score &score, int start, int end, int from_volume, int to_volume)
{
    for (int row = start; row < end; row++)
        if (row % 4 == 0)
            play(score, row, ChannelKick, n(XmC, 4), InstrumentKick, ramp(row, start, end, from_volume, to_volume));
}

// Claps on the second and fourth beat.
void backbeat(Score &score, int start, int end, int volume, uint8_t instrument = InstrumentClap)
{
    for (int row = start; row < end; row++)
        if (row % 8 == 4)
            play(score, row, ChannelSnare, n(XmC, 4), instrument, volume);
}

// Hats: closed sixteenths (or eighths) with open hats on the off-beats.
void hats(Score &score, int start, int end, bool sixteenths, bool open, int from_volume, int to_volume)
{
    for (int row = start; row < end; row++) {
        int volume = ramp(row, start, end, from_volume, to_volume);
        int beat_row = row % 4;
        if (open && beat_row == 2) {
            play(score, row, ChannelOpenHat, n(XmC, 4), InstrumentOpenHat, volume);
            continue;
        }
        if (beat_row == 2)
            play(score, row, ChannelHat, n(XmC, 4), InstrumentClosedHat, volume);
        else if (sixteenths)
            play(score, row, ChannelHat, n(XmC, 4), InstrumentClosedHat, volume * (beat_row == 0 ? 3 : 2) / 4);
    }
}

struct MelodyNote {
    int row;     // within the 64-row phrase
    uint8_t note;
    int length;  // in rows
};

void melody(Score &score, int start, int end, int phrase_start, const std::vector<MelodyNote> &phrase, int channel,
            uint8_t instrument, int volume)
{
    for (int base = phrase_start; base < end; base += MusicRowsPerOrder)
        for (const MelodyNote &note : phrase) {
            int row = base + note.row;
            if (row < start || row >= end)
                continue;
            play(score, row, channel, note.note, instrument, volume);
            if (row + note.length < end)
                release(score, row + note.length, channel);
        }
    release(score, end, channel);
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
    for (int order = start / MusicRowsPerOrder; order <= end / MusicRowsPerOrder; order++) {
        int first = at(order, MusicRowsPerOrder - RunRows);
        if (order % 2 == 0 || first < start || first + RunRows > end || accent_between(first, first + RunRows + 1))
            continue;
        for (int i = 0; i < RunRows; i++)
            play(score, first + i, ChannelTom, n(XmC, 4), InstrumentSnare, 28 + 6 * i);
    }
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
        play(score, row, ChannelImpact, n(XmC, 4), InstrumentImpact, 60);
        play(score, row, ChannelKick, n(XmC, 4), InstrumentKick, 60);
        [[fallthrough]];
    case AccentCrash:
        play(score, row, ChannelCrash, n(XmC, 4), InstrumentCrash, 44);
        break;
    case AccentHit:
        play(score, row, ChannelImpact, n(XmC, 4), InstrumentImpact, 52);
        [[fallthrough]];
    case AccentStab:
        play(score, row, ChannelSnare, n(XmC, 4), InstrumentClap, 50);
        break;
    }
}

// ---- Sections -----------------------------------------------------------

const int ArpRise[16] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 4, 3, 2, 1, 2, 3};
const int ArpWide[16] = {0, 2, 4, 2, 1, 3, 5, 3, 0, 2, 4, 5, 4, 2, 1, 2};
const int ArpHigh[16] = {3, 4, 5, 4, 3, 4, 5, 3, 2, 3, 4, 5, 4, 3, 2, 1};
const int ArpBroken[16] = {0, 3, 1, 4, 2, 5, 1, 4, 0, 3, 2, 5, 1, 4, 2, 3};

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

void write_intro(Score &score)
{
    // Pad alone, then the held bass, bells and a quiet arpeggio; no drums.
    pads(score, 0, BeatStart, 34, 30);
    melody(score, at(0, 32), at(5, 0), at(0, 0), IntroBells, ChannelEffects, InstrumentBell, 28);
    bassline(score, at(2, 0), BeatStart, BassHeld, 26, 40);
    arpeggio(score, at(3, 0), BeatStart, ArpRise, 1, 10, 30);
    play(score, at(6, 30), ChannelEffects, n(XmC, 4), InstrumentRiser, 40);
}

void write_beat(Score &score)
{
    accent(score, BeatStart, AccentBig);
    kicks(score, at(7, 0), TitleStart, 50, 54);
    hats(score, at(7, 0), TitleStart, false, true, 22, 28);
    bassline(score, BeatStart, TitleStart, BassOffbeat, 40, 44);
    pads(score, BeatStart, TitleStart, 26, 26);
    arpeggio(score, BeatStart, at(8, 54), ArpWide, 1, 24, 28);
    // Fill into the title: toms falling, then a snare run.
    const uint8_t toms[] = {n(XmA, 4), n(XmF, 4), n(XmD, 4), n(XmC, 4)};
    for (int i = 0; i < 4; i++)
        play(score, at(8, 54) + i, ChannelTom, toms[i], InstrumentTom, 40 + 4 * i);
    for (int row = at(8, 58); row < TitleStart; row++)
        play(score, row, ChannelSnare, n(XmC, 4), InstrumentSnare, 30 + 4 * (row - at(8, 58)));
}

void write_title(Score &score)
{
    accent(score, TitleStart, AccentBig);
    kicks(score, at(9, 0), GrooveStart, 54, 54);
    backbeat(score, at(9, 0), GrooveStart, 40);
    hats(score, at(9, 0), GrooveStart, true, true, 24, 28);
    bassline(score, TitleStart, GrooveStart, BassOffbeat, 44, 44);
    pads(score, TitleStart, GrooveStart, 24, 24);
    arpeggio(score, TitleStart, GrooveStart, ArpBroken, 1, 26, 28);
}

void write_groove(Score &score)
{
    accent(score, GrooveStart, AccentBig);
    kicks(score, at(11, 0), TunnelStart, 54, 54);
    backbeat(score, at(11, 0), at(16, 48), 42);
    hats(score, at(11, 0), TunnelStart, true, true, 26, 28);
    bassline(score, GrooveStart, at(16, 48), BassRolling, 40, 40);
    pads(score, GrooveStart, PlaneStart, 22, 22);
    arpeggio(score, GrooveStart, PlaneStart, ArpWide, 1, 24, 24);
    melody(score, at(11, 0), PlaneStart, at(11, 0), LeadCall, ChannelLead, InstrumentLead, 30);

    // Plane: the lead rests, the arpeggio climbs an octave, bells answer.
    accent(score, PlaneStart, AccentCrash);
    pads(score, PlaneStart, BallAgainStart, 24, 24);
    arpeggio(score, PlaneStart, BallAgainStart, ArpHigh, 1, 22, 24);
    melody(score, at(13, 0), BallAgainStart, at(13, 0), BreakBells, ChannelEffects, InstrumentBell, 26);

    // The ball again: the lead answers.
    pads(score, BallAgainStart, BallParamRow, 22, 22);
    arpeggio(score, BallAgainStart, BallParamRow, ArpWide, 1, 24, 24);
    melody(score, at(15, 0), BallParamRow, at(15, 0), LeadAnswer, ChannelLead, InstrumentLead, 30);
    turnarounds(score, at(11, 0), BallParamRow);

    // Turn into the tunnel: driving bass, a tom run, a riser.
    bassline(score, BallParamRow, TunnelStart, BassDriving, 40, 44);
    pads(score, BallParamRow, TunnelStart, 20, 20);
    arpeggio(score, BallParamRow, TunnelStart, ArpRise, 1, 24, 30);
    play(score, at(16, 56), ChannelEffects, n(XmC, 4), InstrumentRiser, 44);
    for (int row = at(17, 16); row < TunnelStart; row++)
        play(score, row, ChannelTom, uint8_t(n(XmG, 4) - (row - at(17, 16))), InstrumentTom, 34 + 3 * (row - at(17, 16)));
}

void write_tunnel(Score &score)
{
    int end = at(21, 44);
    kicks(score, TunnelStart, end, 62, 62);
    backbeat(score, TunnelStart, end, 48);
    hats(score, TunnelStart, end, true, true, 32, 38);
    bassline(score, TunnelStart, end, BassDriving, 46, 46);
    pads(score, TunnelStart, BreakStart, 24, 24);
    pump_pads(score, TunnelStart, end, 30);
    arpeggio(score, TunnelStart, end, ArpBroken, 1, 24, 26);
    melody(score, at(18, 0), end, at(18, 0), TunnelRiff, ChannelLead, InstrumentLead, 30);
    turnarounds(score, TunnelStart, end);
    // The last bar before the breakdown: only the hits.
    release(score, end, ChannelArp);
}

void write_breakdown(Score &score)
{
    pads(score, BreakStart, BuildStart, 30, 34);
    // The bass steps back: a soft held root only from the second chord on.
    bassline(score, at(22, 32), BuildStart, BassHeld, 22, 28);
    melody(score, at(22, 0), BuildStart, at(22, 0), BreakBells, ChannelEffects, InstrumentBell, 34);
    arpeggio(score, at(22, 32), BuildStart, ArpRise, 2, 10, 18);
}

void write_build(Score &score)
{
    pads(score, BuildStart, GlowStart, 24, 30);
    arpeggio(score, BuildStart, GlowStart, ArpRise, 1, 14, 30);
    bassline(score, BuildStart, FlickerStart, BassHeld, 34, 36);
    bassline(score, FlickerStart, GlowStart, BassOffbeat, 36, 44);
    hats(score, BuildStart, FlickerStart, false, false, 10, 18);
    hats(score, FlickerStart, GlowStart, true, false, 18, 28);
    kicks(score, FlickerStart, at(27, 32), 30, 50);
    // Snare roll: eighths, then sixteenths, growing into the glow.
    for (int row = at(26, 32); row < at(27, 48); row += row < at(27, 24) ? 2 : 1)
        play(score, row, ChannelTom, n(XmC, 4), InstrumentSnare, ramp(row, at(26, 32), at(27, 48), 16, 44));
    play(score, at(27, 24), ChannelEffects, n(XmC, 4), InstrumentRiser, 46);
}

void write_glow(Score &score)
{
    // Half-time under the hits every sixteen rows.
    pads(score, GlowStart, SystemStart, 26, 26);
    bassline(score, GlowStart, SystemStart, BassHeld, 42, 42);
    for (int row = at(28, 0); row < at(32, 24); row++) {
        int bar_row = row % RowsPerBar;
        if (bar_row == 0 || bar_row == 10)
            play(score, row, ChannelKick, n(XmC, 4), InstrumentKick, 54);
        if (bar_row == 12)
            play(score, row, ChannelSnare, n(XmC, 4), InstrumentSnare, 40);
        if (bar_row % 2 == 0 && bar_row != 6)
            play(score, row, ChannelHat, n(XmC, 4), InstrumentClosedHat, bar_row % 4 == 2 ? 26 : 16);
    }
    arpeggio(score, GlowStart, at(32, 24), ArpWide, 2, 22, 26);
}

void write_system(Score &score)
{
    // Calm arpeggio and pads, then one layer more at each parameter row.
    pads(score, SystemStart, SystemPeak, 22, 26);
    arpeggio(score, SystemStart, SystemPeak, ArpBroken, 1, 18, 28);
    melody(score, at(33, 0), SystemKick, at(33, 0), IntroBells, ChannelEffects, InstrumentBell, 24);
    bassline(score, SystemHats, SystemKick, BassHeld, 36, 36);
    hats(score, SystemHats, SystemKick, true, false, 16, 22);
    kicks(score, SystemKick, SystemHits, 52, 56);
    bassline(score, SystemKick, SystemClap, BassOffbeat, 40, 40);
    hats(score, SystemKick, SystemClap, true, true, 22, 26);
    backbeat(score, SystemClap, SystemHits, 42);
    bassline(score, SystemClap, SystemPeak, BassRolling, 40, 40);
    hats(score, SystemClap, SystemHits, true, true, 26, 30);
    melody(score, SystemLead, SystemPeak, at(36, 0), LeadCall, ChannelLead, InstrumentLead, 28);
    play(score, at(36, 56), ChannelEffects, n(XmC, 4), InstrumentRiser, 44);

    // The peak.
    pads(score, SystemPeak, CreditsStart, 24, 24);
    pump_pads(score, SystemPeak, SystemHits, 30);
    bassline(score, SystemPeak, SystemHits, BassDriving, 42, 42);
    arpeggio(score, SystemPeak, SystemHits, ArpHigh, 1, 24, 26);
    melody(score, at(38, 0), SystemHits, at(38, 0), PeakTheme, ChannelLead, InstrumentLead, 32);
    turnarounds(score, SystemClap, SystemHits);
}

void write_outro(Score &score)
{
    accent(score, CreditsStart, AccentBig);
    pads(score, CreditsStart, FadeOutEnd, 28, 28);
    bassline(score, at(42, 0), FadeOutEnd, BassHeld, 36, 30);
    arpeggio(score, at(42, 0), FadeOutEnd, ArpRise, 1, 26, 18);
    kicks(score, at(42, 0), FadeOutStart, 46, 40);
    hats(score, at(42, 0), FadeOutStart, false, true, 20, 16);
    melody(score, at(42, 0), FadeOutEnd, at(42, 0), LeadAnswer, ChannelEffects, InstrumentBell, 28);

    // The master volume sinks to silence while the picture dissolves.
    for (int row = FadeOutStart; row <= FadeOutEnd; row++) {
        double left = double(FadeOutEnd - row) / double(FadeOutEnd - FadeOutStart);
        int volume = int(MasterVolume * left * left);
        XmCell &cell = cell_at(score, row, ChannelTom);
        cell.effect = XmEffectGlobalVolume;
        cell.param = uint8_t(volume);
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

XmModule arrange()
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
    write_outro(score);
    write_accents(score);
    breathe_before_accents(score);
    cell_at(score, 0, ChannelTom).effect = XmEffectGlobalVolume;
    cell_at(score, 0, ChannelTom).param = MasterVolume;

    XmModule module;
    module.name = "orvanti";
    module.channels = Channels;
    module.speed = MusicSpeed;
    module.tempo = MusicTempo;
    module.instruments = make_music_instruments();
    // Identical orders share one pattern.
    for (int order = 0; order < MusicOrders; order++) {
        XmPattern pattern = make_xm_pattern(MusicRowsPerOrder, Channels);
        std::copy_n(score.cells.begin() + std::ptrdiff_t(order) * MusicRowsPerOrder * Channels, pattern.cells.size(),
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

}  // namespace

std::vector<uint8_t> compose_music()
{
    std::vector<uint8_t> bytes;
    std::string failure = encode_xm(arrange(), bytes);
    if (!failure.empty()) {
        fprintf(stderr, "orvanti-assets: orvanti.xm: %s\n", failure.c_str());
        bytes.clear();
    }
    return bytes;
}
