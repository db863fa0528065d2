// Writer of extended modules: validates a module record and lays it out byte
// for byte in the version 0x0104 file layout.
#include "xm_writer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "little_endian.h"

namespace {

constexpr char XmSignature[] = "Extended Module: ";
constexpr char XmTrackerName[] = "orvanti-assets";
constexpr uint16_t XmVersion = 0x0104;
constexpr uint32_t XmHeaderSize = 276;            // from the size field to the end of the order table
constexpr uint32_t XmPatternHeaderSize = 9;
constexpr uint32_t XmInstrumentHeaderSize = 263;  // with samples: up to and including the reserved bytes
constexpr uint32_t XmInstrumentShortHeaderSize = 29;  // without samples
constexpr uint32_t XmSampleHeaderSize = 40;
constexpr uint8_t XmSampleSixteenBits = 0x10;
constexpr uint8_t XmPackedFlag = 0x80;

// A text field of fixed size, cut or padded with zeros.
void put_text(std::vector<uint8_t> &out, const std::string &text, size_t size, char pad = 0)
{
    for (size_t i = 0; i < size; i++)
        out.push_back(uint8_t(i < text.size() ? text[i] : pad));
}

void put_zeros(std::vector<uint8_t> &out, size_t count)
{
    out.insert(out.end(), count, 0);
}

// Cells are packed: a flag byte says which of the five fields follow, unless
// all five follow, which costs no more unpacked.
void pack_cell(std::vector<uint8_t> &out, const XmCell &cell)
{
    uint8_t present = (cell.note ? 1 : 0) | (cell.instrument ? 2 : 0) | (cell.volume ? 4 : 0) |
                      (cell.effect ? 8 : 0) | (cell.param ? 16 : 0);
    if (present == 31) {
        out.insert(out.end(), {cell.note, cell.instrument, cell.volume, cell.effect, cell.param});
        return;
    }
    out.push_back(XmPackedFlag | present);
    if (cell.note)
        out.push_back(cell.note);
    if (cell.instrument)
        out.push_back(cell.instrument);
    if (cell.volume)
        out.push_back(cell.volume);
    if (cell.effect)
        out.push_back(cell.effect);
    if (cell.param)
        out.push_back(cell.param);
}

std::string check_envelope(const XmEnvelope &envelope, const std::string &where)
{
    int count = int(envelope.points.size());
    if (count > XmMaxEnvelopePoints)
        return where + ": more than 12 envelope points";
    if (envelope.enabled && count == 0)
        return where + ": enabled envelope without points";
    for (int i = 0; i < count; i++) {
        if (envelope.points[i].value > 64)
            return where + ": envelope value above 64";
        if (i == 0 && envelope.points[i].tick != 0)
            return where + ": envelope does not start at tick 0";
        if (i > 0 && envelope.points[i].tick <= envelope.points[i - 1].tick)
            return where + ": envelope ticks do not rise";
    }
    for (int index : {envelope.sustain, envelope.loop_start, envelope.loop_end})
        if (index < -1 || index >= count)
            return where + ": envelope point index out of range";
    if ((envelope.loop_start < 0) != (envelope.loop_end < 0) || envelope.loop_end < envelope.loop_start)
        return where + ": envelope loop needs a start and an end, in that order";
    return "";
}

std::string check_module(const XmModule &module)
{
    if (module.channels < 2 || module.channels > XmMaxChannels)
        return "channel count must be 2 to 32";
    if (module.speed < 1 || module.speed > 31)
        return "speed must be 1 to 31";
    if (module.tempo < 32 || module.tempo > 255)
        return "tempo must be 32 to 255";
    if (module.orders.empty() || module.orders.size() > size_t(XmMaxOrders))
        return "order count must be 1 to 256";
    if (module.patterns.size() > size_t(XmMaxPatterns))
        return "more than 256 patterns";
    if (module.restart < 0 || size_t(module.restart) >= module.orders.size())
        return "restart position outside the order table";
    for (uint8_t order : module.orders)
        if (order >= module.patterns.size())
            return "order table names pattern " + std::to_string(order) + ", which does not exist";
    for (size_t p = 0; p < module.patterns.size(); p++) {
        const XmPattern &pattern = module.patterns[p];
        std::string where = "pattern " + std::to_string(p);
        if (pattern.rows < 1 || pattern.rows > 256)
            return where + ": row count must be 1 to 256";
        if (pattern.cells.size() != size_t(pattern.rows) * size_t(module.channels))
            return where + ": cell count is not rows * channels";
        for (const XmCell &cell : pattern.cells) {
            if (cell.note > XmKeyOff)
                return where + ": note above key off";
            if (cell.instrument > module.instruments.size())
                return where + ": instrument " + std::to_string(cell.instrument) + " does not exist";
        }
    }
    if (module.instruments.size() > size_t(XmMaxInstruments))
        return "more than 128 instruments";
    for (size_t i = 0; i < module.instruments.size(); i++) {
        const XmInstrument &instrument = module.instruments[i];
        std::string where = "instrument " + std::to_string(i + 1);
        if (instrument.samples.size() > size_t(XmMaxSamples))
            return where + ": more than 16 samples";
        for (uint8_t index : instrument.sample_map)
            if (!instrument.samples.empty() && index >= instrument.samples.size())
                return where + ": sample map names a missing sample";
        for (const std::string &failure : {check_envelope(instrument.volume_envelope, where + " volume"),
                                           check_envelope(instrument.panning_envelope, where + " panning")})
            if (!failure.empty())
                return failure;
        for (size_t s = 0; s < instrument.samples.size(); s++) {
            const XmSample &sample = instrument.samples[s];
            std::string sample_where = where + " sample " + std::to_string(s);
            // Lengths are stored in bytes in 32 bits.
            if (sample.data.size() > 0x7FFFFFFFu / 2)
                return sample_where + ": too long";
            if (sample.volume > 64)
                return sample_where + ": volume above 64";
            if (sample.loop > XmLoopPingPong)
                return sample_where + ": unknown loop kind";
            if (sample.loop != XmLoopNone &&
                (sample.loop_length == 0 || sample.loop_start > sample.data.size() ||
                 sample.loop_length > sample.data.size() - sample.loop_start))
                return sample_where + ": loop outside the sample";
        }
    }
    return "";
}

void put_envelope_points(std::vector<uint8_t> &out, const XmEnvelope &envelope)
{
    for (int i = 0; i < XmMaxEnvelopePoints; i++) {
        bool used = i < int(envelope.points.size());
        append_u16(out, used ? envelope.points[i].tick : 0);
        append_u16(out, used ? envelope.points[i].value : 0);
    }
}

uint8_t envelope_flags(const XmEnvelope &envelope)
{
    return uint8_t((envelope.enabled ? 1 : 0) | (envelope.sustain >= 0 ? 2 : 0) | (envelope.loop_start >= 0 ? 4 : 0));
}

void put_index(std::vector<uint8_t> &out, int index)
{
    append_u8(out, index < 0 ? 0 : unsigned(index));
}

void put_instrument(std::vector<uint8_t> &out, const XmInstrument &instrument)
{
    bool has_samples = !instrument.samples.empty();
    append_u32(out, has_samples ? XmInstrumentHeaderSize : XmInstrumentShortHeaderSize);
    put_text(out, instrument.name, 22);
    append_u8(out, 0);
    append_u16(out, unsigned(instrument.samples.size()));
    if (!has_samples)
        return;
    append_u32(out, XmSampleHeaderSize);
    out.insert(out.end(), instrument.sample_map, instrument.sample_map + XmNotes);
    put_envelope_points(out, instrument.volume_envelope);
    put_envelope_points(out, instrument.panning_envelope);
    append_u8(out, unsigned(instrument.volume_envelope.points.size()));
    append_u8(out, unsigned(instrument.panning_envelope.points.size()));
    for (const XmEnvelope *envelope : {&instrument.volume_envelope, &instrument.panning_envelope}) {
        put_index(out, envelope->sustain);
        put_index(out, envelope->loop_start);
        put_index(out, envelope->loop_end);
    }
    append_u8(out, envelope_flags(instrument.volume_envelope));
    append_u8(out, envelope_flags(instrument.panning_envelope));
    append_u8(out, instrument.vibrato_type);
    append_u8(out, instrument.vibrato_sweep);
    append_u8(out, instrument.vibrato_depth);
    append_u8(out, instrument.vibrato_rate);
    append_u16(out, instrument.fadeout);
    put_zeros(out, 22);

    for (const XmSample &sample : instrument.samples) {
        bool looped = sample.loop != XmLoopNone;
        append_u32(out, uint32_t(sample.data.size() * 2));
        append_u32(out, looped ? sample.loop_start * 2 : 0);
        append_u32(out, looped ? sample.loop_length * 2 : 0);
        append_u8(out, sample.volume);
        append_u8(out, uint8_t(sample.finetune));
        append_u8(out, uint8_t(sample.loop) | XmSampleSixteenBits);
        append_u8(out, sample.panning);
        append_u8(out, uint8_t(sample.relative_note));
        append_u8(out, 0);
        put_text(out, sample.name, 22);
    }
    for (const XmSample &sample : instrument.samples) {
        int16_t previous = 0;
        for (int16_t frame : sample.data) {
            append_u16(out, uint16_t(uint16_t(frame) - uint16_t(previous)));
            previous = frame;
        }
    }
}

}  // namespace

XmPattern make_xm_pattern(int rows, int channels)
{
    XmPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(size_t(rows > 0 ? rows : 0) * size_t(channels > 0 ? channels : 0), XmCell{});
    return pattern;
}

XmCell &xm_cell(XmPattern &pattern, int channels, int row, int channel)
{
    return pattern.cells.at(size_t(row) * size_t(channels) + size_t(channel));
}

void xm_tune_sample(XmSample &sample, double frame_rate, int reference_note)
{
    // Semitones between the untuned rate of the reference note and the wanted one.
    double semitones = 12.0 * std::log2(frame_rate / XmBaseRate) - double(reference_note - 49);
    long steps = std::lround(semitones * 128.0);
    if (steps > 127 * 128 + 127)
        steps = 127 * 128 + 127;
    if (steps < -128 * 128)
        steps = -128 * 128;
    // Floor division keeps finetune in -64..63 around the nearest note.
    long relative = (steps + 64) >= 0 ? (steps + 64) / 128 : -((-(steps + 64) + 127) / 128);
    sample.relative_note = int8_t(relative);
    sample.finetune = int8_t(steps - relative * 128);
}

std::string encode_xm(const XmModule &module, std::vector<uint8_t> &out)
{
    out.clear();
    std::string failure = check_module(module);
    if (!failure.empty())
        return failure;

    put_text(out, XmSignature, 17);
    put_text(out, module.name, 20);
    append_u8(out, 0x1A);
    put_text(out, XmTrackerName, 20, ' ');
    append_u16(out, XmVersion);
    append_u32(out, XmHeaderSize);
    append_u16(out, unsigned(module.orders.size()));
    append_u16(out, unsigned(module.restart));
    append_u16(out, unsigned(module.channels));
    append_u16(out, unsigned(module.patterns.size()));
    append_u16(out, unsigned(module.instruments.size()));
    append_u16(out, module.linear_frequencies ? 1 : 0);
    append_u16(out, unsigned(module.speed));
    append_u16(out, unsigned(module.tempo));
    for (int i = 0; i < XmMaxOrders; i++)
        append_u8(out, i < int(module.orders.size()) ? module.orders[i] : 0);

    for (const XmPattern &pattern : module.patterns) {
        std::vector<uint8_t> packed;
        for (const XmCell &cell : pattern.cells)
            pack_cell(packed, cell);
        if (packed.size() > 0xFFFF)
            return "pattern data above 65535 bytes";
        append_u32(out, XmPatternHeaderSize);
        append_u8(out, 0);
        append_u16(out, unsigned(pattern.rows));
        append_u16(out, unsigned(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument &instrument : module.instruments)
        put_instrument(out, instrument);
    return "";
}

std::string write_xm(const std::string &path, const XmModule &module)
{
    std::vector<uint8_t> bytes;
    std::string failure = encode_xm(module, bytes);
    if (!failure.empty())
        return path + ": " + failure;
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return path + ": cannot create the file";
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (fclose(file) == 0) && ok;
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return path + ": write failed";
    }
    return "";
}
