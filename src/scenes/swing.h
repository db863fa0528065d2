// A value that swings between two bounds by one step a tick: it turns on the
// step that reaches or passes a bound, and the value that passed is kept as
// it is (not clamped), so it turns at the same points at any frame rate.
#pragma once

template <class T>
inline void step_swing(T *value, bool *falling, T step, T bottom, T top)
{
    if (!*falling) {
        *value += step;
        if (*value >= top)
            *falling = true;
    } else {
        *value -= step;
        if (*value <= bottom)
            *falling = false;
    }
}
