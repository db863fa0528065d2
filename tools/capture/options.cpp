// Command line of orvanti-capture.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "capture.h"

const char *capture_usage()
{
    return "usage: orvanti-capture [options]\n"
           "  --data DIR        folder with orvanti.dat and orvanti.xm (default: current folder)\n"
           "  --out DIR         folder for the PNG frames (default: capture)\n"
           "  --depth 32|24|16  display depth to draw at (default: 32)\n"
           "  --fps N           frames per second of show time (default: 50)\n"
           "  --frames A-B      save frames A to B (frame numbers from 0)\n"
           "  --every N         save every Nth frame (0, N, 2N, ...)\n"
           "  --at O:R[,O:R]    save the first frame at each music order:row\n"
           "  --png             save every frame\n"
           "  --trace FILE      write one CSV line per frame\n"
           "  --video FILE      encode picture and sound with ffmpeg (.mp4 or .mkv)\n"
           "  --wav FILE        write the sound as 16-bit stereo WAV at 44,100 Hz\n"
           "  --lossless        bit-exact video (.mkv): RGB picture, FLAC sound, scale 1 unless given\n"
           "  --scale N         enlarge the video N times, sharp pixels (default: 2, 1280x720)\n"
           "  --layout window|screen  video of the 16:9 window (default) or the whole 4:3 screen\n"
           "  --start WHERE     video and sound start at ORDER:ROW or at SECONDS (default: 0)\n"
           "  --end WHERE       stop before ORDER:ROW or SECONDS (default: order 46, the show's end)\n"
           "  --quiet           no progress bar\n";
}

static bool parse_integer(const char *text, int64_t low, int64_t high, int64_t *value)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    long long parsed = strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

static bool parse_positions(const char *text, std::vector<CapturePosition> *positions)
{
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t colon = item.find(':');
        if (colon == std::string::npos)
            return false;
        int64_t order = 0, row = 0;
        if (!parse_integer(item.substr(0, colon).c_str(), 0, 65535, &order) ||
            !parse_integer(item.substr(colon + 1).c_str(), 0, 65535, &row))
            return false;
        positions->push_back({static_cast<int>(order), static_cast<int>(row)});
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

// "ORDER:ROW", or seconds with up to three decimals ("4", "12.25", "4s").
static bool parse_mark(const char *text, CaptureMark *mark)
{
    std::string value = text;
    size_t colon = value.find(':');
    if (colon != std::string::npos) {
        int64_t order = 0, row = 0;
        if (!parse_integer(value.substr(0, colon).c_str(), 0, 65535, &order) ||
            !parse_integer(value.substr(colon + 1).c_str(), 0, 65535, &row))
            return false;
        mark->kind = CaptureMark::Position;
        mark->position = {static_cast<int>(order), static_cast<int>(row)};
        return true;
    }
    if (!value.empty() && value.back() == 's')
        value.pop_back();
    size_t dot = value.find('.');
    std::string whole = value.substr(0, dot), fraction = dot == std::string::npos ? "" : value.substr(dot + 1);
    constexpr int64_t MaxSeconds = INT64_C(1) << 31;
    int64_t seconds = 0, thousandths = 0;
    if (!parse_integer(whole.c_str(), 0, MaxSeconds, &seconds) || fraction.size() > 3)
        return false;
    if (!fraction.empty()) {
        if (fraction.find_first_not_of("0123456789") != std::string::npos)
            return false;
        fraction.resize(3, '0');
        thousandths = strtoll(fraction.c_str(), nullptr, 10);
    }
    mark->kind = CaptureMark::Time;
    mark->milliseconds = seconds * 1000 + thousandths;
    return true;
}

static bool ends_with(std::string text, const char *suffix)
{
    for (char &c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t length = strlen(suffix);
    return text.size() > length && text.compare(text.size() - length, length, suffix) == 0;
}

std::string parse_capture_options(int argc, char **argv, CaptureOptions *options)
{
    constexpr int64_t MaxFrame = INT64_C(1) << 40;
    bool scale_given = false, layout_given = false;
    static const std::set<std::string> WithValue = {"--data", "--out",   "--trace", "--depth", "--fps",
                                                    "--every", "--frames", "--video", "--wav",  "--scale",
                                                    "--start", "--end",   "--at",    "--layout"};
    static const std::set<std::string> Paths = {"--data", "--out", "--trace", "--video", "--wav"};
    std::set<std::string> given;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        // --at adds positions; every other option said twice is a mistake.
        if (option != "--at" && !given.insert(option).second && (WithValue.count(option) || option == "--png"))
            return option + ": given twice";
        if ((option == "--png" || option == "--every") && given.count("--png") && given.count("--every"))
            return "--png and --every: give one of them";
        if (option == "--quiet") {
            options->progress = false;
            continue;
        }
        if (option == "--lossless") {
            options->lossless = true;
            continue;
        }
        if (option == "--png") {
            options->every = 1;
            continue;
        }
        if (!WithValue.count(option))
            return option + ": unknown option";
        if (i + 1 >= argc)
            return option + ": missing value";
        const char *value = argv[++i];
        if (Paths.count(option) && !*value)
            return option + ": an empty name";
        int64_t number = 0;
        if (option == "--data") {
            options->data_folder = value;
        } else if (option == "--out") {
            options->out_folder = value;
        } else if (option == "--trace") {
            options->trace_path = value;
        } else if (option == "--depth") {
            if (!parse_integer(value, 16, 32, &number) || (number != 16 && number != 24 && number != 32))
                return std::string("--depth: ") + value + ": must be 32, 24 or 16";
            options->depth = static_cast<int>(number);
        } else if (option == "--fps") {
            if (!parse_integer(value, 1, 1000, &number))
                return std::string("--fps: ") + value + ": must be 1 to 1000";
            options->fps = static_cast<int>(number);
        } else if (option == "--every") {
            if (!parse_integer(value, 1, MaxFrame, &number))
                return std::string("--every: ") + value + ": must be a positive number";
            options->every = number;
        } else if (option == "--frames") {
            const char *dash = strchr(value, '-');
            int64_t first = 0, last = 0;
            std::string low = dash ? std::string(value, dash) : std::string(value);
            bool ok = parse_integer(low.c_str(), 0, MaxFrame, &first);
            ok = ok && (dash ? parse_integer(dash + 1, 0, MaxFrame, &last) : (last = first, true));
            if (!ok || last < first)
                return std::string("--frames: ") + value + ": expected A-B with A <= B";
            options->first_frame = first;
            options->last_frame = last;
        } else if (option == "--video") {
            if (!ends_with(value, ".mp4") && !ends_with(value, ".mkv"))
                return std::string("--video: ") + value + ": the name must end in .mp4 or .mkv";
            options->video_path = value;
        } else if (option == "--wav") {
            options->wav_path = value;
        } else if (option == "--layout") {
            if (strcmp(value, "window") != 0 && strcmp(value, "screen") != 0)
                return std::string("--layout: ") + value + ": must be window or screen";
            options->whole_screen = strcmp(value, "screen") == 0;
            layout_given = true;
        } else if (option == "--scale") {
            constexpr int MaxScale = 8;
            if (!parse_integer(value, 1, MaxScale, &number))
                return std::string("--scale: ") + value + ": must be 1 to 8";
            options->scale = static_cast<int>(number);
            scale_given = true;
        } else if (option == "--start" || option == "--end") {
            CaptureMark *mark = option == "--start" ? &options->start : &options->end;
            if (!parse_mark(value, mark))
                return option + ": " + value + ": expected ORDER:ROW or SECONDS";
        } else if (option == "--at") {
            if (!parse_positions(value, &options->positions))
                return std::string("--at: ") + value + ": expected ORDER:ROW[,ORDER:ROW...]";
        } else {
            return option + ": unknown option";
        }
    }
    if (options->lossless) {
        if (options->video_path.empty())
            return "--lossless: needs --video FILE.mkv";
        if (!ends_with(options->video_path, ".mkv"))
            return "--lossless: " + options->video_path + ": a lossless video is Matroska; name it .mkv";
        // The frames as drawn, so that each decoded frame equals its PNG.
        if (!scale_given)
            options->scale = 1;
        if (!layout_given)
            options->whole_screen = true;
    }
    const CaptureMark &start = options->start, &end = options->end;
    bool both_times = start.kind == CaptureMark::Time && end.kind == CaptureMark::Time;
    bool both_positions = start.kind == CaptureMark::Position && end.kind == CaptureMark::Position;
    if ((both_times && start.milliseconds >= end.milliseconds) ||
        (both_positions && (start.position.order > end.position.order ||
                            (start.position.order == end.position.order && start.position.row >= end.position.row))))
        return "--start must come before --end";
    return "";
}
