// WAV writer: 16-bit stereo PCM at 44,100 Hz, sizes patched in at the end.
#include "wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "little_endian.h"

constexpr int WavChannels = 2;
constexpr int WavBitsPerSample = 16;
constexpr int WavBytesPerFrame = WavChannels * WavBitsPerSample / 8;
constexpr size_t WavHeaderBytes = 44;
// The RIFF size field counts everything after its own eight bytes.
constexpr uint64_t WavMaxDataBytes = UINT64_C(0xFFFFFFFF) - (WavHeaderBytes - 8);

static void fill_header(uint8_t *header, uint32_t data_bytes)
{
    memcpy(header, "RIFF", 4);
    store_u32(header + 4, static_cast<uint32_t>(WavHeaderBytes - 8 + data_bytes));
    memcpy(header + 8, "WAVEfmt ", 8);
    store_u32(header + 16, 16);  // size of the format chunk
    store_u16(header + 20, 1);   // integer PCM
    store_u16(header + 22, WavChannels);
    store_u32(header + 24, WavRate);
    store_u32(header + 28, WavRate * WavBytesPerFrame);
    store_u16(header + 32, WavBytesPerFrame);
    store_u16(header + 34, WavBitsPerSample);
    memcpy(header + 36, "data", 4);
    store_u32(header + 40, data_bytes);
}

std::string open_wav(WavFile *wav, const std::string &path)
{
    *wav = {};
    wav->path = path;
    std::string error = open_output(&wav->out, path);
    if (!error.empty())
        return error;
    wav->file = wav->out.file;
    uint8_t header[WavHeaderBytes];
    fill_header(header, 0);
    if (fwrite(header, 1, sizeof header, wav->file) != sizeof header) {
        error = path + ": " + strerror(errno);
        discard_wav(wav);
        return error;
    }
    return "";
}

void write_wav(WavFile *wav, const int16_t *stereo, size_t frames)
{
    if (!wav->file || !wav->problem.empty())
        return;
    if ((wav->frames + frames) * WavBytesPerFrame > WavMaxDataBytes) {
        wav->problem = "too long for a WAV file";
        return;
    }
    // Samples are stored little-endian whatever the machine.
    uint8_t bytes[4096];
    size_t samples = frames * WavChannels;
    for (size_t done = 0; done < samples;) {
        size_t count = std::min(samples - done, sizeof bytes / 2);
        for (size_t i = 0; i < count; i++)
            store_u16(bytes + 2 * i, static_cast<uint16_t>(stereo[done + i]));
        if (fwrite(bytes, 2, count, wav->file) != count) {
            wav->problem = strerror(errno);
            return;
        }
        done += count;
    }
    wav->frames += frames;
}

std::string finish_wav(WavFile *wav)
{
    if (!wav->file)
        return wav->path + ": not open";
    uint8_t header[WavHeaderBytes];
    fill_header(header, static_cast<uint32_t>(wav->frames * WavBytesPerFrame));
    errno = 0;
    bool ok = wav->problem.empty() && fflush(wav->file) == 0 && fseek(wav->file, 0, SEEK_SET) == 0 &&
              fwrite(header, 1, sizeof header, wav->file) == sizeof header;
    if (!ok && wav->problem.empty())
        wav->problem = errno ? strerror(errno) : "write failed";
    wav->file = nullptr;
    wav->out.problem = wav->problem;
    std::string error = close_output(&wav->out);
    if (!error.empty() && wav->problem.empty())
        wav->problem = error.substr(wav->path.size() + 2);
    return error;
}

std::string place_wav(WavFile *wav)
{
    return place_output(&wav->out);
}

std::string close_wav(WavFile *wav)
{
    std::string error = finish_wav(wav);
    return error.empty() ? place_wav(wav) : error;
}

void discard_wav(WavFile *wav)
{
    wav->file = nullptr;
    discard_output(&wav->out);
}
