// The music's shape shared by the composition's files: its length and pace,
// and the positions whose flashes the score must accent.
#pragma once
#include <vector>

constexpr int MusicOrders = 47;  // orders 0 to 46; the show ends when 46 starts
constexpr int MusicRowsPerOrder = 64;
constexpr int MusicSpeed = 6;    // ticks per row
constexpr int MusicTempo = 125;  // 20 ms ticks: a full order lasts 7.68 s

// The box morph lasts as long as the opening and reads well only for about
// 23 s, so the opening's orders are short: twelve bars in all up to the beat.
constexpr int OpeningOrders = 6;
constexpr int OpeningOrderRows[OpeningOrders] = {16, 16, 16, 16, 32, 32};

constexpr int music_order_rows(int order)
{
    return order >= 0 && order < OpeningOrders ? OpeningOrderRows[order] : MusicRowsPerOrder;
}

// The song row (counted from the start) on which an order begins.
constexpr int music_order_start(int order)
{
    int row = 0;
    for (int earlier = 0; earlier < order; earlier++)
        row += music_order_rows(earlier);
    return row;
}

// A whole number of full orders: every later order starts on the same bar
// and phrase grid as the song rows, so phrases still begin with their order.
static_assert(music_order_start(OpeningOrders) % MusicRowsPerOrder == 0);

struct MusicPosition {
    int order;
    int row;
    int kind;  // the fade kind of the ramp that starts there
};

// The positions at which the fade track moves to its next row, in order
// (every row but the last, which is never left).
std::vector<MusicPosition> music_accent_positions();
