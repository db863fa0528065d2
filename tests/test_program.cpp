// The program end to end: SDL's dummy drivers for the ends and failures,
// Xvfb for the real window's picture.
#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup_error.h"
#include "frame_check.h"
#include "platform/memory_display.h"
#include "platform/platform.h"
#include "platform/window_fit.h"
#include "raster/render_target.h"
#include "shell/display.h"
#include "shell/exit_status.h"
#include "shell/frame_driver.h"
#include "shell/sequencer.h"
#include "short_show.h"

namespace {

const std::string Program = std::string(ORVANTI_BINARY_DIR) + "/orvanti";
const std::string Headless = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ";
// Shell lines that wait, up to a minute, until the program in $! plays: its
// audio thread exists only once display, loading and music are all set up.
const std::string WaitForMusic =
    "for try in $(seq 6000); do grep -qs SDLAudio /proc/$!/task/*/comm && break; sleep 0.01; done;";

std::string in_folder(const std::string &folder, const std::string &command)
{
    return "cd '" + folder + "' && " + command;
}

class ProgramTest : public ::testing::Test {
protected:
    std::string folder;
    void TearDown() override
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
};

TEST_F(ProgramTest, EndsByItselfAtOrderFortySix)
{
    folder = make_short_show_folder(47, 4);
    ASSERT_FALSE(folder.empty());
    std::string errors;
    auto start = std::chrono::steady_clock::now();
    int status = run_command(in_folder(folder, Headless + "timeout 20 " + Program), &errors);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(status, ExitNormal) << errors;
    // 46 orders of 4 rows of about 9.8 ms play before order 46 begins.
    EXPECT_GT(seconds, 1.6);
    EXPECT_LT(seconds, 10.0);
}

TEST_F(ProgramTest, TerminationSignalEndsTheShowOrderly)
{
    folder = make_short_show_folder(47, 64);  // about half a minute of music
    ASSERT_FALSE(folder.empty());
    // A hang-up or a quit from the terminal ends it like a termination request.
    for (const char *signal_name : {"TERM", "HUP", "QUIT"}) {
        std::string errors;
        auto start = std::chrono::steady_clock::now();
        int status = run_command(
            in_folder(folder, Headless + Program + " & " + WaitForMusic + " kill -" + signal_name + " $!; wait $!"),
            &errors);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(status, ExitNormal) << signal_name << ": " << errors;
        EXPECT_LT(seconds, 20.0) << signal_name;
    }
}

// The generated archive with "coltab.dat" cut short.
void write_damaged_archive(const std::string &path)
{
    std::string generated = std::string(ORVANTI_DATA_DIR) + "/orvanti.dat";
    const char *saved = ArchivePath;
    ArchivePath = generated.c_str();
    reset_startup_error();
    read_archive_directory();
    std::vector<ArchiveFile> files;
    for (int i = 0; i < Directory.count; i++) {
        uint8_t *bytes = nullptr;
        load_entry(Directory.names[i], &bytes);
        ASSERT_NE(bytes, nullptr) << Directory.names[i];
        ArchiveFile file{Directory.names[i], std::vector<uint8_t>(bytes, bytes + Directory.sizes[i])};
        free(bytes);
        if (file.name == "COLTAB.DAT")
            file.data.resize(100);
        files.push_back(file);
    }
    ArchivePath = saved;
    reset_startup_error();
    ASSERT_EQ(write_archive(path, files), "");
}

TEST_F(ProgramTest, DamagedArchiveEndsWithTheEntryNamed)
{
    folder = make_short_show_folder(47, 4);
    ASSERT_FALSE(folder.empty());
    write_damaged_archive(folder + "/orvanti.dat");
    std::string errors;
    int status = run_command(in_folder(folder, Headless + "timeout 20 " + Program), &errors);
    EXPECT_EQ(status, ExitLoadFailed);
    EXPECT_NE(errors.find("COLTAB.DAT"), std::string::npos) << errors;
}

TEST_F(ProgramTest, MissingFilesEndWithTheirNames)
{
    folder = make_temp_folder();
    std::string errors;
    EXPECT_EQ(run_command(in_folder(folder, Headless + "timeout 20 " + Program), &errors), ExitLoadFailed);
    EXPECT_NE(errors.find("orvanti.dat"), std::string::npos) << errors;

    std::filesystem::copy_file(std::string(ORVANTI_DATA_DIR) + "/orvanti.dat", folder + "/orvanti.dat");
    EXPECT_EQ(run_command(in_folder(folder, Headless + "timeout 20 " + Program), &errors), ExitMusicFailed);
    EXPECT_NE(errors.find("cannot play orvanti.xm: "), std::string::npos) << errors;
    std::filesystem::create_directory(folder + "/orvanti.xm");
    EXPECT_EQ(run_command(in_folder(folder, Headless + "timeout 20 " + Program), &errors), ExitMusicFailed);
    EXPECT_NE(errors.find("cannot play orvanti.xm: Is a directory"), std::string::npos) << errors;
}

TEST_F(ProgramTest, DisplayThatCannotOpenIsASetUpFailure)
{
    folder = make_short_show_folder(47, 4);
    ASSERT_FALSE(folder.empty());
    std::string errors;
    int status = run_command(
        in_folder(folder, "SDL_VIDEODRIVER=no-such-driver SDL_AUDIODRIVER=dummy timeout 20 " + Program), &errors);
    EXPECT_EQ(status, ExitSetupFailed) << errors;
}

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t pixel(int x, int y) const
    {
        const uint8_t *p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
    int count_lit(int first_row, int last_row, int first_column = 0) const
    {
        int lit = 0;
        for (int y = first_row; y <= last_row; y++)
            for (int x = first_column; x < width; x++)
                lit += pixel(x, y) != 0;
        return lit;
    }
    int count_lit_in(int first_column, int first_row, int last_column, int last_row) const
    {
        int lit = 0;
        for (int y = first_row; y <= last_row; y++)
            for (int x = first_column; x <= last_column; x++)
                lit += pixel(x, y) != 0;
        return lit;
    }
};

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(60);
constexpr auto PollInterval = std::chrono::milliseconds(10);  // generous: sanitizer builds on a loaded machine

// A program started in the background, its status fetched by polling.
struct Child {
    pid_t pid = -1;
    int status = -1;
    bool ended = false;
};

Child start_child(const std::string &command, const std::string &stderr_path)
{
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", ("exec " + command + " 2>" + stderr_path).c_str(), nullptr);
        _exit(127);
    }
    return child;
}

// Checks `done` again and again until it holds or `patience` runs out; the
// one polling loop of these tests. True when it held.
template <class Done>
bool poll_until(Done done, Clock::duration patience)
{
    auto deadline = Clock::now() + patience;
    for (;;) {
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        // A pause between checks keeps the other core for the program under test.
        std::this_thread::sleep_for(PollInterval);
    }
}

// Waits up to the deadline for the child to end; false if it still runs.
bool wait_child(Child *child, Clock::duration patience)
{
    return poll_until([&] {
        int status = 0;
        if (!child->ended && waitpid(child->pid, &status, WNOHANG) == child->pid) {
            child->ended = true;
            child->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return child->ended;
    }, patience);
}

void stop_child(Child *child)
{
    if (child->pid > 0 && !child->ended) {
        kill(-child->pid, SIGTERM);
        if (!wait_child(child, std::chrono::seconds(10))) {
            kill(-child->pid, SIGKILL);
            wait_child(child, std::chrono::seconds(10));
        }
    }
}

// An X server of its own (and, if asked, a window manager) for one test.
class XScreen : public ProgramTest {
protected:
    std::string display;
    int width = 0, height = 0;
    Child server, manager, program;
    void TearDown() override
    {
        stop_child(&program);
        stop_child(&manager);
        stop_child(&server);
        ProgramTest::TearDown();
    }
    bool x_run(const std::string &command) { return run_command("DISPLAY=" + display + " " + command, nullptr) == 0; }
    void start_screen(int w, int h, bool with_manager)
    {
        if (system("command -v Xvfb >/dev/null && command -v ffmpeg >/dev/null && command -v xwininfo >/dev/null") != 0)
            GTEST_SKIP() << "Xvfb, ffmpeg and xwininfo are needed";
        width = w;
        height = h;
        // A number another server holds (other tests run in parallel) would
        // answer as if it were ours: those with a lock file are passed over,
        // and our server must still run once the display answers.
        static int screens = 0;
        int number = 0;
        do
            number = 200 + (getpid() * 4 + screens++) % 2800;
        while (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"));
        display = ":" + std::to_string(number);
        server = start_child("Xvfb " + display + " -screen 0 " + std::to_string(w) + "x" + std::to_string(h) +
                                 "x24 -nolisten tcp -noreset",
                             "/dev/null");
        ASSERT_TRUE(poll_until([&] { return x_run("xwininfo -root >/dev/null 2>&1"); }, Patience))
            << "Xvfb did not start on " << display;
        ASSERT_FALSE(wait_child(&server, Clock::duration::zero())) << "another server holds " << display;
        if (with_manager) {
            if (system("command -v openbox >/dev/null") != 0)
                GTEST_SKIP() << "openbox is needed";
            manager = start_child("env DISPLAY=" + display + " openbox", "/dev/null");
            // A window mapped while the manager is still starting can be lost
            // by it, and SDL waits for ever for the mapping: the manager is
            // ready once it names itself on the root window.
            ASSERT_TRUE(poll_until([&] { return x_run("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"); },
                                   Patience))
                << "openbox did not start on " << display;
        }
    }
    void start_program(const std::string &environment = "SDL_AUDIODRIVER=dummy")
    {
        // The X11, GL and D-Bus libraries keep allocations to the process end;
        // leaks of our own are checked by the runs on the dummy drivers.
        program = start_child("env -C '" + folder + "' DISPLAY=" + display + " ASAN_OPTIONS=detect_leaks=0 " +
                                  environment + " " + Program,
                              folder + "/stderr.txt");
    }
    std::string program_errors() { return read_text(folder + "/stderr.txt"); }
    static std::string read_text(const std::string &path)
    {
        std::vector<uint8_t> bytes = read_file_bytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    bool grab(Screenshot *shot)
    {
        std::string path = folder + "/grab.png";
        std::filesystem::remove(path);
        return x_run("ffmpeg -loglevel error -y -f x11grab -video_size " + std::to_string(width) + "x" +
                     std::to_string(height) + " -i " + display + " -frames:v 1 " + path) &&
               read_png_rgb(path, shot->rgb, shot->width, shot->height);
    }
    // Grabs until `ready` holds for a grab or the deadline passes.
    template <class Ready>
    bool grab_until(Screenshot *shot, Ready ready)
    {
        return poll_until([&] { return grab(shot) && ready(*shot); }, Patience);
    }
    void keep_on_failure(const Screenshot &, const std::string &name)
    {
        if (!HasFailure())
            return;
        std::filesystem::create_directories(std::string(ORVANTI_BINARY_DIR) + "/test-frames");
        std::filesystem::copy_file(folder + "/grab.png", std::string(ORVANTI_BINARY_DIR) + "/test-frames/" + name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

// On a 640 by 480 screen the picture fills it one to one. The screen grab
// draws the X pointer, so a grab before the show shows it and one during the
// show must not.
TEST_F(XScreen, PictureFillsASmallScreenWithTheCursorHidden)
{
    start_screen(640, 480, false);
    folder = make_short_show_folder(47, 32);  // about 15 s of music
    ASSERT_FALSE(folder.empty());
    Screenshot before, during;
    ASSERT_TRUE(grab(&before));
    int pointer = before.count_lit(0, 479);
    ASSERT_GT(pointer, 0) << "the grab shows no pointer before the show";
    start_program();
    // Drawn: the band lights pixels where the pointer never was.
    bool drawn = grab_until(&during, [&](const Screenshot &shot) {
        for (int y = 80; y < 400; y++)
            for (int x = 0; x < 640; x++)
                if (before.pixel(x, y) == 0 && shot.pixel(x, y) != 0)
                    return true;
        return false;
    });
    ASSERT_TRUE(drawn) << "no frame appeared: " << program_errors();
    int pointer_still_seen = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            pointer_still_seen += before.pixel(x, y) != 0 && during.pixel(x, y) == before.pixel(x, y);
    EXPECT_LT(pointer_still_seen, pointer / 2) << "the pointer is drawn over the show";
    EXPECT_EQ(during.count_lit(0, 79), 0) << "top bar";
    EXPECT_EQ(during.count_lit(400, 479), 0) << "bottom bar";
    kill(program.pid, SIGTERM);
    ASSERT_TRUE(wait_child(&program, Patience));
    EXPECT_EQ(program.status, ExitNormal) << program_errors();
    keep_on_failure(during, "program-small-screen.png");
}

// On a 1920 by 1080 screen the 16:9 window (rows 60 to 419) is enlarged
// three times and fills the whole width, whether or not a window manager
// applies the full-screen request: the band lights pixels outside where the
// whole screen fitted at 2.25x would put it (columns 240 to 1679, rows 180
// to 899), and the 60 always-black rows above and below stay black.
TEST_F(XScreen, WindowFillsAWideScreenWithAndWithoutAWindowManager)
{
    for (bool with_manager : {false, true}) {
        SCOPED_TRACE(with_manager ? "with openbox" : "without a window manager");
        start_screen(1920, 1080, with_manager);
        if (IsSkipped())
            return;
        folder = make_short_show_folder(47, 32);
        ASSERT_FALSE(folder.empty());
        start_program();
        Screenshot shot;
        // A window manager may show its frame for a moment before the full screen.
        auto beyond_fit = [](const Screenshot &s) {
            return s.count_lit(60, 1019) - s.count_lit_in(240, 180, 1679, 899);
        };
        bool filled = grab_until(&shot, [&](const Screenshot &s) {
            return beyond_fit(s) > 0 && s.count_lit(0, 59) == 0 && s.count_lit(1020, 1079) == 0;
        });
        EXPECT_TRUE(filled) << "no frame filled the width with black above and below the band ("
                            << beyond_fit(shot) << " lit beyond the 4:3 fit, "
                            << shot.count_lit(0, 59) << " above, " << shot.count_lit(1020, 1079)
                            << " below): " << program_errors();
        keep_on_failure(shot, with_manager ? "program-wide-managed.png" : "program-wide.png");
        // The orderly end is checked without a window manager; with one, the
        // window's teardown has been seen to wait on it once under load.
        if (!with_manager) {
            kill(program.pid, SIGTERM);
            ASSERT_TRUE(wait_child(&program, Patience));
            EXPECT_EQ(program.status, ExitNormal) << program_errors();
        }
        TearDown();
        folder.clear();
    }
}

// A connection killed from outside ends the program at once with its own
// status; with no display at all it says so and does not play unseen.
TEST_F(XScreen, LostOrMissingDisplayEndsWithItsStatus)
{
    if (system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is needed";
    start_screen(640, 480, false);
    folder = make_short_show_folder(47, 32);
    ASSERT_FALSE(folder.empty());
    start_program();
    Screenshot shot;
    ASSERT_TRUE(grab_until(&shot, [](const Screenshot &s) { return s.count_lit(80, 399) > 200; }));
    ASSERT_TRUE(x_run("xdotool search --name 'ORVANTI / KAMBRI' windowkill"));
    ASSERT_TRUE(wait_child(&program, Patience)) << "still running after its connection was killed";
    EXPECT_EQ(program.status, ExitDisplayLost);
    EXPECT_NE(program_errors().find("connection to the display was lost"), std::string::npos) << program_errors();

    std::string errors;
    int status = run_command(in_folder(folder, "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "
                                               "SDL_AUDIODRIVER=dummy timeout 60 " + Program),
                             &errors);
    EXPECT_EQ(status, ExitSetupFailed);
    EXPECT_NE(errors.find("no display"), std::string::npos) << errors;
}

// The window's placement on the outputs people have: a whole-number scale
// where it comes near the exact fit, else the exact fit.
TEST(WindowFit, WholeNumberScaleWhereItFillsEnoughElseTheExactFit)
{
    struct Case {
        int output_width, output_height;
        WindowFit fit;
    };
    const Case cases[] = {
        {640, 480, {0, 60, 640, 360, 1}},
        {1280, 720, {0, 0, 1280, 720, 2}},
        {1920, 1080, {0, 0, 1920, 1080, 3}},  // the band 1920 by 960 in rows 60 to 1019
        {2560, 1440, {0, 0, 2560, 1440, 4}},
        {3840, 2160, {0, 0, 3840, 2160, 6}},
        {1280, 1024, {0, 152, 1280, 720, 2}},
        {1024, 768, {0, 96, 1024, 576, 0}},   // 1x would be 62% as wide: 1.6x
        {1366, 768, {43, 24, 1280, 720, 2}},  // 2x is 94% of the exact 2.13x
        {1080, 1920, {0, 656, 1080, 607, 0}}, // upright phone: 1x would be 59%
        {320, 200, {0, 10, 320, 180, 0}},     // smaller than the window
        {0, 0, {0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        WindowFit fit = fit_window(c.output_width, c.output_height);
        EXPECT_EQ(std::vector<int>({fit.x, fit.y, fit.width, fit.height, fit.scale}),
                  std::vector<int>({c.fit.x, c.fit.y, c.fit.width, c.fit.height, c.fit.scale}))
            << c.output_width << " by " << c.output_height;
    }
}

// The box of a failure closes with the program when a signal ends it (SDL
// shows it from a process of its own), and the status stays the failure's.
TEST_F(XScreen, SignalDuringTheMessageBoxClosesItKeepingTheStatus)
{
    start_screen(640, 480, false);
    folder = make_short_show_folder(47, 4);
    ASSERT_FALSE(folder.empty());
    // The box has the window's title: it is the box once the message is out,
    // as the window is closed before.
    auto window_shown = [&] { return x_run("xwininfo -root -tree | grep -q '\"ORVANTI / KAMBRI\"'"); };
    auto box_shown = [&] {
        return program_errors().find("Can't initialize device") != std::string::npos && window_shown();
    };
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        start_program("SDL_AUDIODRIVER=no-such-driver");
        ASSERT_TRUE(poll_until(box_shown, Patience)) << "no box: " << program_errors();
        kill(program.pid, number);
        ASSERT_TRUE(wait_child(&program, Patience));
        EXPECT_EQ(program.status, ExitSoundDevice) << program_errors();
        EXPECT_TRUE(poll_until([&] { return !window_shown(); }, Patience)) << "the box outlived the program";
    }
}

// Wayland: a compositor without an input seat (weston's headless one, on
// which SDL 2.26 crashes in SDL_Init) is refused with status 2, or left for X
// when DISPLAY is set; a dead socket is named; a compositor lost during the
// show ends it as a lost X server does (weston on X offers a seat).
TEST_F(XScreen, WaylandWithoutASeatDeadOrLostEndsWithItsStatus)
{
    if (system("command -v weston >/dev/null") != 0)
        GTEST_SKIP() << "weston is needed";
    start_screen(640, 480, false);
    folder = make_short_show_folder(47, 32);
    ASSERT_FALSE(folder.empty());
    std::string runtime = folder + "/runtime";
    ASSERT_TRUE(std::filesystem::create_directory(runtime));
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    Child headless = start_child("env XDG_RUNTIME_DIR=" + runtime +
                                     " weston --backend=headless-backend.so --socket=headless --idle-time=0",
                                 "/dev/null");
    ASSERT_TRUE(poll_until([&] { return std::filesystem::exists(runtime + "/headless"); }, Patience));
    std::string on_wayland = "env -u DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR=" + runtime +
                             " SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 ";
    std::string errors;
    int status = run_command(in_folder(folder, on_wayland + "WAYLAND_DISPLAY=headless timeout 60 " + Program), &errors);
    EXPECT_EQ(status, ExitSetupFailed) << errors;
    EXPECT_NE(errors.find(runtime + "/headless has no input seat"), std::string::npos) << errors;
    status = run_command(in_folder(folder, on_wayland + "WAYLAND_DISPLAY=headless SDL_VIDEODRIVER=wayland timeout 60 " +
                                               Program),
                         &errors);
    EXPECT_EQ(status, ExitSetupFailed) << errors;
    status = run_command(in_folder(folder, on_wayland + "WAYLAND_DISPLAY=gone timeout 60 " + Program), &errors);
    EXPECT_EQ(status, ExitSetupFailed) << errors;
    EXPECT_NE(errors.find("the Wayland compositor at " + runtime + "/gone does not answer"), std::string::npos)
        << errors;
    // With DISPLAY set the show goes to X.
    start_program("XDG_RUNTIME_DIR=" + runtime + " WAYLAND_DISPLAY=headless SDL_AUDIODRIVER=dummy");
    Screenshot shot;
    EXPECT_TRUE(grab_until(&shot, [](const Screenshot &s) { return s.count_lit(80, 399) > 200; }))
        << program_errors();
    stop_child(&program);
    stop_child(&headless);

    Child seated = start_child("env DISPLAY=" + display + " XDG_RUNTIME_DIR=" + runtime +
                                   " weston --backend=x11-backend.so --socket=seated --idle-time=0",
                               "/dev/null");
    ASSERT_TRUE(poll_until([&] { return std::filesystem::exists(runtime + "/seated"); }, Patience));
    program = start_child("env -C '" + folder + "' -u DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR=" + runtime +
                              " WAYLAND_DISPLAY=seated SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 " + Program,
                          folder + "/stderr.txt");
    std::string threads = "/proc/" + std::to_string(program.pid) + "/task";
    // Its audio thread exists once display, loading and music are set up.
    bool playing = poll_until([&] {
        return run_command("grep -qs SDLAudio " + threads + "/*/comm", nullptr) == 0;
    }, Patience);
    ASSERT_TRUE(playing) << program_errors();
    kill(-seated.pid, SIGKILL);
    wait_child(&seated, Patience);
    ASSERT_TRUE(wait_child(&program, Patience)) << "still running after the compositor went";
    EXPECT_EQ(program.status, ExitDisplayLost) << program_errors();
    EXPECT_NE(program_errors().find("the connection to the display was lost"), std::string::npos) << program_errors();
}

// The same steps and event handling in-process, on the memory display.
int DrawnFrames = 0;
int counting_handler(int init, int, int)
{
    DrawnFrames += init == 0;
    RenderTarget.pixels[0] = 0x00FFFFFF;
    return 0;
}
const TimelineEntry CountingTimeline[] = {
    {0, 0, counting_handler, 0, "counting_handler"},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};

// A platform of the memory display, a music that stays at 0:0 and a still clock.
int MusicStops = 0;
int quiet_start(void *, const char *, char *, size_t) { return MusicStarted; }
uint32_t quiet_position(void *) { return 0; }
bool quiet_finished(void *) { return false; }
void quiet_stop(void *) { MusicStops++; }
const PlatformMusic QuietMusic = {quiet_start, quiet_position, quiet_finished, quiet_stop};
uint32_t still_clock(void *) { return 0; }

class EventHandling : public ::testing::Test {
protected:
    MemoryDisplayState screen = {};
    Platform platform = {"test", &MemoryDisplay, &QuietMusic, still_clock, &screen, nullptr, nullptr};
    std::vector<uint32_t> work = std::vector<uint32_t>(640 * 320);
    void SetUp() override
    {
        reset_memory_display(&screen);
        reset_sequencer(CountingTimeline, FadeTrack);
        DrawnFrames = 0;
        MusicStops = 0;
        ClearCounter = 0;
        WorkBuffer = work.data();
    }
    void TearDown() override
    {
        platform.display->close(platform.display_context);
        reset_memory_display(&screen);
        reset_sequencer();
        WorkBuffer = nullptr;
    }
    int open_display()
    {
        int code = setup_display(platform);
        RenderTarget.pitch = DisplayMode == DisplayMode32 ? SurfacePitch >> 2 : 640;
        return code;
    }
    // Runs the loop as the program does until the quit arrives or `limit` events.
    int run_events(int limit)
    {
        PlatformEvent event;
        int handled = 0;
        while (handled < limit && platform.display->next_event(platform.display_context, &event)) {
            window_proc(platform, event);
            handled++;
        }
        return handled;
    }
};

TEST_F(EventHandling, DepthFallsBackFrom32To24To16)
{
    MemoryDisplaySettings settings;
    settings.depths = MemoryAccepts24 | MemoryAccepts16;
    reset_memory_display(&screen, settings);
    ASSERT_EQ(open_display(), 0);
    EXPECT_EQ(DisplayMode, DisplayMode24);
    EXPECT_EQ(SurfacePitch, 1920);
    settings.depths = MemoryAccepts16;
    reset_memory_display(&screen, settings);
    ASSERT_EQ(open_display(), 0);
    EXPECT_EQ(DisplayMode, DisplayMode16);
    EXPECT_EQ(SurfacePitch, 1280);
}

TEST_F(EventHandling, NoDepthAcceptedIsReportedAndFails)
{
    MemoryDisplaySettings settings;
    settings.depths = 0;
    reset_memory_display(&screen, settings);
    ::testing::internal::CaptureStderr();
    int code = open_display();
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(code, 0);
    EXPECT_NE(errors.find("SetDisplayMode FAILED"), std::string::npos) << errors;
    uint8_t *surface = nullptr;
    EXPECT_NE(platform.display->lock(platform.display_context, &surface), 0) << "the display was released";
}

TEST_F(EventHandling, OrdinaryKeysDoNothingEscapeEndsTheLoop)
{
    ASSERT_EQ(open_display(), 0);
    push_memory_display_event(&screen, EventKeyDown, ' ');
    push_memory_display_event(&screen, EventKeyDown, -1);
    EXPECT_EQ(run_events(7), 7);  // both keys, then five ticks: nothing ended
    EXPECT_EQ(DrawnFrames, 5);
    push_memory_display_event(&screen, EventKeyDown, KeyEscape);
    // Escape posts the close; ticks may run until it is fetched, then the
    // window goes, the display is released and the quit ends the loop.
    EXPECT_LT(run_events(100), 100);
    EXPECT_EQ(memory_display_front(&screen), nullptr);
    EXPECT_EQ(MusicStops, 1) << "the music stops at the key, not at the loop's end";
}

TEST_F(EventHandling, SystemKeyAndCloseRequestEndTheLoop)
{
    for (EventKind kind : {EventSystemKeyDown, EventCloseRequest}) {
        reset_memory_display(&screen);
        ASSERT_EQ(open_display(), 0);
        push_memory_display_event(&screen, kind, KeyF10);
        EXPECT_LT(run_events(100), 100) << kind;
    }
}

// All of a display's state is behind its context: a second memory display
// beside the fixture's shares nothing with it.
TEST_F(EventHandling, TwoMemoryDisplaysShareNoState)
{
    MemoryDisplayState other = {};
    MemoryDisplaySettings settings;
    settings.depths = MemoryAccepts16;
    reset_memory_display(&other, settings);
    ASSERT_EQ(open_display(), 0);
    EXPECT_EQ(DisplayMode, DisplayMode32);
    int pitch = 0, step = -1;
    EXPECT_NE(MemoryDisplay.open(&other, 32, &pitch, &step), 0);
    EXPECT_EQ(step, StepMode);
    ASSERT_EQ(MemoryDisplay.open(&other, 16, &pitch, &step), 0);
    EXPECT_EQ(pitch, 1280);
    push_memory_display_event(&other, EventKeyDown, KeyEscape);
    EXPECT_EQ(run_events(2), 2);
    EXPECT_EQ(MusicStops, 0) << "the other display's Escape reached the fixture's";
    EXPECT_EQ(memory_display_counts(&screen).flips, 2);
    EXPECT_EQ(memory_display_counts(&other).flips, 0);
    MemoryDisplay.close(&other);
    EXPECT_EQ(memory_display_front(&other), nullptr);
    ASSERT_NE(memory_display_front(&screen), nullptr);
    EXPECT_EQ(memory_display_bits_per_pixel(&screen), 32);
    PlatformEvent event = {};
    EXPECT_NE(MemoryDisplay.next_event(&other, &event), 0);
    EXPECT_EQ(event.kind, EventKeyDown);
    EXPECT_EQ(MemoryDisplay.next_event(&other, &event), 0) << "closed and empty: the quit";
    reset_memory_display(&other);
}

TEST_F(EventHandling, TicksDrawAndFlipAndALostSurfaceIsRestoredOnce)
{
    MemoryDisplaySettings settings;
    settings.depths = MemoryAccepts32;
    reset_memory_display(&screen, settings);
    ASSERT_EQ(open_display(), 0);
    EXPECT_EQ(run_events(3), 3);
    EXPECT_EQ(DrawnFrames, 3);
    EXPECT_EQ(memory_display_counts(&screen).flips, 3);
    const uint32_t *front = reinterpret_cast<const uint32_t *>(memory_display_front(&screen));
    EXPECT_EQ(front[80 * 640], 0x00FFFFFFu);  // band pixel (0, 0) at row 80
    EXPECT_EQ(front[79 * 640], 0u);

    lose_memory_display_flips(&screen, 1);
    EXPECT_EQ(run_events(1), 1);
    EXPECT_EQ(memory_display_counts(&screen).restores, 1);
    EXPECT_EQ(memory_display_counts(&screen).flips, 3);  // no second flip in the lost tick
    EXPECT_EQ(run_events(1), 1);
    EXPECT_EQ(memory_display_counts(&screen).flips, 4);
    EXPECT_EQ(DrawnFrames, 5);

    push_memory_display_event(&screen, EventTick, FrameTimerId + 1);  // not our timer
    EXPECT_EQ(run_events(1), 1);
    EXPECT_EQ(DrawnFrames, 5);
}

// The desktop display itself on SDL's dummy video driver, whose software
// renderer lets the presented picture be read back.
int stripes_handler(int, int, int)
{
    for (int y = 0; y < 320; y++)
        for (int x = 0; x < 640; x++)
            RenderTarget.pixels[y * RenderTarget.pitch + x] = x < 200 ? 0x00FF0000 : x < 400 ? 0x0000FF00 : 0x000000FF;
    return 0;
}
const TimelineEntry StripesTimeline[] = {
    {0, 0, stripes_handler, 0, "stripes_handler"},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};

class SdlDisplayTest : public EventHandling {
protected:
    void SetUp() override
    {
        EventHandling::SetUp();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        platform.display = &SdlDisplay;
        platform.display_context = &SdlDisplayDevice;
        reset_sequencer(StripesTimeline, FadeTrack);
    }
    // Forces one depth through the driver's table, as the fallback would.
    void use_depth(int bits)
    {
        int failed_step = -1;
        ASSERT_EQ(platform.display->open(platform.display_context, bits, &SurfacePitch, &failed_step), 0)
            << failed_step;
        DisplayMode = bits == 32 ? DisplayMode32 : bits == 24 ? DisplayMode24 : DisplayMode16;
        RenderTarget.pitch = DisplayMode == DisplayMode32 ? SurfacePitch >> 2 : 640;
        ClearCounter = 0;
    }
    // The presented window sampled back into rows 60 to 419 of a 640 by 480
    // picture, whatever the size of the (fullscreen) output it was scaled
    // to; rows of the output outside the window must be black.
    std::vector<uint32_t> presented()
    {
        std::vector<uint32_t> picture(640 * 480);
        SDL_Window *window = nullptr;
        for (Uint32 id = 1; id < 16 && !window; id++)
            window = SDL_GetWindowFromID(id);
        SDL_Renderer *renderer = window ? SDL_GetRenderer(window) : nullptr;
        EXPECT_NE(renderer, nullptr);
        if (!renderer)
            return picture;
        int width = 0, height = 0;
        SDL_GetRendererOutputSize(renderer, &width, &height);
        std::vector<uint32_t> output(static_cast<size_t>(width) * height);
        EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, output.data(), width * 4), 0)
            << SDL_GetError();
        WindowFit fit = fit_window(width, height);
        int lit_outside = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                if (y < fit.y || y >= fit.y + fit.height || x < fit.x || x >= fit.x + fit.width)
                    lit_outside += (output[static_cast<size_t>(y) * width + x] & 0xFFFFFF) != 0;
        EXPECT_EQ(lit_outside, 0) << "outside the window on " << width << " by " << height;
        for (int y = WindowTop; y < WindowTop + WindowRows; y++)
            for (int x = 0; x < 640; x++) {
                int out_x = fit.x + static_cast<int>((x + 0.5) * fit.width / WindowColumns);
                int out_y = fit.y + static_cast<int>((y - WindowTop + 0.5) * fit.height / WindowRows);
                picture[y * 640 + x] = output[static_cast<size_t>(out_y) * width + out_x];
            }
        return picture;
    }
};

TEST_F(SdlDisplayTest, EveryDepthShowsTheBandInItsColoursBetweenBlackBars)
{
    ASSERT_EQ(open_display(), 0);
    EXPECT_EQ(DisplayMode, DisplayMode32);
    for (int bits : {32, 24, 16}) {
        use_depth(bits);
        for (int frame = 0; frame < 3; frame++) {
            timer_frame(platform);
            flip_frame(platform);
        }
        std::vector<uint32_t> picture = presented();
        EXPECT_EQ(picture[79 * 640 + 100] & 0xFFFFFF, 0u) << bits;
        EXPECT_EQ(picture[400 * 640 + 500] & 0xFFFFFF, 0u) << bits;
        // 16 bits widen 6-bit green to 8 by repeating the top bits.
        EXPECT_EQ(picture[80 * 640 + 100] & 0xFFFFFF, 0xFF0000u) << bits;
        EXPECT_EQ(picture[250 * 640 + 300] & 0xFCFCFC, 0x00FC00u) << bits;
        EXPECT_EQ(picture[399 * 640 + 639] & 0xFFFFFF, 0x0000FFu) << bits;
    }
}

TEST_F(SdlDisplayTest, RendererResetIsRestoredAtTheNextFlip)
{
    ASSERT_EQ(open_display(), 0);
    timer_frame(platform);
    flip_frame(platform);
    SDL_Event reset = {};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    PlatformEvent event;
    SDL_PumpEvents();
    while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        ASSERT_NE(platform.display->next_event(platform.display_context, &event), 0);
    EXPECT_EQ(platform.display->flip(platform.display_context), FlipSurfaceLost);
    EXPECT_EQ(platform.display->restore(platform.display_context), 0);
    reset_sequencer(StripesTimeline, FadeTrack);
    ClearCounter = 0;
    timer_frame(platform);
    EXPECT_EQ(platform.display->flip(platform.display_context), FlipDone);
    EXPECT_EQ(presented()[200 * 640 + 10] & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
