// Where the 16:9 window of the screen (rows 60 to 419 of the 640 by 480
// picture) is shown on an output of any size. Every pixel outside those rows
// is always black, so they are left out and the window fills wide outputs.
#pragma once

constexpr int WindowTop = 60;       // first screen row shown
constexpr int WindowRows = 360;     // rows 60 to 419
constexpr int WindowColumns = 640;  // the whole width

// The window's place on the output, in output pixels, centred.
struct WindowFit {
    int x, y, width, height;
    int scale;  // the whole-number enlargement, or 0 for the exact fit
};

// The largest whole-number enlargement that fits keeps every source pixel the
// same size; where that picture would be less than 85% as wide as the largest
// exact fit (1024 by 768: 1x against 1.6x), the exact fit is shown instead,
// sampled nearest. An output smaller than the window gets the exact fit too.
WindowFit fit_window(int output_width, int output_height);
