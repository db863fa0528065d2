// The music's shape shared by the composition's files: its length and pace,
// and the positions whose flashes the score must accent.
#pragma once
#include <vector>

constexpr int MusicOrders = 47;  // orders 0 to 46; the show ends when 46 starts
constexpr int MusicRowsPerOrder = 64;
constexpr int MusicSpeed = 6;    // ticks per row
constexpr int MusicTempo = 125;  // 20 ms ticks: one order lasts 7.68 s

struct MusicPosition {
    int order;
    int row;
    int kind;  // the fade kind of the ramp that starts there
};

// The positions at which the fade track moves to its next row, in order
// (every row but the last, which is never left).
std::vector<MusicPosition> music_accent_positions();
