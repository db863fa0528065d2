// The video through the ffmpeg program: raw frames down a pipe into an H.264
// encoder, the sound kept aside, both joined once the show is over.
#include <bit>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture.h"
#include "shell/music.h"

extern char **environ;

// H.264 settings that keep flat-coloured pixel art clean at a sane size.
// The picture is coded as RGB: every enlarged pixel keeps its own colour
// (4:2:0 would share one colour sample between the pixels of a sharp edge,
// and YUV starves the red and blue of saturated pixel art). Of the presets
// measured on the show (bench/encoder_matrix.sh) this one gives the sharpest
// picture and the smallest file; the faster ones lose both for speed.
constexpr const char *VideoPreset = "veryfast";
constexpr const char *VideoQuality = "16";   // constant rate factor
constexpr const char *AudioBitrate = "192k";
// Lossless: every decoded frame is the drawn one, and the sound the samples.
constexpr const char *LosslessPreset = "ultrafast";
// Frames the drawing may run ahead of the encoder.
constexpr int QueuedFrames = 4;
// A pipe this large lets ffmpeg take a frame in a few reads.
constexpr int PipeBytes = 1 << 20;
// How often a drawing thread waiting for room looks for an interrupt.
constexpr auto InterruptPoll = std::chrono::milliseconds(100);
// Longest ffmpeg message quoted in an error line.
constexpr size_t MaxQuotedMessage = 200;

static volatile sig_atomic_t Interrupted = 0;

static void note_interrupt(int)
{
    Interrupted = 1;
}

bool capture_interrupted()
{
    return Interrupted != 0;
}

void catch_capture_signals()
{
    struct sigaction action = {};
    action.sa_handler = note_interrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write blocked on the pipe returns so that the
    // interrupt is seen at once.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void leave_interrupts_to_the_drawing_thread()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

std::string find_ffmpeg(std::string *found)
{
    const char *path = getenv("PATH");
    std::string folders = path ? path : "/bin:/usr/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t colon = folders.find(':', start);
        std::string folder = folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/ffmpeg";
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            *found = candidate;
            return "";
        }
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return "ffmpeg is not installed (not found on PATH): install it with `apt-get install ffmpeg` (or "
           "scripts/install-deps.sh), or save the frames with --png and the sound with --wav instead";
}

// A new empty file named after `base` with a random part, readable as the
// umask allows (the joined video becomes the user's file).
static bool make_hidden_file(const std::string &folder, const std::string &base, std::string *path, int *fd_out)
{
    std::string name = (std::filesystem::path(folder) / ("." + base + ".XXXXXX")).string();
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    *path = buffer.data();
    if (fd_out)
        *fd_out = fd;
    else
        close(fd);
    return true;
}

static void remove_file(std::string *path)
{
    if (!path->empty()) {
        std::error_code ignored;
        std::filesystem::remove(*path, ignored);
        path->clear();
    }
}

// Frames on their way to ffmpeg: `count` filled slots from `head`, written
// in order by one thread while the drawing fills the next.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<uint8_t> slots[QueuedFrames];
    int head = 0, count = 0;
    bool closing = false;    // no more frames: write what is queued, then end
    bool failed = false;     // a write failed; `write_errno` says why
    int write_errno = 0;
    std::thread writer;
};

bool prepare_video(VideoEncoder *encoder, const std::string &ffmpeg, const std::string &output, int fps, int scale,
                   bool lossless)
{
    *encoder = {};
    encoder->pipe_fd = -1;
    encoder->ffmpeg = ffmpeg;
    encoder->output = output;
    encoder->fps = fps;
    encoder->scale = scale;
    encoder->lossless = lossless;
    std::string extension = std::filesystem::path(output).extension().string();
    for (char &c : extension)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    encoder->container = extension == ".mkv" ? "matroska" : "mp4";

    std::filesystem::path parent = std::filesystem::path(output).parent_path();
    std::string folder = parent.empty() ? "." : parent.string();
    std::string base = std::filesystem::path(output).filename().string();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        encoder->error = output + ": the folder " + folder + " does not exist";
        return false;
    }
    if (std::filesystem::is_directory(output, error)) {
        encoder->error = output + ": is a folder";
        return false;
    }
    int audio_fd = -1;
    if (!make_hidden_file(folder, base + ".video", &encoder->video_part, nullptr) ||
        !make_hidden_file(folder, base + ".sound", &encoder->audio_part, &audio_fd) ||
        !make_hidden_file(folder, base + ".joined", &encoder->joined_part, nullptr)) {
        encoder->error = output + ": cannot write in " + folder + ": " + strerror(errno);
        abandon_video(encoder);
        return false;
    }
    encoder->audio = fdopen(audio_fd, "wb");
    const char *temp = getenv("TMPDIR");
    if (!encoder->audio ||
        !make_hidden_file(temp && *temp ? temp : "/tmp", "orvanti-capture-ffmpeg.log", &encoder->log_path, nullptr)) {
        if (!encoder->audio)
            close(audio_fd);
        encoder->error = std::string("cannot make a temporary file: ") + strerror(errno);
        abandon_video(encoder);
        return false;
    }
    return true;
}

// Runs ffmpeg with `arguments`; its standard input is `input_fd` (or
// /dev/null), its messages go to the log. Returns the pid, or 0 with the
// error set.
static int spawn_ffmpeg(VideoEncoder *encoder, const std::vector<std::string> &arguments, int input_fd)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(encoder->ffmpeg.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, input_fd, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, encoder->log_path.c_str(), O_WRONLY | O_APPEND, 0);
    pid_t pid = 0;
    int result = posix_spawn(&pid, encoder->ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        encoder->error = "cannot start " + encoder->ffmpeg + ": " + strerror(result);
        return 0;
    }
    return pid;
}

// The last line ffmpeg wrote, for the error message.
static std::string last_logged_line(const std::string &log_path)
{
    FILE *log = fopen(log_path.c_str(), "rb");
    if (!log)
        return "";
    std::string text, line;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, log)) > 0) {
        text.append(chunk, got);
        // Only the tail matters.
        if (text.size() > 2 * sizeof chunk)
            text.erase(0, text.size() - sizeof chunk);
    }
    fclose(log);
    size_t end = text.find_last_not_of("\r\n \t");
    if (end == std::string::npos)
        return "";
    size_t begin = text.find_last_of("\r\n", end);
    line = text.substr(begin == std::string::npos ? 0 : begin + 1, end + 1 - (begin == std::string::npos ? 0 : begin + 1));
    if (line.size() > MaxQuotedMessage)
        line = line.substr(0, MaxQuotedMessage) + "...";
    return line;
}

// Waits for ffmpeg; "" when it ended with status 0, else how it ended.
static std::string wait_for_ffmpeg(int pid)
{
    int status = 0;
    pid_t result;
    do
        result = waitpid(pid, &status, 0);
    while (result < 0 && errno == EINTR);
    if (result < 0)
        return std::string("lost track of it: ") + strerror(errno);
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 0 ? "" : "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "ended abnormally";
}

static void note_ffmpeg_failure(VideoEncoder *encoder, const std::string &how, const char *step)
{
    if (!encoder->error.empty())
        return;
    std::string message = last_logged_line(encoder->log_path);
    encoder->error = "ffmpeg failed (" + how + ") while " + step + " " + encoder->output +
                     (message.empty() ? "" : ": " + message);
}

static const char *raw_pixel_format(int bits_per_pixel)
{
    // The surface's bytes in memory: blue, green, red (and a spare byte at
    // 32 bits); 16-bit pixels are little-endian 5-6-5 words.
    return bits_per_pixel == 32 ? "bgr0" : bits_per_pixel == 24 ? "bgr24" : "rgb565le";
}

static void write_queued_frames(VideoEncoder *encoder);

bool start_video(VideoEncoder *encoder, int width, int height, int bits_per_pixel)
{
    encoder->width = width;
    encoder->height = height;
    encoder->bits_per_pixel = bits_per_pixel;
    const char *format = raw_pixel_format(bits_per_pixel);
    // Enlarge first in the surface's own pixel format, so every source pixel
    // becomes a block of identical colour; the conversion that follows then
    // keeps each pixel's colour.
    std::string filter;
    if (encoder->scale > 1)
        filter = "scale=iw*" + std::to_string(encoder->scale) + ":ih*" + std::to_string(encoder->scale) +
                 ":flags=neighbor,format=" + format + ",";
    std::vector<std::string> arguments = {
        "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pixel_format", format,
        "-video_size", std::to_string(width) + "x" + std::to_string(height),
        "-framerate", std::to_string(encoder->fps), "-i", "pipe:0",
    };
    // RGB straight into the encoder: no colour conversion.
    filter += "format=bgr24";
    std::vector<std::string> codec = {"-c:v", "libx264rgb"};
    if (encoder->lossless)
        codec.insert(codec.end(), {"-preset", LosslessPreset, "-qp", "0", "-f", "matroska"});
    else
        codec.insert(codec.end(), {"-preset", VideoPreset, "-crf", VideoQuality, "-f", "mp4"});
    arguments.push_back("-vf");
    arguments.push_back(filter);
    arguments.insert(arguments.end(), codec.begin(), codec.end());
    arguments.push_back(encoder->video_part);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        encoder->error = std::string("cannot make a pipe for ffmpeg: ") + strerror(errno);
        return false;
    }
    // Only a hint: a smaller pipe works too, with more reads per frame.
    fcntl(fds[1], F_SETPIPE_SZ, PipeBytes);
    encoder->pid = spawn_ffmpeg(encoder, arguments, fds[0]);
    close(fds[0]);
    if (encoder->pid == 0) {
        close(fds[1]);
        return false;
    }
    encoder->pipe_fd = fds[1];
    encoder->queue = new FrameQueue;
    size_t frame_bytes = static_cast<size_t>(width) * static_cast<size_t>(bits_per_pixel / 8) *
                         static_cast<size_t>(height);
    for (std::vector<uint8_t> &slot : encoder->queue->slots)
        slot.resize(frame_bytes);
    encoder->queue->writer = std::thread(write_queued_frames, encoder);
    return true;
}

// Writes everything unless ffmpeg stops reading or the capture is interrupted.
static bool write_all(int fd, const uint8_t *bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR && !capture_interrupted())
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The writer thread: each queued frame down the pipe, in order, until the
// queue is closed and empty or a write fails.
static void write_queued_frames(VideoEncoder *encoder)
{
    leave_interrupts_to_the_drawing_thread();
    FrameQueue *queue = encoder->queue;
    for (;;) {
        std::unique_lock<std::mutex> held(queue->lock);
        queue->changed.wait(held, [queue] { return queue->count > 0 || queue->closing; });
        if (queue->count == 0)
            return;
        const std::vector<uint8_t> &slot = queue->slots[queue->head];
        held.unlock();
        // The slot stays the writer's until `count` drops.
        bool written = write_all(encoder->pipe_fd, slot.data(), slot.size());
        int saved_errno = errno;
        held.lock();
        if (!written) {
            queue->failed = true;
            queue->write_errno = saved_errno;
            queue->changed.notify_all();
            return;
        }
        queue->head = (queue->head + 1) % QueuedFrames;
        queue->count--;
        queue->changed.notify_all();
    }
}

// Ends the writer thread: after the queued frames when `drain`, else at
// once (ffmpeg is stopped first so that a blocked write returns). Returns
// the errno of a failed write, 0 when every frame went down the pipe.
static int stop_writer(VideoEncoder *encoder, bool drain)
{
    FrameQueue *queue = encoder->queue;
    if (!queue)
        return 0;
    if (!drain && encoder->pid)
        kill(encoder->pid, SIGTERM);
    {
        std::lock_guard<std::mutex> held(queue->lock);
        queue->closing = true;
    }
    queue->changed.notify_all();
    if (queue->writer.joinable())
        queue->writer.join();
    int lost = queue->failed ? queue->write_errno : 0;
    delete queue;
    encoder->queue = nullptr;
    return lost;
}

// The encoder died or the capture was interrupted: close the pipe, collect
// ffmpeg and say why.
static void fail_sending(VideoEncoder *encoder, int saved_errno)
{
    stop_writer(encoder, false);
    close(encoder->pipe_fd);
    encoder->pipe_fd = -1;
    if (capture_interrupted()) {
        kill(encoder->pid, SIGTERM);
        wait_for_ffmpeg(encoder->pid);
        encoder->pid = 0;
        encoder->error = "interrupted";
        return;
    }
    std::string how = wait_for_ffmpeg(encoder->pid);
    encoder->pid = 0;
    if (how.empty())
        how = std::string("stopped reading: ") + strerror(saved_errno);
    note_ffmpeg_failure(encoder, how, "encoding");
}

bool send_video_frame(VideoEncoder *encoder, const uint8_t *pixels, int pitch)
{
    FrameQueue *queue = encoder->queue;
    if (encoder->pipe_fd < 0 || !queue)
        return false;
    size_t row_bytes = static_cast<size_t>(encoder->width) * static_cast<size_t>(encoder->bits_per_pixel / 8);
    std::unique_lock<std::mutex> held(queue->lock);
    while (queue->count == QueuedFrames && !queue->failed) {
        if (capture_interrupted()) {
            held.unlock();
            fail_sending(encoder, EINTR);
            return false;
        }
        queue->changed.wait_for(held, InterruptPoll);
    }
    if (queue->failed) {
        int saved_errno = queue->write_errno;
        held.unlock();
        fail_sending(encoder, saved_errno);
        return false;
    }
    // The free slot belongs to this thread until `count` covers it.
    std::vector<uint8_t> &slot = queue->slots[(queue->head + queue->count) % QueuedFrames];
    held.unlock();
    for (int y = 0; y < encoder->height; y++)
        memcpy(slot.data() + static_cast<size_t>(y) * row_bytes, pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch),
               row_bytes);
    held.lock();
    queue->count++;
    held.unlock();
    queue->changed.notify_all();
    encoder->frames++;
    return true;
}

void send_video_audio(VideoEncoder *encoder, const int16_t *stereo, size_t frames)
{
    if (!encoder->audio || !encoder->error.empty())
        return;
    // The raw sound is read back as s16le; this machine family stores it so.
    static_assert(std::endian::native == std::endian::little, "raw sound is written in host order");
    if (fwrite(stereo, 4, frames, encoder->audio) != frames)
        encoder->error = encoder->audio_part + ": " + strerror(errno);
    encoder->audio_frames += frames;
}

bool finish_video(VideoEncoder *encoder)
{
    int lost = stop_writer(encoder, true);
    if (encoder->pipe_fd >= 0) {
        close(encoder->pipe_fd);
        encoder->pipe_fd = -1;
    }
    if (encoder->pid) {
        std::string how = wait_for_ffmpeg(encoder->pid);
        encoder->pid = 0;
        if (capture_interrupted())
            encoder->error = "interrupted";
        else if (!how.empty())
            note_ffmpeg_failure(encoder, how, "encoding");
        else if (lost != 0)
            note_ffmpeg_failure(encoder, std::string("stopped reading: ") + strerror(lost), "encoding");
    }
    if (encoder->audio) {
        if (fclose(encoder->audio) != 0 && encoder->error.empty())
            encoder->error = encoder->output + ": cannot keep the sound: " + strerror(errno);
        encoder->audio = nullptr;
    }
    if (encoder->error.empty() && encoder->frames == 0)
        encoder->error = encoder->output + ": no frames to encode (the start lies at or past the end)";
    if (!encoder->error.empty()) {
        abandon_video(encoder);
        return false;
    }

    std::vector<std::string> arguments = {
        "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y",
        "-i", encoder->video_part,
        "-f", "s16le", "-sample_rate", std::to_string(MusicRate), "-channels", "2", "-i", encoder->audio_part,
        "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy",
    };
    if (encoder->lossless) {
        arguments.insert(arguments.end(), {"-c:a", "flac"});
    } else {
        arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", AudioBitrate});
    }
    if (encoder->container == "mp4") {
        // The index at the front: the video plays while it downloads.
        arguments.push_back("-movflags");
        arguments.push_back("+faststart");
    }
    for (const char *argument : {"-f", encoder->container.c_str(), encoder->joined_part.c_str()})
        arguments.push_back(argument);
    int pid = spawn_ffmpeg(encoder, arguments, -1);
    if (pid != 0) {
        std::string how = wait_for_ffmpeg(pid);
        if (capture_interrupted())
            encoder->error = "interrupted";
        else if (!how.empty())
            note_ffmpeg_failure(encoder, how, "adding the sound to");
    }
    if (encoder->error.empty() && rename(encoder->joined_part.c_str(), encoder->output.c_str()) != 0)
        encoder->error = encoder->output + ": " + strerror(errno);
    if (encoder->error.empty())
        encoder->joined_part.clear();
    bool ok = encoder->error.empty();
    abandon_video(encoder);
    return ok;
}

void abandon_video(VideoEncoder *encoder)
{
    stop_writer(encoder, false);
    if (encoder->pipe_fd >= 0) {
        close(encoder->pipe_fd);
        encoder->pipe_fd = -1;
    }
    if (encoder->pid) {
        kill(encoder->pid, SIGTERM);
        wait_for_ffmpeg(encoder->pid);
        encoder->pid = 0;
    }
    if (encoder->audio) {
        fclose(encoder->audio);
        encoder->audio = nullptr;
    }
    remove_file(&encoder->video_part);
    remove_file(&encoder->audio_part);
    remove_file(&encoder->joined_part);
    remove_file(&encoder->log_path);
}
