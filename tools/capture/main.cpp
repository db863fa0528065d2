// orvanti-capture [options]: plays the show offline into a video, a sound file, PNG frames and a trace.
#include <cstdio>
#include <cstring>

#include "capture.h"

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(capture_usage(), stdout);
            return 0;
        }
    CaptureOptions options;
    std::string error = parse_capture_options(argc, argv, &options);
    if (!error.empty()) {
        fprintf(stderr, "orvanti-capture: %s\n%s", error.c_str(), capture_usage());
        return CaptureExitUsage;
    }
    return run_capture(options);
}
