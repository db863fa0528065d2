// The program's single random generator: every run draws the same numbers.
#pragma once
#include <cstdint>

constexpr uint32_t RandomStart = 1;
extern uint32_t RandomState;  // starts at RandomStart, never reseeded

// One step of the generator on any state: the next value from 0 to 32767.
// The data generator replays the show's start-up draws with it.
inline int step_random(uint32_t &state)
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// Next value from 0 to 32767.
int random_next();
