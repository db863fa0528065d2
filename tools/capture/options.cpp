// Command line of orvanti-capture.
#include <cerrno>
#include <cstdlib>
#include <cstring>

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
           "  --trace FILE      write one CSV line per frame\n"
           "  --quiet           no progress line\n";
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

std::string parse_capture_options(int argc, char **argv, CaptureOptions *options)
{
    constexpr int64_t MaxFrame = INT64_C(1) << 40;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        if (option == "--quiet") {
            options->progress = false;
            continue;
        }
        if (i + 1 >= argc)
            return option + ": missing value";
        const char *value = argv[++i];
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
        } else if (option == "--at") {
            if (!parse_positions(value, &options->positions))
                return std::string("--at: ") + value + ": expected ORDER:ROW[,ORDER:ROW...]";
        } else {
            return option + ": unknown option";
        }
    }
    return "";
}
