// orvanti-capture --video: the streams ffprobe sees in a short capture, the
// picture against the PNG of the same frame, the sound against the WAV, two
// runs decoding alike, and the missing and failing ffmpeg paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "short_show.h"

namespace {

const std::string Capture = std::string(ORVANTI_BINARY_DIR) + "/orvanti-capture";
constexpr int Fps = 50;
constexpr int Seconds = 4;
constexpr int CheckedFrame = 175;
// The video shows the 16:9 window, rows 60 to 419 of the 640x480 screen;
// the band lies at rows 80 to 399 of the screen.
constexpr int Width = 640, Height = 360, WindowTop = 60, BandTop = 80 - WindowTop, BandBottom = 400 - WindowTop;

// Runs a command and returns what it writes on standard output.
std::string output_of(const std::string &command)
{
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        text.append(chunk, got);
    pclose(pipe);
    return text;
}

bool have_program(const char *name)
{
    return run_command(std::string("command -v ") + name + " >/dev/null", nullptr) == 0;
}

// ffprobe's key=value lines for one stream.
std::map<std::string, std::string> probe_stream(const std::string &file, const char *stream, const char *entries)
{
    std::string text = output_of("ffprobe -v error -count_frames -select_streams " + std::string(stream) +
                                 " -show_entries stream=" + entries + " -of default=noprint_wrappers=1 '" + file + "'");
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

std::vector<std::string> folder_entries(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class VideoTest : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override
    {
        if (!have_program("ffmpeg") || !have_program("ffprobe"))
            GTEST_SKIP() << "ffmpeg and ffprobe are needed (scripts/install-deps.sh installs them)";
        folder = make_temp_folder();
    }
    void TearDown() override
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
    int capture(const std::string &arguments, std::string *errors, const std::string &environment = "")
    {
        return run_command("cd '" + folder + "' && " + environment + " " + Capture + " --quiet " + arguments, errors);
    }
};

TEST_F(VideoTest, FirstSecondsGiveTheExpectedStreamsPictureAndSoundAndDecodeAlikeTwice)
{
    std::string errors;
    const std::string common = "--data " ORVANTI_DATA_DIR " --end " + std::to_string(Seconds);
    ASSERT_EQ(capture(common + " --video a.mp4 --wav a.wav --out png --frames " + std::to_string(CheckedFrame) + "-" +
                          std::to_string(CheckedFrame),
                      &errors),
              0)
        << errors;
    ASSERT_EQ(capture(common + " --video b.mp4", &errors), 0) << errors;
    // Sizes for video sites at other scales, and the whole 4:3 screen on request.
    const std::string brief = "--data " ORVANTI_DATA_DIR " --end 0.1 --video ";
    ASSERT_EQ(capture(brief + "c.mp4 --scale 3", &errors), 0) << errors;
    ASSERT_EQ(capture(brief + "d.mp4 --layout screen", &errors), 0) << errors;
    ASSERT_EQ(capture(brief + "e.mp4 --scale 6", &errors), 0) << errors;
    auto size_of = [this](const char *name) {
        auto found = probe_stream(folder + "/" + name, "v:0", "width,height");
        return found["width"] + "x" + found["height"];
    };
    EXPECT_EQ(size_of("c.mp4"), "1920x1080");
    EXPECT_EQ(size_of("d.mp4"), "1280x960");
    EXPECT_EQ(size_of("e.mp4"), "3840x2160");
    // Only the outputs: the hidden work files are gone.
    EXPECT_EQ(folder_entries(folder),
              (std::vector<std::string>{"a.mp4", "a.wav", "b.mp4", "c.mp4", "d.mp4", "e.mp4", "png"}));

    const std::string a = folder + "/a.mp4";
    auto video = probe_stream(a, "v:0", "codec_name,width,height,r_frame_rate,pix_fmt,nb_read_frames,duration");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["width"], "1280");
    EXPECT_EQ(video["height"], "720");
    EXPECT_EQ(video["r_frame_rate"], "50/1");
    EXPECT_EQ(video["pix_fmt"], "gbrp");
    EXPECT_EQ(video["nb_read_frames"], std::to_string(Fps * Seconds));
    auto audio = probe_stream(a, "a:0", "codec_name,sample_rate,channels,duration");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(audio["channels"], "2");
    ASSERT_FALSE(video["duration"].empty());
    ASSERT_FALSE(audio["duration"].empty());
    EXPECT_NEAR(std::stod(audio["duration"]), std::stod(video["duration"]), 1.0 / Fps);

    // Two runs decode to the same frames and the same sound.
    std::string sums_a = output_of("ffmpeg -v error -i '" + a + "' -map 0 -f framemd5 -");
    std::string sums_b = output_of("ffmpeg -v error -i '" + folder + "/b.mp4' -map 0 -f framemd5 -");
    size_t video_lines = 0;
    for (size_t at = sums_a.find("\n0,"); at != std::string::npos; at = sums_a.find("\n0,", at + 1))
        video_lines++;
    EXPECT_EQ(video_lines, static_cast<size_t>(Fps * Seconds));
    EXPECT_EQ(sums_a, sums_b);

    // The decoded frame, shrunk back to 640 by 360, is the saved PNG's window
    // up to the encoder's small losses: black bars, and colours in their channels.
    std::string select = "'select=eq(n\\," + std::to_string(CheckedFrame) +
                         "),scale=640:360:in_color_matrix=bt709:flags=neighbor+accurate_rnd+full_chroma_int'";
    ASSERT_EQ(run_command("ffmpeg -v error -i '" + a + "' -vf " + select + " -frames:v 1 -f rawvideo -pix_fmt rgb24 '" +
                              folder + "/decoded.rgb'",
                          &errors),
              0)
        << errors;
    char png[64];
    snprintf(png, sizeof png, "/png/frame_%06d.png", CheckedFrame);
    ASSERT_EQ(run_command("ffmpeg -v error -i '" + folder + png + "' -vf crop=640:360:0:60 -f rawvideo -pix_fmt rgb24 '" +
                              folder + "/source.rgb'",
                          &errors),
              0)
        << errors;
    std::vector<uint8_t> decoded = read_file_bytes(folder + "/decoded.rgb"), source = read_file_bytes(folder + "/source.rgb");
    ASSERT_EQ(decoded.size(), static_cast<size_t>(Width * Height * 3));
    ASSERT_EQ(source.size(), decoded.size());
    int brightest_bar = 0;
    double band_error = 0, lit_error = 0;
    long lit = 0;
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            size_t at = static_cast<size_t>(y * Width + x) * 3;
            int wanted_max = std::max({source[at], source[at + 1], source[at + 2]});
            int error = 0;
            for (int c = 0; c < 3; c++)
                error += std::abs(decoded[at + c] - source[at + c]);
            if (y < BandTop || y >= BandBottom) {
                // Bar rows coded in the same 16-row block as band rows take
                // some of the band's coding noise; the others must stay black.
                bool shares_block = y / 16 == BandTop / 16 || y / 16 == (BandBottom - 1) / 16;
                if (!shares_block)
                    brightest_bar = std::max({brightest_bar, int(decoded[at]), int(decoded[at + 1]), int(decoded[at + 2])});
                continue;
            }
            band_error += error;
            if (wanted_max >= 64) {
                lit_error += error;
                lit++;
            }
        }
    EXPECT_LE(brightest_bar, 2);
    EXPECT_LT(band_error / (Width * (BandBottom - BandTop) * 3), 2.0);
    ASSERT_GT(lit, 1000) << "frame " << CheckedFrame << " shows too little to compare";
    // About 11 for this frame of fine coloured triangles; colour subsampled
    // before the enlargement gives about 30, red and blue swapped about 60.
    EXPECT_LT(lit_error / (lit * 3), 20.0);

    // The sound in the video is the WAV's, aligned: decoded AAC differs
    // from it by far less than the music's own level.
    ASSERT_EQ(run_command("ffmpeg -v error -i '" + a + "' -map 0:a -f s16le -ac 2 -ar 44100 '" + folder + "/sound.raw'",
                          &errors),
              0)
        << errors;
    std::vector<uint8_t> wav = read_file_bytes(folder + "/a.wav"), sound = read_file_bytes(folder + "/sound.raw");
    constexpr size_t WavHeader = 44;
    ASSERT_GT(wav.size(), WavHeader);
    size_t samples = std::min(wav.size() - WavHeader, sound.size()) / 2;
    ASSERT_GT(samples, 44100u);
    double signal = 0, difference = 0;
    for (size_t i = 0; i < samples; i++) {
        int wanted = static_cast<int16_t>(wav[WavHeader + 2 * i] | wav[WavHeader + 2 * i + 1] << 8);
        int got = static_cast<int16_t>(sound[2 * i] | sound[2 * i + 1] << 8);
        signal += double(wanted) * wanted;
        difference += double(got - wanted) * (got - wanted);
    }
    ASSERT_GT(signal, 0) << "the first seconds are silent";
    EXPECT_LT(std::sqrt(difference / signal), 0.1);
}

// --lossless: every decoded frame is the PNG of the same frame, byte for
// byte, and the decoded sound is the WAV's samples; it asks for Matroska.
TEST_F(VideoTest, LosslessVideoDecodesToTheSavedFramesAndSound)
{
    std::string errors;
    ASSERT_EQ(capture("--data " ORVANTI_DATA_DIR " --start 1 --end 1.5 --lossless --video l.mkv --wav l.wav --png",
                      &errors),
              0)
        << errors;
    std::string decoded = output_of("ffmpeg -v error -i '" + folder + "/l.mkv' -map 0:v -f framemd5 -pix_fmt rgb24 -");
    std::string saved = output_of("ffmpeg -v error -framerate 50 -start_number 50 -i '" + folder +
                                  "/capture/frame_%06d.png' -f framemd5 -pix_fmt rgb24 -");
    // The last field of each frame line is its MD5.
    auto sums = [](const std::string &text) {
        std::vector<std::string> list;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line[0] != '#') list.push_back(line.substr(line.find_last_of(' ') + 1));
        return list;
    };
    std::vector<std::string> from_video = sums(decoded);
    EXPECT_EQ(from_video.size(), 25u);
    EXPECT_EQ(from_video, sums(saved));
    ASSERT_EQ(run_command("ffmpeg -v error -i '" + folder + "/l.mkv' -map 0:a -f s16le '" + folder + "/l.raw'", &errors), 0)
        << errors;
    std::vector<uint8_t> wav = read_file_bytes(folder + "/l.wav"), sound = read_file_bytes(folder + "/l.raw");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_TRUE(sound == std::vector<uint8_t>(wav.begin() + 44, wav.end()));
    // The window, bit-exact, is rows 60 to 419 of each frame's PNG.
    ASSERT_EQ(capture("--data " ORVANTI_DATA_DIR " --start 1 --end 1.1 --lossless --layout window --video w.mkv", &errors), 0)
        << errors;
    std::vector<std::string> window = sums(output_of("ffmpeg -v error -i '" + folder + "/w.mkv' -map 0:v -f framemd5 -pix_fmt rgb24 -"));
    std::vector<std::string> cropped = sums(output_of("ffmpeg -v error -framerate 50 -start_number 50 -i '" + folder +
                                                      "/capture/frame_%06d.png' -frames:v 5 -vf crop=640:360:0:60 -f framemd5 -pix_fmt rgb24 -"));
    EXPECT_EQ(window.size(), 5u);
    EXPECT_EQ(window, cropped);
    EXPECT_EQ(capture("--lossless --video l.mp4", &errors), 2);
    EXPECT_NE(errors.find("l.mp4: a lossless video is Matroska"), std::string::npos) << errors;
}

TEST_F(VideoTest, MissingFfmpegIsExplainedBeforeAnythingIsWritten)
{
    std::string show = make_short_show_folder();
    ASSERT_FALSE(show.empty());
    std::string errors;
    EXPECT_EQ(capture("--data '" + show + "' --video out.mp4", &errors, "PATH=/nonexistent"), 6);
    EXPECT_NE(errors.find("ffmpeg"), std::string::npos) << errors;
    EXPECT_NE(errors.find("apt-get install ffmpeg"), std::string::npos) << errors;
    EXPECT_NE(errors.find("--png"), std::string::npos) << errors;
    EXPECT_NE(errors.find("--wav"), std::string::npos) << errors;
    EXPECT_TRUE(folder_entries(folder).empty());
    std::filesystem::remove_all(show);
}

TEST_F(VideoTest, FailingFfmpegIsReportedWithItsStatusAndLeavesNoFile)
{
    std::string show = make_short_show_folder();
    ASSERT_FALSE(show.empty());
    std::string bin = folder + "/bin", out = folder + "/out";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(out);
    const std::string fake = bin + "/ffmpeg";
    const std::string environment = "PATH='" + bin + "':/usr/bin:/bin";
    struct Case {
        const char *script;
        const char *status;
        const char *message;
    };
    // One that refuses at once (the capture then writes into a closed pipe)
    // and one that reads every frame, leaves half a file and fails.
    const Case cases[] = {
        {"echo 'fake: Unknown encoder' >&2; exit 1", "exit status 1", "fake: Unknown encoder"},
        {"cat >/dev/null; for last; do :; done; echo partial > \"$last\"; echo 'fake: No space left on device' >&2; "
         "exit 3",
         "exit status 3", "No space left on device"},
    };
    for (const Case &test : cases) {
        std::string text = std::string("#!/bin/sh\n") + test.script + "\n";
        write_file_bytes(fake, std::vector<uint8_t>(text.begin(), text.end()));
        std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
        std::string errors;
        EXPECT_EQ(capture("--data '" + show + "' --video out/show.mp4 --wav out/show.wav", &errors, environment), 7)
            << test.script;
        EXPECT_NE(errors.find(test.status), std::string::npos) << errors;
        EXPECT_NE(errors.find(test.message), std::string::npos) << errors;
        EXPECT_NE(errors.find("out/show.mp4"), std::string::npos) << errors;
        EXPECT_TRUE(folder_entries(out).empty()) << "left behind: " << folder_entries(out).front();
    }

    // Outputs that cannot be made at all fail before the show is played.
    std::string errors;
    EXPECT_EQ(capture("--data '" + show + "' --video no-such-folder/show.mp4", &errors), 7);
    EXPECT_NE(errors.find("no-such-folder"), std::string::npos) << errors;
    EXPECT_EQ(capture("--data '" + show + "' --video out.mkv --wav no-such-folder/show.wav", &errors), 7);
    EXPECT_NE(errors.find("no-such-folder/show.wav"), std::string::npos) << errors;
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"bin", "out"}));
    std::filesystem::remove_all(show);
}

}  // namespace
