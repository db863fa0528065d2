// Writer of extended modules (XM, version 0x0104 layout): header, order table,
// packed patterns, instruments with envelopes, delta-coded 16-bit samples.
//
//   XmModule song;
//   song.channels = 8;
//   song.orders = {0, 1, 0};
//   song.patterns.push_back(make_xm_pattern(64, song.channels));
//   xm_cell(song.patterns[0], song.channels, 0, 0) = {xm_note(XmC, 4), 1, 0, 0, 0};
//   song.instruments.push_back(instrument);
//   std::vector<uint8_t> bytes;
//   std::string error = encode_xm(song, bytes);            // "" on success
//   std::string file_error = write_xm("out/song.xm", song);
//
// Both return an empty string on success, otherwise a one-line message naming
// the problem (and the file, for write_xm); nothing is written on failure and a
// partial file is removed.
//
// XmModule:
//   name          song name, at most 20 bytes are stored.
//   channels      2 to 32 channels; every pattern has rows * channels cells.
//   speed         initial ticks per row (1 to 31); 6 is usual.
//   tempo         initial beats per minute (32 to 255); one tick lasts
//                 2.5 / tempo seconds, so speed 6 at 125 BPM gives rows of
//                 120 ms.
//   restart       order the song loops back to after its last order.
//   linear_frequencies  true: linear frequency table (the usual choice);
//                 false: Amiga periods.
//   orders        1 to 256 pattern numbers, played in this order.
//   patterns      0 to 256 patterns; see XmPattern.
//   instruments   0 to 128 instruments, numbered from 1 in the note cells.
//
// XmPattern: `rows` (1 to 256) rows of `channels` cells, row-major: the cell
// of (row, channel) is cells[row * channels + channel] (xm_cell() finds it).
//
// XmCell, one note slot (0 in a field means "nothing there"):
//   note        1 to 96 = C-0 to B-7 (xm_note(XmA, 4) is A-4, 440 Hz when the
//               sample is tuned as described below), XmKeyOff (97) releases
//               the note: the envelope leaves its sustain point and the
//               fadeout starts.
//   instrument  1 to 128; 0 keeps the channel's instrument.
//   volume      the volume column byte: 0x10 to 0x50 sets volume 0 to 64
//               (xm_volume(v) builds it); other ranges are the column's
//               effects (0x60.. volume slide down, 0x70.. up, 0xC0.. panning).
//   effect, param  effect number and parameter; the common ones:
//               XmEffectPositionJump (B, param = order),
//               XmEffectPatternBreak (D, param = row in BCD: 0x16 is row 16),
//               XmEffectSpeed (F, param 1..31 sets ticks per row, 32..255
//               sets the tempo), XmEffectVolume (C, 0..64),
//               XmEffectVolumeSlide (A, 0xU0 up / 0x0D down per tick),
//               XmEffectPanning (8, 0 left .. 255 right),
//               XmEffectPortamento (3, glides to the cell's note at param
//               sixteenths of a semitone per tick without striking it again),
//               XmEffectArpeggio (0, 0xXY),
//               XmEffectGlobalVolume (G, 0..64), XmEffectKeyOff (K, tick),
//               XmEffectExtended (E, 0xCt cuts the note at tick t).
//
// XmInstrument:
//   name          at most 22 bytes stored.
//   samples       0 to 16 samples; an instrument without samples is silent.
//   sample_map    for each of the 96 notes, the index of the sample it plays.
//   volume_envelope, panning_envelope: see XmEnvelope.
//   fadeout       volume fadeout speed after a key off (0 = none, 0x8000 cuts
//                 at once); the envelope volume falls by fadeout / 65536 of
//                 full scale per tick.
//   vibrato_type, vibrato_sweep, vibrato_depth, vibrato_rate: automatic
//                 vibrato (type 0 sine, 1 square, 2 ramp down, 3 ramp up).
//
// XmEnvelope: up to 12 points (tick, value) with ticks rising from 0 and
//   values 0 to 64; `enabled` switches it on; `sustain`, `loop_start` and
//   `loop_end` are point indices or -1 for none. The volume envelope scales
//   the note's volume, the panning envelope moves it around the note's pan
//   (32 is centre).
//
// XmSample:
//   name          at most 22 bytes stored.
//   data          signed 16-bit mono frames (stored delta-coded).
//   loop          XmLoopNone, XmLoopForward or XmLoopPingPong;
//   loop_start, loop_length  in frames; a loop must lie inside the data and
//                 be at least one frame long.
//   volume        0 to 64; panning 0 (left) to 255 (right), 128 centre.
//   relative_note, finetune  tuning: the sample plays at
//                 8363 * 2^((note - 49 + relative_note + finetune / 128) / 12)
//                 frames per second, so C-4 (note 49) plays at 8363 Hz when
//                 both are 0. xm_tune_sample() sets both from a frame rate.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum XmNoteName { XmC, XmCs, XmD, XmDs, XmE, XmF, XmFs, XmG, XmGs, XmA, XmAs, XmB };

constexpr uint8_t XmKeyOff = 97;
constexpr uint8_t XmNoteCut = 0xC0;  // XmEffectExtended parameter: 0xC0 | tick
constexpr int XmMaxChannels = 32;
constexpr int XmMaxOrders = 256;
constexpr int XmMaxPatterns = 256;
constexpr int XmMaxInstruments = 128;
constexpr int XmMaxSamples = 16;
constexpr int XmMaxEnvelopePoints = 12;
constexpr int XmNotes = 96;
constexpr double XmBaseRate = 8363.0;  // frames per second of C-4 with no tuning

enum XmEffect : uint8_t {
    XmEffectArpeggio = 0x0,
    XmEffectPortamento = 0x3,
    XmEffectPanning = 0x8,
    XmEffectVolumeSlide = 0xA,
    XmEffectPositionJump = 0xB,
    XmEffectVolume = 0xC,
    XmEffectPatternBreak = 0xD,
    XmEffectExtended = 0xE,
    XmEffectSpeed = 0xF,
    XmEffectGlobalVolume = 0x10,  // G
    XmEffectKeyOff = 0x14,        // K
};

enum XmLoop : uint8_t { XmLoopNone = 0, XmLoopForward = 1, XmLoopPingPong = 2 };

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
    bool operator==(const XmCell &) const = default;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;
};

struct XmEnvelopePoint {
    uint16_t tick;
    uint16_t value;
};

struct XmEnvelope {
    bool enabled = false;
    std::vector<XmEnvelopePoint> points;
    int sustain = -1;
    int loop_start = -1;
    int loop_end = -1;
};

struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    XmLoop loop = XmLoopNone;
    uint32_t loop_start = 0;
    uint32_t loop_length = 0;
    uint8_t volume = 64;
    uint8_t panning = 128;
    int8_t relative_note = 0;
    int8_t finetune = 0;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;
    uint8_t sample_map[XmNotes] = {};
    XmEnvelope volume_envelope;
    XmEnvelope panning_envelope;
    uint16_t fadeout = 0;
    uint8_t vibrato_type = 0;
    uint8_t vibrato_sweep = 0;
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
};

struct XmModule {
    std::string name;
    int channels = 8;
    int speed = 6;
    int tempo = 125;
    int restart = 0;
    bool linear_frequencies = true;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Note number of a name and octave: xm_note(XmC, 4) is 49.
constexpr uint8_t xm_note(XmNoteName name, int octave)
{
    return uint8_t(octave * 12 + int(name) + 1);
}

// Volume column byte that sets volume 0 to 64.
constexpr uint8_t xm_volume(int volume)
{
    return uint8_t(0x10 + (volume < 0 ? 0 : volume > 64 ? 64 : volume));
}

// An empty pattern of the given size.
XmPattern make_xm_pattern(int rows, int channels);

// The cell at (row, channel) of a pattern made for `channels` channels.
XmCell &xm_cell(XmPattern &pattern, int channels, int row, int channel);

// Sets relative_note and finetune so that `reference_note` plays the sample at
// `frame_rate` frames per second (to within 1/128 semitone).
void xm_tune_sample(XmSample &sample, double frame_rate, int reference_note = 49);

// The whole file's bytes in `out`; "" on success, else the problem.
std::string encode_xm(const XmModule &module, std::vector<uint8_t> &out);

// encode_xm, then the bytes written to `path`.
std::string write_xm(const std::string &path, const XmModule &module);
