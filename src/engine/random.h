// The program's single random generator: every run draws the same numbers.
#pragma once
#include <cstdint>

extern uint32_t RandomState;  // starts at 1, never reseeded

// Next value from 0 to 32767.
int random_next();
