// The XM writer: small modules read back by libopenmpt and libxmp, played for
// their timing, and malformed modules refused.
#include <gtest/gtest.h>
#include "xmp_load.h"

#include <cmath>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "xm_writer.h"

namespace {

constexpr int Channels = 4;
constexpr int RenderRate = 44100;

// One looped cycle of a sine, 100 frames long, or a one-shot of 44 cycles.
XmInstrument make_test_instrument(bool looped)
{
    XmInstrument instrument;
    instrument.name = looped ? "loop" : "burst";
    XmSample sample;
    sample.name = "wave";
    for (int i = 0; i < (looped ? 100 : 4400); i++)
        sample.data.push_back(int16_t(std::lround(20000.0 * std::sin(2.0 * M_PI * i / 100.0))));
    if (looped) {
        sample.loop = XmLoopForward;
        sample.loop_start = 0;
        sample.loop_length = 100;
    }
    // C-4 plays 44100 frames per second: a 441 Hz tone.
    xm_tune_sample(sample, 44100.0);
    instrument.samples.push_back(sample);
    return instrument;
}

XmModule make_test_module(int patterns)
{
    XmModule module;
    module.name = "writer test";
    module.channels = Channels;
    for (int i = 0; i < patterns; i++) {
        module.patterns.push_back(make_xm_pattern(64, Channels));
        module.orders.push_back(uint8_t(i));
    }
    module.instruments.push_back(make_test_instrument(true));
    module.instruments.push_back(make_test_instrument(false));
    return module;
}

std::vector<uint8_t> encode(const XmModule &module)
{
    std::vector<uint8_t> bytes;
    std::string failure = encode_xm(module, bytes);
    EXPECT_EQ(failure, "");
    return bytes;
}

struct OpenmptLoad {
    std::unique_ptr<openmpt::module> module;
    std::string log;
};

OpenmptLoad load_openmpt(const std::vector<uint8_t> &bytes)
{
    OpenmptLoad result;
    std::ostringstream log;
    result.module = std::make_unique<openmpt::module>(bytes, log);
    result.log = log.str();
    return result;
}

std::vector<float> render_mono(openmpt::module &module, double seconds)
{
    std::vector<float> audio(size_t(seconds * RenderRate));
    size_t done = 0;
    while (done < audio.size()) {
        size_t got = module.read(RenderRate, audio.size() - done, audio.data() + done);
        if (got == 0)
            break;
        done += got;
    }
    audio.resize(done);
    return audio;
}

double rms(const std::vector<float> &audio, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to && i < audio.size(); i++)
        sum += double(audio[i]) * audio[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

constexpr double RowSeconds = 0.12;  // speed 6 at 125 BPM

}  // namespace

TEST(XmWriterLayout, BothReadersAgreeOnTheHeaderAndCells)
{
    XmModule module = make_test_module(3);
    module.orders = {2, 0, 1, 0};
    module.speed = 5;
    module.tempo = 140;
    xm_cell(module.patterns[0], Channels, 5, 2) = {xm_note(XmA, 4), 1, xm_volume(40), XmEffectPanning, 0x30};
    xm_cell(module.patterns[0], Channels, 6, 2) = {XmKeyOff, 0, 0, 0, 0};
    xm_cell(module.patterns[2], Channels, 63, 3) = {xm_note(XmC, 2), 2, 0, 0, 0};
    std::vector<uint8_t> bytes = encode(module);

    OpenmptLoad openmpt = load_openmpt(bytes);
    EXPECT_EQ(openmpt.log, "");
    EXPECT_EQ(openmpt.module->get_metadata("warnings"), "");
    EXPECT_EQ(openmpt.module->get_num_orders(), 4);
    EXPECT_EQ(openmpt.module->get_num_patterns(), 3);
    EXPECT_EQ(openmpt.module->get_num_channels(), Channels);
    EXPECT_EQ(openmpt.module->get_num_instruments(), 2);
    EXPECT_EQ(openmpt.module->get_metadata("title"), "writer test");
    EXPECT_EQ(openmpt.module->get_order_pattern(0), 2);
    EXPECT_EQ(openmpt.module->get_current_speed(), 5);
    EXPECT_EQ(openmpt.module->get_current_tempo(), 140);

    XmpLoad xmp(bytes);
    ASSERT_TRUE(xmp.loaded);
    const xmp_module &mod = *xmp.info.mod;
    EXPECT_EQ(mod.len, 4);
    EXPECT_EQ(mod.pat, 3 + 1);  // libxmp adds one empty pattern of its own
    EXPECT_EQ(mod.chn, Channels);
    EXPECT_EQ(mod.ins, 2);
    EXPECT_EQ(mod.spd, 5);
    EXPECT_EQ(mod.bpm, 140);
    EXPECT_EQ(mod.xxo[0], 2);
    // libxmp counts notes from C-0 = 13 for XM and keeps cells per track.
    const xmp_event &note = mod.xxt[mod.xxp[0]->index[2]]->event[5];
    EXPECT_EQ(note.note, xm_note(XmA, 4) + 12);
    EXPECT_EQ(note.ins, 1);
    EXPECT_EQ(note.vol, 40 + 1);
    EXPECT_EQ(note.fxt, XmEffectPanning);
    EXPECT_EQ(note.fxp, 0x30);
    EXPECT_EQ(mod.xxt[mod.xxp[0]->index[2]]->event[6].note, XMP_KEY_OFF);
    const xmp_event &last = mod.xxt[mod.xxp[2]->index[3]]->event[63];
    EXPECT_EQ(last.note, xm_note(XmC, 2) + 12);
    EXPECT_EQ(last.ins, 2);
}

TEST(XmWriterLayout, EnvelopesSamplesAndLoopsSurvive)
{
    XmModule module = make_test_module(1);
    XmInstrument &instrument = module.instruments[0];
    instrument.volume_envelope.enabled = true;
    instrument.volume_envelope.points = {{0, 0}, {10, 64}, {30, 32}, {50, 0}};
    instrument.volume_envelope.sustain = 2;
    instrument.panning_envelope.enabled = true;
    instrument.panning_envelope.points = {{0, 10}, {20, 54}};
    instrument.panning_envelope.loop_start = 0;
    instrument.panning_envelope.loop_end = 1;
    instrument.fadeout = 0x400;
    XmSample second = instrument.samples[0];
    second.data.assign({0, 32767, -32768, 5, -5, 1000});
    second.loop = XmLoopPingPong;
    second.loop_start = 1;
    second.loop_length = 4;
    instrument.samples.push_back(second);
    for (int note = 48; note < XmNotes; note++)
        instrument.sample_map[note] = 1;
    std::vector<uint8_t> bytes = encode(module);

    XmpLoad xmp(bytes);
    ASSERT_TRUE(xmp.loaded);
    const xmp_module &mod = *xmp.info.mod;
    const xmp_instrument &read = mod.xxi[0];
    EXPECT_EQ(read.rls, 0x400 * 2);  // libxmp keeps the fadeout doubled
    EXPECT_EQ(read.aei.flg & (XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS | XMP_ENVELOPE_LOOP),
              XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS);
    ASSERT_EQ(read.aei.npt, 4);
    EXPECT_EQ(read.aei.sus, 2);
    EXPECT_EQ(read.aei.data[2], 10);
    EXPECT_EQ(read.aei.data[3], 64);
    EXPECT_EQ(read.aei.data[7], 0);
    EXPECT_EQ(read.pei.flg & (XMP_ENVELOPE_ON | XMP_ENVELOPE_LOOP), XMP_ENVELOPE_ON | XMP_ENVELOPE_LOOP);
    EXPECT_EQ(read.pei.npt, 2);
    EXPECT_EQ(read.pei.lpe, 1);
    ASSERT_EQ(read.nsm, 2);
    // libxmp's key map starts an octave below the file's notes.
    EXPECT_EQ(read.sub[read.map[47 + 12].ins].sid, read.sub[0].sid);
    EXPECT_EQ(read.sub[read.map[48 + 12].ins].sid, read.sub[1].sid);

    const xmp_sample &looped = mod.xxs[read.sub[0].sid];
    EXPECT_EQ(looped.len, 100);
    EXPECT_EQ(looped.lps, 0);
    EXPECT_EQ(looped.lpe, 100);
    EXPECT_TRUE(looped.flg & XMP_SAMPLE_LOOP);
    EXPECT_TRUE(looped.flg & XMP_SAMPLE_16BIT);
    const xmp_sample &bidi = mod.xxs[read.sub[1].sid];
    EXPECT_EQ(bidi.len, 6);
    EXPECT_EQ(bidi.lps, 1);
    EXPECT_EQ(bidi.lpe, 5);
    EXPECT_TRUE(bidi.flg & XMP_SAMPLE_LOOP_BIDIR);
    // The delta coding wraps through the whole 16-bit range and back
    // (libxmp may reuse the frames after a ping-pong loop's end).
    const int16_t *frames = reinterpret_cast<const int16_t *>(bidi.data);
    for (size_t i = 0; i < 5; i++)
        EXPECT_EQ(frames[i], second.data[i]) << "frame " << i;

    OpenmptLoad openmpt = load_openmpt(bytes);
    EXPECT_EQ(openmpt.log, "");
    EXPECT_EQ(openmpt.module->get_metadata("warnings"), "");
    EXPECT_EQ(openmpt.module->get_num_samples(), 3);
}

TEST(XmWriterPlayback, TuningGivesThePitchAndLoopsKeepSounding)
{
    XmModule module = make_test_module(1);
    // A looped tone silenced at row 8 and, on another channel, a one-shot.
    xm_cell(module.patterns[0], Channels, 0, 0) = {xm_note(XmC, 4), 1, 0, 0, 0};
    xm_cell(module.patterns[0], Channels, 8, 0) = {0, 0, xm_volume(0), 0, 0};
    xm_cell(module.patterns[0], Channels, 16, 1) = {xm_note(XmC, 5), 2, 0, 0, 0};
    OpenmptLoad openmpt = load_openmpt(encode(module));
    std::vector<float> audio = render_mono(*openmpt.module, 24 * RowSeconds);
    ASSERT_GE(audio.size(), size_t(24 * RowSeconds * RenderRate) - 1);

    // Rising zero crossings over rows 2 to 6 count the tone's cycles.
    size_t from = size_t(2 * RowSeconds * RenderRate), to = size_t(6 * RowSeconds * RenderRate);
    int crossings = 0;
    for (size_t i = from + 1; i < to; i++)
        crossings += audio[i - 1] < 0.0f && audio[i] >= 0.0f;
    double frequency = crossings / (4 * RowSeconds);
    EXPECT_NEAR(frequency, 441.0, 5.0);

    // The loop still sounds 700 ms after its 100 frames ran out and stops
    // with the volume command; the one-shot an octave up lasts 2200 frames
    // and then falls silent.
    EXPECT_GT(rms(audio, size_t(6 * RowSeconds * RenderRate), size_t(7 * RowSeconds * RenderRate)), 0.05);
    EXPECT_LT(rms(audio, size_t(9 * RowSeconds * RenderRate), size_t(16 * RowSeconds * RenderRate)), 1e-4);
    size_t burst = size_t(16 * RowSeconds * RenderRate);
    EXPECT_GT(rms(audio, burst + 200, burst + 1800), 0.05);
    EXPECT_LT(rms(audio, burst + 3000, burst + 8000), 1e-4);
}

TEST(XmWriterPlayback, BreakJumpAndSpeedChangeTheSongLength)
{
    // Order 0 breaks at row 3 into row 16 of order 1; order 1 jumps over
    // order 2 to order 3; order 3 doubles the speed at row 0.
    XmModule module = make_test_module(4);
    xm_cell(module.patterns[0], Channels, 3, 0).effect = XmEffectPatternBreak;
    xm_cell(module.patterns[0], Channels, 3, 0).param = 0x16;
    xm_cell(module.patterns[1], Channels, 63, 1).effect = XmEffectPositionJump;
    xm_cell(module.patterns[1], Channels, 63, 1).param = 3;
    xm_cell(module.patterns[3], Channels, 0, 2).effect = XmEffectSpeed;
    xm_cell(module.patterns[3], Channels, 0, 2).param = 3;
    std::vector<uint8_t> bytes = encode(module);

    OpenmptLoad openmpt = load_openmpt(bytes);
    double expected = (4 + 48) * RowSeconds + 64 * RowSeconds / 2;
    EXPECT_NEAR(openmpt.module->get_duration_seconds(), expected, 0.01);

    // The positions played follow the jump: order 2 is never entered.
    bool saw_order_two = false;
    std::vector<float> block(512);
    while (openmpt.module->read(RenderRate, block.size(), block.data()) > 0)
        saw_order_two = saw_order_two || openmpt.module->get_current_order() == 2;
    EXPECT_FALSE(saw_order_two);

    XmpLoad xmp(bytes);
    ASSERT_TRUE(xmp.loaded);
    EXPECT_NEAR(xmp.info.seq_data[0].duration / 1000.0, expected, RowSeconds);

    // A tempo command (F above 31) slows the rows instead.
    XmModule slow = make_test_module(1);
    xm_cell(slow.patterns[0], Channels, 0, 0) = {0, 0, 0, XmEffectSpeed, 250};
    OpenmptLoad slow_load = load_openmpt(encode(slow));
    EXPECT_NEAR(slow_load.module->get_duration_seconds(), 64 * RowSeconds / 2, 0.01);
}

TEST(XmWriterChecks, MalformedModulesAreRefusedWithAReason)
{
    std::vector<uint8_t> bytes;
    XmModule module = make_test_module(2);
    module.orders.push_back(7);
    EXPECT_NE(encode_xm(module, bytes).find("pattern 7"), std::string::npos);
    EXPECT_TRUE(bytes.empty());

    module = make_test_module(2);
    module.patterns[1].cells.pop_back();
    EXPECT_NE(encode_xm(module, bytes).find("pattern 1"), std::string::npos);

    module = make_test_module(1);
    xm_cell(module.patterns[0], Channels, 0, 0).instrument = 3;
    EXPECT_NE(encode_xm(module, bytes).find("instrument 3"), std::string::npos);

    module = make_test_module(1);
    module.instruments[0].samples[0].loop_start = 90;
    module.instruments[0].samples[0].loop_length = 11;
    EXPECT_NE(encode_xm(module, bytes).find("loop outside"), std::string::npos);

    module = make_test_module(1);
    module.instruments[1].volume_envelope.points = {{0, 64}, {0, 0}};
    EXPECT_NE(encode_xm(module, bytes).find("rise"), std::string::npos);

    module = make_test_module(1);
    module.orders.clear();
    EXPECT_NE(encode_xm(module, bytes), "");

    module = make_test_module(1);
    module.channels = 33;
    EXPECT_NE(encode_xm(module, bytes), "");

    std::string path = std::string(ORVANTI_BINARY_DIR) + "/no-such-dir/x.xm";
    std::string failure = write_xm(path, make_test_module(1));
    EXPECT_NE(failure.find(path), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(XmWriterChecks, WrittenFileMatchesTheEncodedBytes)
{
    XmModule module = make_test_module(2);
    xm_cell(module.patterns[1], Channels, 10, 3) = {xm_note(XmE, 3), 2, xm_volume(64), XmEffectVolumeSlide, 0x0F};
    std::vector<uint8_t> bytes = encode(module);
    std::string path = std::string(ORVANTI_BINARY_DIR) + "/test_xm_writer.xm";
    ASSERT_EQ(write_xm(path, module), "");
    FILE *file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> read(bytes.size() + 1);
    size_t got = fread(read.data(), 1, read.size(), file);
    fclose(file);
    std::filesystem::remove(path);
    read.resize(got);
    EXPECT_EQ(read, bytes);
}
