// The show's one random generator, as its loaders draw from it at start-up:
// data that knows which draws its records will get can be laid out for them.
// The generator starts at ShowDrawStart and is never reseeded.
//
//   uint32_t state = ShowDrawStart;
//   int first = next_show_draw(state);  // 0..32767
#pragma once
#include <cstdint>

constexpr uint32_t ShowDrawStart = 1;

inline int next_show_draw(uint32_t &state)
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}
