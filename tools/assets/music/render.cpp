// WAV rendering of the module: libopenmpt's float output, rounded to 16 bits.
#include "music/render.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

namespace {

constexpr size_t RenderBlock = 4096;  // frames per libopenmpt call
constexpr uint32_t WavHeaderBytes = 44;

void put_u16(std::vector<uint8_t> &out, unsigned value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

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
    std::vector<uint8_t> pcm;
    try {
        std::ostringstream log;
        openmpt::module module(module_bytes, log);
        std::vector<float> interleaved(RenderBlock * 2);
        while (size_t frames = module.read_interleaved_stereo(MusicRenderRate, RenderBlock, interleaved.data())) {
            for (size_t i = 0; i < frames * 2; i++)
                put_u16(pcm, uint16_t(to_pcm16(interleaved[i])));
        }
    } catch (const std::exception &failure) {
        return path + ": the music does not play: " + failure.what();
    }

    std::vector<uint8_t> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    put_u32(header, uint32_t(WavHeaderBytes - 8 + pcm.size()));
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_u32(header, 16);                       // format chunk size
    put_u16(header, 1);                        // integer PCM
    put_u16(header, 2);                        // stereo
    put_u32(header, MusicRenderRate);
    put_u32(header, MusicRenderRate * 2 * 2);  // bytes per second
    put_u16(header, 2 * 2);                    // bytes per frame
    put_u16(header, 16);                       // bits per sample
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    put_u32(header, uint32_t(pcm.size()));

    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return path + ": cannot create the file";
    bool ok = fwrite(header.data(), 1, header.size(), file) == header.size() &&
              fwrite(pcm.data(), 1, pcm.size(), file) == pcm.size();
    ok = (fclose(file) == 0) && ok;
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return path + ": write failed";
    }
    return "";
}
