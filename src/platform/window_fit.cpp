// The placement rule of the 16:9 window, apart from any driver so that every one can apply it.
#include "platform/window_fit.h"

WindowFit fit_window(int output_width, int output_height)
{
    if (output_width <= 0 || output_height <= 0)
        return {0, 0, 0, 0, 0};
    // The exact fit, in integers so that every driver agrees to the pixel.
    long long w = output_width, h = output_height;
    long long exact_width = w, exact_height = h;
    if (w * WindowRows <= h * WindowColumns)
        exact_height = w * WindowRows / WindowColumns;
    else
        exact_width = h * WindowColumns / WindowRows;
    int scale = output_width / WindowColumns < output_height / WindowRows ? output_width / WindowColumns
                                                                          : output_height / WindowRows;
    long long width = exact_width, height = exact_height;
    if (scale >= 1 && 100LL * scale * WindowColumns >= 85 * exact_width) {
        width = static_cast<long long>(scale) * WindowColumns;
        height = static_cast<long long>(scale) * WindowRows;
    } else {
        scale = 0;
    }
    return {static_cast<int>((w - width) / 2), static_cast<int>((h - height) / 2), static_cast<int>(width),
            static_cast<int>(height), scale};
}
