// Synthesis of the show's instruments: swept sines, filtered noise and
// additive waves whose looped parts hold a whole number of cycles, so loops
// join without a click.
#include "music/instruments.h"

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DrumRate = 44100.0;
constexpr double PcmPeak = 0.92;  // headroom left in each sample after normalising

constexpr int NoteC4 = 49;
constexpr int NoteA2 = 34;
constexpr int NoteC5 = 61;
constexpr double FrequencyA2 = 110.0;
constexpr double FrequencyC4 = 261.6255653005986;
constexpr double FrequencyC5 = 523.2511306011972;
constexpr double PadTop = 18000.0;   // pads play within a fifth of their reference
constexpr double LeadTop = 11000.0;  // arpeggio and lead climb up to an octave and a half

// White noise from a fixed starting state: the samples come out the same on every run.
struct NoiseSource {
    uint32_t state;
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483647.5 - 1.0;
    }
};

// One-pole filters; `cutoff` in Hz.
struct OnePole {
    double coefficient = 0.0;
    double state = 0.0;
    OnePole(double cutoff, double rate) : coefficient(1.0 - std::exp(-2.0 * Pi * cutoff / rate)) {}
    double lowpass(double in) { return state += coefficient * (in - state); }
    double highpass(double in) { return in - lowpass(in); }
};

// Chamberlin state-variable filter, for the swept band-pass of the riser and
// the clap's band.
struct StateVariable {
    double low = 0.0, band = 0.0;
    double bandpass(double in, double cutoff, double rate, double damping)
    {
        double f = 2.0 * std::sin(Pi * std::fmin(cutoff, rate / 6.0) / rate);
        low += f * band;
        double high = in - low - damping * band;
        band += f * high;
        return band;
    }
};

// Gain of a gentle two-pole low-pass at `frequency`.
double lowpass_gain(double frequency, double cutoff)
{
    double ratio = frequency / cutoff;
    return 1.0 / std::sqrt(1.0 + ratio * ratio * ratio * ratio);
}

std::vector<int16_t> to_pcm(const std::vector<double> &wave)
{
    double peak = 0.0;
    for (double v : wave)
        peak = std::fmax(peak, std::fabs(v));
    double scale = peak > 0.0 ? PcmPeak * 32767.0 / peak : 0.0;
    std::vector<int16_t> pcm(wave.size());
    for (size_t i = 0; i < wave.size(); i++)
        pcm[i] = int16_t(std::lround(wave[i] * scale));
    return pcm;
}

// A soft clip: louder for the same peak, with a few more overtones. Sample
// by sample, so a loop still joins.
std::vector<double> saturated(std::vector<double> wave, double drive)
{
    double peak = 0.0;
    for (double v : wave)
        peak = std::fmax(peak, std::fabs(v));
    if (peak > 0.0)
        for (double &v : wave)
            v = std::tanh(drive * v / peak);
    return wave;
}

// Short fade at the end of a one-shot so it never stops on a step.
void fade_tail(std::vector<double> &wave, double rate, double seconds = 0.01)
{
    size_t count = std::min(wave.size(), size_t(seconds * rate));
    for (size_t i = 0; i < count; i++)
        wave[wave.size() - 1 - i] *= double(i) / double(count);
}

XmSample make_sample(const char *name, const std::vector<double> &wave, double rate, int reference_note)
{
    XmSample sample;
    sample.name = name;
    sample.data = to_pcm(wave);
    xm_tune_sample(sample, rate, reference_note);
    return sample;
}

XmInstrument make_instrument(const char *name, XmSample sample, uint8_t volume)
{
    XmInstrument instrument;
    instrument.name = name;
    sample.volume = volume;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

// A one-shot drum at the drum rate, tuned to C-4, at full volume and the
// given pan.
XmInstrument make_drum(const char *name, const std::vector<double> &wave, uint8_t panning = 128)
{
    XmInstrument drum = make_instrument(name, make_sample(name, wave, DrumRate, NoteC4), 64);
    drum.samples[0].panning = panning;
    return drum;
}

void set_envelope(XmInstrument &instrument, std::vector<XmEnvelopePoint> points, int sustain, uint16_t fadeout)
{
    instrument.volume_envelope.enabled = true;
    instrument.volume_envelope.points = std::move(points);
    instrument.volume_envelope.sustain = sustain;
    instrument.fadeout = fadeout;
}

XmInstrument make_kick()
{
    std::vector<double> wave(size_t(0.5 * DrumRate));
    NoiseSource noise{0x1234567u};
    OnePole click_filter(3000.0, DrumRate);
    double phase = 0.0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double frequency = 50.0 + 120.0 * std::exp(-t / 0.035) + 380.0 * std::exp(-t / 0.005);
        phase += 2.0 * Pi * frequency / DrumRate;
        double body = std::sin(phase) * std::exp(-t / 0.13) * std::fmin(1.0, t / 0.0008);
        double click = click_filter.lowpass(noise.next()) * std::exp(-t / 0.004);
        wave[i] = std::tanh(1.8 * (body + 0.5 * click));
    }
    fade_tail(wave, DrumRate, 0.05);
    return make_drum("kick", wave);
}

XmInstrument make_snare()
{
    std::vector<double> wave(size_t(0.4 * DrumRate));
    NoiseSource noise{0x2345678u};
    OnePole low_cut(900.0, DrumRate), high_cut(9000.0, DrumRate);
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double tone = 0.6 * std::sin(2.0 * Pi * 185.0 * t) * std::exp(-t / 0.06) +
                      0.3 * std::sin(2.0 * Pi * 330.0 * t) * std::exp(-t / 0.035);
        double hiss = high_cut.lowpass(low_cut.highpass(noise.next())) * std::exp(-t / 0.12);
        wave[i] = std::tanh(1.4 * (tone + 1.1 * hiss)) * std::fmin(1.0, t / 0.0005);
    }
    fade_tail(wave, DrumRate, 0.05);
    return make_drum("snare", wave);
}

XmInstrument make_clap()
{
    std::vector<double> wave(size_t(0.45 * DrumRate));
    NoiseSource noise{0x3456789u};
    StateVariable band;
    const double bursts[] = {0.0, 0.010, 0.021, 0.031};
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double level = 0.0;
        for (double start : bursts)
            if (t >= start)
                level = std::fmax(level, std::exp(-(t - start) / 0.007));
        if (t >= bursts[3])
            level = std::fmax(level, 0.7 * std::exp(-(t - bursts[3]) / 0.13));
        wave[i] = band.bandpass(noise.next(), 1250.0, DrumRate, 0.9) * level;
    }
    fade_tail(wave, DrumRate, 0.05);
    return make_drum("clap", wave);
}

// Metallic noise: six detuned square waves plus noise, high-passed twice.
std::vector<double> metal(double seconds, double decay, double attack_boost, uint32_t salt, double low_cut_hz)
{
    std::vector<double> wave(size_t(seconds * DrumRate));
    NoiseSource noise{salt};
    OnePole first(low_cut_hz, DrumRate), second(low_cut_hz, DrumRate);
    const double partials[] = {349.0, 517.5, 628.3, 888.6, 918.0, 1360.0};
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double ring = 0.0;
        for (double frequency : partials)
            ring += std::fmod(t * frequency, 1.0) < 0.5 ? 1.0 : -1.0;
        double raw = 0.12 * ring + 0.8 * noise.next();
        double level = std::exp(-t / decay) + attack_boost * std::exp(-t / 0.02);
        wave[i] = second.highpass(first.highpass(raw)) * level;
    }
    fade_tail(wave, DrumRate, 0.03);
    return wave;
}

XmInstrument make_closed_hat()
{
    std::vector<double> wave = saturated(metal(0.16, 0.05, 0.0, 0x456789Au, 6000.0), 2.0);
    return make_drum("closed hat", wave, 160);
}

XmInstrument make_open_hat()
{
    std::vector<double> wave = saturated(metal(0.6, 0.22, 0.6, 0x56789ABu, 6000.0), 2.0);
    return make_drum("open hat", wave, 100);
}

XmInstrument make_crash()
{
    // A loud strike over a long wash, so that a crash stands out even over
    // the tail of the previous one.
    return make_drum("crash", metal(2.4, 0.9, 1.5, 0x6789ABCu, 3500.0));
}

// Additive saw with a closing low-pass for the first `attack` seconds, then
// steady and looped over whole periods.
XmInstrument make_bass()
{
    constexpr int Period = 200;  // frames per cycle at A-2
    constexpr double Rate = FrequencyA2 * Period;
    constexpr double Attack = 0.2;
    constexpr int LoopPeriods = 10;
    int attack_frames = (int(Attack * Rate) / Period + 1) * Period;
    std::vector<double> wave(size_t(attack_frames + LoopPeriods * Period));
    constexpr int Harmonics = 80;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / Rate;
        double closing = t < Attack ? (1.0 - t / Attack) * (1.0 - t / Attack) : 0.0;
        double cutoff = 420.0 + 2600.0 * closing;
        double sum = 0.7 * std::sin(2.0 * Pi * double(i) / Period);  // sub weight
        for (int k = 1; k <= Harmonics; k++)
            sum += std::sin(2.0 * Pi * double(k) * double(i) / Period) / k * lowpass_gain(k * FrequencyA2, cutoff);
        wave[i] = std::tanh(1.3 * sum);
    }
    XmSample sample = make_sample("bass", wave, Rate, NoteA2);
    sample.loop = XmLoopForward;
    sample.loop_start = uint32_t(attack_frames);
    sample.loop_length = uint32_t(LoopPeriods * Period);
    XmInstrument bass = make_instrument("bass", sample, 64);
    set_envelope(bass, {{0, 64}, {4, 60}, {16, 54}, {40, 52}, {44, 0}}, 3, 0x1800);
    return bass;
}

// A looped additive wave: every voice has a whole number of cycles in the
// loop, so the loop joins cleanly while the voices beat against each other.
struct Voice {
    int cycles;
    double level;
};

// Partials stop below `top` Hz, lower for sounds played far above their
// reference note so that resampling them up does not fold partials back.
std::vector<double> looped_voices(int loop_frames, const std::vector<Voice> &voices, double rate, double cutoff,
                                  double top, double odd_weight, double even_weight, uint32_t salt)
{
    std::vector<double> wave(size_t(loop_frames), 0.0);
    NoiseSource phases{salt};
    for (const Voice &voice : voices) {
        double fundamental = voice.cycles * rate / loop_frames;
        for (int k = 1; k * fundamental < top; k++) {
            double amplitude = voice.level * (k % 2 ? odd_weight : even_weight) / k * lowpass_gain(k * fundamental, cutoff);
            // A random start phase per partial keeps the sum smooth instead of spiky.
            double start = Pi * phases.next();
            double step = 2.0 * Pi * double(voice.cycles) * k / loop_frames;
            // Rotate a phasor instead of calling sin for every frame.
            double re = std::cos(start), im = std::sin(start);
            double step_re = std::cos(step), step_im = std::sin(step);
            for (int i = 0; i < loop_frames; i++) {
                wave[size_t(i)] += amplitude * im;
                double next_re = re * step_re - im * step_im;
                im = re * step_im + im * step_re;
                re = next_re;
            }
        }
    }
    return wave;
}

XmSample looped_sample(const char *name, const std::vector<double> &wave, double rate, int reference_note)
{
    XmSample sample = make_sample(name, wave, rate, reference_note);
    sample.loop = XmLoopForward;
    sample.loop_start = 0;
    sample.loop_length = uint32_t(sample.data.size());
    return sample;
}

XmInstrument make_pad()
{
    constexpr int Cycles = 300;  // of C-4 in the loop: about 1.15 s at 44.1 kHz
    int frames = int(std::lround(44100.0 * Cycles / FrequencyC4));
    double rate = FrequencyC4 * frames / Cycles;
    std::vector<Voice> voices = {{Cycles - 2, 0.8}, {Cycles - 1, 1.0}, {Cycles, 1.0}, {Cycles + 1, 1.0},
                                 {Cycles + 2, 0.8}, {Cycles / 2, 0.6}};
    std::vector<double> wave = looped_voices(frames, voices, rate, 3200.0, PadTop, 1.0, 1.0, 0x789ABCDu);
    XmInstrument pad = make_instrument("pad", looped_sample("pad", saturated(wave, 1.6), rate, NoteC4), 64);
    set_envelope(pad, {{0, 0}, {30, 44}, {70, 60}, {100, 64}, {220, 0}}, 3, 0x100);
    return pad;
}

// The chord's voices spread across the stereo field.
XmInstrument make_panned(XmInstrument instrument, const char *name, uint8_t panning)
{
    instrument.name = name;
    instrument.samples[0].panning = panning;
    return instrument;
}

XmInstrument make_arp()
{
    constexpr int Cycles = 200;
    int frames = int(std::lround(44100.0 * Cycles / FrequencyC5));
    double rate = FrequencyC5 * frames / Cycles;
    std::vector<double> wave =
        looped_voices(frames, {{Cycles, 1.0}, {Cycles + 1, 0.8}}, rate, 6000.0, LeadTop, 1.0, 0.45, 0x89ABCDEu);
    XmInstrument arp = make_instrument("arp", looped_sample("arp", saturated(wave, 1.5), rate, NoteC5), 64);
    set_envelope(arp, {{0, 64}, {3, 44}, {10, 22}, {24, 8}, {40, 0}}, -1, 0x800);
    arp.samples[0].panning = 80;
    return arp;
}

XmInstrument make_arp_echo()
{
    XmInstrument echo = make_arp();
    echo.name = "arp echo";
    echo.samples[0].panning = 200;
    return echo;
}

XmInstrument make_lead()
{
    constexpr int Cycles = 200;
    int frames = int(std::lround(44100.0 * Cycles / FrequencyC5));
    double rate = FrequencyC5 * frames / Cycles;
    std::vector<double> wave = looped_voices(frames, {{Cycles - 1, 0.9}, {Cycles, 1.0}, {Cycles + 1, 0.9}}, rate,
                                             8000.0, LeadTop, 1.0, 0.85, 0x9ABCDEFu);
    XmInstrument lead = make_instrument("lead", looped_sample("lead", saturated(wave, 1.5), rate, NoteC5), 64);
    set_envelope(lead, {{0, 0}, {2, 64}, {12, 60}, {30, 0}}, 2, 0x400);
    lead.vibrato_type = 0;
    lead.vibrato_sweep = 40;
    lead.vibrato_depth = 5;
    lead.vibrato_rate = 12;
    return lead;
}

XmInstrument make_lead_double(XmInstrument lead)
{
    lead.name = "lead double";
    XmSample &sample = lead.samples[0];
    sample.finetune = int8_t(std::min(127, sample.finetune + 10));  // about 8 cents
    sample.panning = 176;
    lead.vibrato_rate = 10;  // a slightly slower vibrato, so the two never move as one
    return lead;
}

// A minor chord struck once: root, minor third, fifth, octave and the octave
// below, each two detuned saws through a closing low-pass.
XmInstrument make_stab()
{
    std::vector<double> wave(size_t(0.7 * DrumRate), 0.0);
    const int intervals[] = {-12, 0, 3, 7, 12};
    const double detune[] = {-0.004, 0.004};
    NoiseSource phases{0xABCDEF1u};
    std::vector<double> cutoff(wave.size()), level(wave.size());
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        cutoff[i] = 500.0 + 6500.0 * std::exp(-t / 0.07);
        level[i] = std::fmin(1.0, t / 0.001) * std::exp(-t / 0.26);
    }
    for (int interval : intervals)
        for (double cents : detune) {
            double fundamental = FrequencyC4 * std::pow(2.0, interval / 12.0) * (1.0 + cents);
            for (int k = 1; k * fundamental < 12000.0; k++) {
                double start = Pi * phases.next();
                for (size_t i = 0; i < wave.size(); i++) {
                    double gain = lowpass_gain(k * fundamental, cutoff[i]) / k;
                    wave[i] += gain * level[i] * std::sin(start + 2.0 * Pi * k * fundamental * double(i) / DrumRate);
                }
            }
        }
    fade_tail(wave, DrumRate, 0.05);
    return make_drum("stab", wave);
}

XmInstrument make_impact()
{
    std::vector<double> wave(size_t(1.6 * DrumRate));
    NoiseSource noise{0xBCDEF12u};
    OnePole rumble(600.0, DrumRate);
    double phase = 0.0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        phase += 2.0 * Pi * (36.0 + 70.0 * std::exp(-t / 0.12)) / DrumRate;
        double boom = std::sin(phase) * std::exp(-t / 0.7);
        double hit = rumble.lowpass(noise.next()) * std::exp(-t / 0.15) * 2.0;
        wave[i] = std::tanh(1.5 * (boom + hit)) * std::fmin(1.0, t / 0.001);
    }
    fade_tail(wave, DrumRate, 0.1);
    return make_drum("impact", wave);
}

// Noise through a band-pass sweeping up over 32 rows, growing louder.
XmInstrument make_riser()
{
    constexpr double Rate = 22050.0;
    constexpr double Seconds = 32 * 0.12;
    std::vector<double> wave(size_t(Seconds * Rate));
    NoiseSource noise{0xCDEF123u};
    StateVariable band;
    for (size_t i = 0; i < wave.size(); i++) {
        double progress = double(i) / double(wave.size());
        double cutoff = 250.0 * std::pow(32.0, progress);
        wave[i] = band.bandpass(noise.next(), cutoff, Rate, 0.35) * (0.05 + progress * progress);
    }
    fade_tail(wave, Rate, 0.02);
    return make_instrument("riser", make_sample("riser", wave, Rate, NoteC4), 64);
}

XmInstrument make_tom()
{
    std::vector<double> wave(size_t(0.5 * DrumRate));
    NoiseSource noise{0xDEF1234u};
    double phase = 0.0;
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        phase += 2.0 * Pi * (150.0 + 90.0 * std::exp(-t / 0.05)) / DrumRate;
        wave[i] = std::tanh(1.4 * (std::sin(phase) * std::exp(-t / 0.22) + 0.2 * noise.next() * std::exp(-t / 0.01)));
    }
    fade_tail(wave, DrumRate, 0.05);
    return make_drum("tom", wave);
}

// Two-operator FM bell: the modulator's index falls as the bell rings out.
XmInstrument make_bell()
{
    std::vector<double> wave(size_t(2.4 * DrumRate));
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double index = 0.6 + 3.0 * std::exp(-t / 0.25);
        double modulator = std::sin(2.0 * Pi * FrequencyC5 * 3.5 * t);
        double carrier = std::sin(2.0 * Pi * FrequencyC5 * t + index * modulator);
        wave[i] = carrier * std::exp(-t / 0.7) * std::fmin(1.0, t / 0.002);
    }
    fade_tail(wave, DrumRate, 0.1);
    return make_instrument("bell", make_sample("bell", wave, DrumRate, NoteC5), 64);
}

// Bright noise in a short swell: the opening's and the plane's light pulse.
XmInstrument make_shaker()
{
    std::vector<double> wave(size_t(0.12 * DrumRate));
    NoiseSource noise{0xEF12345u};
    OnePole first(5500.0, DrumRate), second(5500.0, DrumRate);
    for (size_t i = 0; i < wave.size(); i++) {
        double t = double(i) / DrumRate;
        double level = std::fmin(1.0, t / 0.012) * std::exp(-t / 0.035);
        wave[i] = second.highpass(first.highpass(noise.next())) * level;
    }
    wave = saturated(wave, 2.0);
    fade_tail(wave, DrumRate, 0.02);
    return make_drum("shaker", wave, 176);
}

// A long, thin metallic ring with a bright ping: the title's and the
// tunnel's eighths.
XmInstrument make_ride()
{
    std::vector<double> wave = saturated(metal(0.9, 0.35, 0.4, 0xF123456u, 8000.0), 1.5);
    return make_drum("ride", wave, 88);
}

}  // namespace

std::vector<XmInstrument> make_music_instruments()
{
    std::vector<XmInstrument> instruments(MusicInstrumentCount);
    auto slot = [&](MusicInstrument number) -> XmInstrument & { return instruments[number - 1]; };
    slot(InstrumentKick) = make_kick();
    slot(InstrumentSnare) = make_snare();
    slot(InstrumentClap) = make_clap();
    slot(InstrumentClosedHat) = make_closed_hat();
    slot(InstrumentOpenHat) = make_open_hat();
    slot(InstrumentCrash) = make_crash();
    slot(InstrumentBass) = make_bass();
    slot(InstrumentPad) = make_pad();
    slot(InstrumentPadLeft) = make_panned(slot(InstrumentPad), "pad left", 72);
    slot(InstrumentPadRight) = make_panned(slot(InstrumentPad), "pad right", 184);
    slot(InstrumentArp) = make_arp();
    slot(InstrumentArpEcho) = make_arp_echo();
    slot(InstrumentLead) = make_lead();
    slot(InstrumentStab) = make_stab();
    slot(InstrumentImpact) = make_impact();
    slot(InstrumentRiser) = make_riser();
    slot(InstrumentTom) = make_tom();
    slot(InstrumentBell) = make_bell();
    slot(InstrumentShaker) = make_shaker();
    slot(InstrumentRide) = make_ride();
    slot(InstrumentLeadDouble) = make_lead_double(slot(InstrumentLead));
    return instruments;
}
