// WAV rendering of the module: libopenmpt's float output, rounded to 16 bits.
#include "music/render.h"

#include <cmath>
#include <exception>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <vector>

#include "wav_writer.h"

namespace {

constexpr size_t RenderBlock = 4096;  // frames per libopenmpt call

int16_t to_pcm16(float sample)
{
    // Clamp first: converting an out-of-range float to an integer is undefined.
    float clamped = std::fmin(1.0f, std::fmax(-1.0f, sample));
    return int16_t(std::lround(clamped * 32767.0f));
}

}  // namespace

std::string render_music_wav(const std::vector<uint8_t> &module_bytes, const std::string &path)
{
    if (module_bytes.empty())
        return path + ": no music to render";
    WavFile wav;
    std::string error = open_wav(&wav, path);
    if (!error.empty())
        return error;
    try {
        std::ostringstream log;
        openmpt::module module(module_bytes, log);
        std::vector<float> interleaved(RenderBlock * 2);
        std::vector<int16_t> pcm(RenderBlock * 2);
        while (size_t frames = module.read_interleaved_stereo(WavRate, RenderBlock, interleaved.data())) {
            for (size_t i = 0; i < frames * 2; i++)
                pcm[i] = to_pcm16(interleaved[i]);
            write_wav(&wav, pcm.data(), frames);
        }
    } catch (const std::exception &failure) {
        discard_wav(&wav);
        return path + ": the music does not play: " + failure.what();
    }
    return close_wav(&wav);
}

double measure_music_peak(const std::vector<uint8_t> &module_bytes)
{
    try {
        std::ostringstream log;
        openmpt::module module(module_bytes, log);
        std::vector<float> interleaved(RenderBlock * 2);
        float peak = 0.0f;
        while (size_t frames = module.read_interleaved_stereo(WavRate, RenderBlock, interleaved.data()))
            for (size_t i = 0; i < frames * 2; i++)
                peak = std::fmax(peak, std::fabs(interleaved[i]));
        return peak;
    } catch (const std::exception &) {
        return -1.0;
    }
}
