// Progress of a capture on standard error: a bar with the frames done, the
// rate and the time left on a terminal; one summary line at the end.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "capture.h"

constexpr double RedrawSeconds = 0.2;
constexpr int BarWidth = 24;

double monotonic_seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void begin_progress(CaptureProgress *progress, bool wanted, int64_t total_frames)
{
    *progress = {};
    progress->bar = wanted && isatty(STDERR_FILENO);
    progress->total_frames = total_frames;
    progress->started = monotonic_seconds();
}

// "m:ss", or "h:mm:ss" from an hour on.
static std::string clock_text(double seconds)
{
    if (!(seconds >= 0))
        seconds = 0;
    constexpr double MaxShown = 360000;  // 100 hours: beyond that the estimate means nothing
    if (seconds > MaxShown)
        seconds = MaxShown;
    int64_t whole = static_cast<int64_t>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", whole / 3600, static_cast<int>(whole / 60 % 60),
                 static_cast<int>(whole % 60));
    else
        snprintf(text, sizeof text, "%d:%02d", static_cast<int>(whole / 60), static_cast<int>(whole % 60));
    return text;
}

void update_progress(CaptureProgress *progress, int64_t frames_done, int order, int row)
{
    if (!progress->bar)
        return;
    double now = monotonic_seconds();
    if (progress->shown && now - progress->last_drawn < RedrawSeconds)
        return;
    progress->last_drawn = now;
    double elapsed = now - progress->started;
    double rate = elapsed > 0 ? static_cast<double>(frames_done) / elapsed : 0;
    char line[160];
    if (progress->total_frames > 0) {
        int64_t total = std::max(progress->total_frames, frames_done);
        int filled = static_cast<int>(frames_done * BarWidth / total);
        char bar[BarWidth + 1];
        for (int i = 0; i < BarWidth; i++)
            bar[i] = i < filled ? '#' : '.';
        bar[BarWidth] = '\0';
        std::string left = rate > 0 ? clock_text(static_cast<double>(total - frames_done) / rate) : "?";
        snprintf(line, sizeof line, "[%s] %3d%%  %" PRId64 "/%" PRId64 " frames  %.0f fps  %s left  %d:%02d",
                 bar, static_cast<int>(frames_done * 100 / total), frames_done, total, rate, left.c_str(), order,
                 row);
    } else {
        snprintf(line, sizeof line, "%" PRId64 " frames  %.0f fps  %d:%02d", frames_done, rate, order, row);
    }
    // Carriage return and erase to the end of the line: the bar redraws in place.
    fprintf(stderr, "\r%s\033[K", line);
    fflush(stderr);
    progress->shown = true;
}

void note_progress(CaptureProgress *progress, const char *note)
{
    if (!progress->bar)
        return;
    fprintf(stderr, "\r%s\033[K", note);
    fflush(stderr);
    progress->shown = true;
}

void clear_progress(CaptureProgress *progress)
{
    if (progress->shown) {
        fputs("\r\033[K", stderr);
        progress->shown = false;
    }
}

std::string progress_summary(const CaptureProgress *progress, int64_t frames, int fps)
{
    double elapsed = monotonic_seconds() - progress->started;
    double show_seconds = static_cast<double>(frames) / fps;
    double rate = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0;
    double real_time = elapsed > 0 ? show_seconds / elapsed : 0;
    int64_t hundredths = static_cast<int64_t>(show_seconds * 100 + 0.5);
    char text[200];
    snprintf(text, sizeof text,
             "%" PRId64 " frames (%" PRId64 ":%02d.%02d of show) in %.1f s: %.1f fps, %.2fx real time", frames,
             hundredths / 6000, static_cast<int>(hundredths / 100 % 60), static_cast<int>(hundredths % 100), elapsed,
             rate, real_time);
    return text;
}
