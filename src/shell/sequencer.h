// The show's script: the timeline of scene handlers and the fade track, both
// keyed to the music position and stepped once per frame.
#pragma once
#include <cstdint>

#include "scenes/fade.h"

// A scene's entry: called (1, 0, param) when it becomes current and
// (0, ticks, param) every frame; the result is ignored.
using SceneHandler = int (*)(int init, int ticks, int param);

// One row of the timeline. A row without a handler only changes the parameter.
struct TimelineEntry {
    int32_t order;
    int32_t row;
    SceneHandler handler;
    int32_t param;
    const char *name;  // the handler's name, for traces; "" when there is none
};

// One row of the fade track: a ramp from `from` to `to` over `duration`
// ticks, current until the music reaches (order, row).
struct FadeKey {
    int32_t from;
    int32_t to;
    int32_t duration;
    uint8_t kind;
    int32_t order;
    int32_t row;
};

constexpr int TimelineRows = 31;  // thirty rows and the end row, whose order is TimelineEndOrder
constexpr int FadeTrackRows = 108;

// A position no music reaches: it keeps both walks inside their tables.
constexpr int32_t TimelineEndOrder = 99;
constexpr int32_t FadeTrackEndOrder = 1000000;

// The show's scenes in order of their first row (src/shell/timeline.cpp).
extern const TimelineEntry Timeline[TimelineRows];

// from, to, duration, kind, left at order, row; numbered from 0.
inline constexpr FadeKey FadeTrack[FadeTrackRows] = {
    { 99,   0,   0, FadeNone,               6, 62}, // 0
    {192,   0,  32, FadeBoxTitleThreshold,  7,  5}, // 1
    {128,   0,  32, FadeBoxTitleThreshold,  7, 15}, // 2
    {128,   0,  32, FadeBoxTitleThreshold,  7, 21}, // 3
    { 96,   0,  24, FadeBoxTitleThreshold,  7, 31}, // 4
    {128,   0,  32, FadeBoxTitleThreshold,  7, 37}, // 5
    {128,   0,  32, FadeBoxTitleThreshold,  7, 47}, // 6
    {128,   0,  32, FadeBoxTitleThreshold,  7, 53}, // 7
    { 96,   0,  24, FadeBoxTitleThreshold,  8,  0}, // 8
    {128,   0,  32, FadeBoxTitleThreshold,  8,  5}, // 9
    {128,   0,  32, FadeBoxTitleThreshold,  8, 15}, // 10
    {128,   0,  32, FadeBoxTitleThreshold,  8, 21}, // 11
    { 96,   0,  24, FadeBoxTitleThreshold,  8, 31}, // 12
    {128,   0,  32, FadeBoxTitleThreshold,  8, 37}, // 13
    {128,   0,  32, FadeBoxTitleThreshold,  8, 47}, // 14
    {128,   0,  32, FadeBoxTitleThreshold,  8, 53}, // 15
    { 96,   0,  24, FadeBoxTitleThreshold,  8, 62}, // 16
    {128,   0,  32, FadeTitleThreshold,     9,  9}, // 17
    {128,   0,  32, FadeTitleThreshold,     9, 21}, // 18
    {128,   0,  32, FadeTitleThreshold,     9, 31}, // 19
    {128,   0,  32, FadeTitleThreshold,     9, 37}, // 20
    {128,   0,  32, FadeTitleThreshold,     9, 41}, // 21
    {128,   0,  32, FadeTitleThreshold,     9, 52}, // 22
    {128,   0,  32, FadeTitleThreshold,     9, 62}, // 23
    {128,   0,  32, FadeTitleThreshold,     10,  9}, // 24
    {128,   0,  32, FadeTitleThreshold,     10, 21}, // 25
    {128,   0,  32, FadeTitleThreshold,     10, 31}, // 26
    {128,   0,  32, FadeTitleThreshold,     10, 37}, // 27
    {128,   0,  32, FadeTitleThreshold,     10, 41}, // 28
    {128,   0,  32, FadeTitleThreshold,     10, 52}, // 29
    {128,   0,  32, FadeTitleThreshold,     11, 22}, // 30
    { 32,   0,   4, FadeFlash,              11, 26}, // 31
    { 32,   0,   4, FadeFlash,              11, 54}, // 32
    { 32,   0,   4, FadeFlash,              11, 58}, // 33
    { 32,   0,   4, FadeStrongFlash,        12, 22}, // 34
    { 32,   0,   4, FadeFlash,              12, 26}, // 35
    { 32,   0,   4, FadeFlash,              12, 54}, // 36
    { 32,   0,   4, FadeFlash,              12, 58}, // 37
    { 32,   0,   4, FadeFlash,              13, 54}, // 38
    { 32,   0,   4, FadeFlash,              13, 58}, // 39
    { 32,   0,   4, FadeFlash,              14, 48}, // 40
    { 32,   0,   4, FadeFlash,              14, 52}, // 41
    { 32,   0,   4, FadeFlash,              14, 58}, // 42
    { 32,   0,   4, FadeFlash,              15, 54}, // 43
    { 32,   0,   4, FadeFlash,              15, 58}, // 44
    { 32,   0,   4, FadeStrongFlash,        16, 48}, // 45
    { 32,   0,   4, FadeFlash,              16, 52}, // 46
    { 32,   0,   4, FadeFlash,              16, 58}, // 47
    { 32,   0,   4, FadeStrongFlash,        17, 24}, // 48
    { 32,   0,   4, FadeFlash,              18, 22}, // 49
    { 32,   0,   4, FadeFlash,              18, 26}, // 50
    { 32,   0,   4, FadeFlash,              18, 52}, // 51
    { 32,   0,   4, FadeFlash,              18, 58}, // 52
    { 32,   0,   4, FadeFlash,              19, 22}, // 53
    { 32,   0,   4, FadeFlash,              19, 26}, // 54
    { 32,   0,   4, FadeFlash,              19, 52}, // 55
    { 32,   0,   4, FadeFlash,              19, 58}, // 56
    { 32,   0,   4, FadeFlash,              20, 22}, // 57
    { 32,   0,   4, FadeFlash,              20, 26}, // 58
    { 32,   0,   4, FadeFlash,              20, 52}, // 59
    { 32,   0,   4, FadeFlash,              20, 58}, // 60
    { 32,   0,   4, FadeFlash,              21, 48}, // 61
    { 32,   0,   4, FadeSnapshotFlash,      21, 50}, // 62
    { 32,   0,   4, FadeSnapshotFlash,      21, 52}, // 63
    { 32,   0,   4, FadeSnapshotFlash,      21, 60}, // 64
    { 32,   0,   4, FadeSnapshotFlash,      23, 32}, // 65
    {  0, 255, 500, FadeBuddhaRamp,         24, 48}, // 66
    {  0, 255, 500, FadeBuddhaRamp,         27, 56}, // 67
    { 32,   0,   4, FadeFlash,              28,  6}, // 68
    { 32,   0,   4, FadeFlash,              28, 22}, // 69
    { 32,   0,   4, FadeFlash,              28, 38}, // 70
    { 32,   0,   4, FadeFlash,              28, 54}, // 71
    { 32,   0,   4, FadeFlash,              29,  6}, // 72
    { 32,   0,   4, FadeFlash,              29, 22}, // 73
    { 32,   0,   4, FadeFlash,              29, 38}, // 74
    { 32,   0,   4, FadeFlash,              29, 54}, // 75
    { 32,   0,   4, FadeFlash,              30,  6}, // 76
    { 32,   0,   4, FadeFlash,              30, 22}, // 77
    { 32,   0,   4, FadeFlash,              30, 38}, // 78
    { 32,   0,   4, FadeFlash,              30, 54}, // 79
    { 32,   0,   4, FadeFlash,              31,  6}, // 80
    { 32,   0,   4, FadeFlash,              31, 22}, // 81
    { 32,   0,   4, FadeFlash,              31, 38}, // 82
    { 32,   0,   4, FadeFlash,              31, 54}, // 83
    { 32,   0,   4, FadeFlash,              32, 24}, // 84
    { 32,   0,   4, FadeStrongFlash,        33, 32}, // 85
    {  0, 255, 300, FadeSystemRays,         34, 32}, // 86
    {255,   0, 300, FadeSystemFaces,        35, 32}, // 87
    {  0, 255, 300, FadeSystemRelief,       36, 32}, // 88
    {  0, 255, 500, FadeSystemShrink,       37, 24}, // 89
    { 32,   0,   4, FadeFlash,              38, 22}, // 90
    { 32,   0,   4, FadeFlash,              38, 26}, // 91
    { 32,   0,   4, FadeFlash,              38, 52}, // 92
    { 32,   0,   4, FadeFlash,              38, 58}, // 93
    { 32,   0,   4, FadeFlash,              39, 22}, // 94
    { 32,   0,   4, FadeFlash,              39, 26}, // 95
    { 32,   0,   4, FadeFlash,              39, 52}, // 96
    { 32,   0,   4, FadeFlash,              39, 58}, // 97
    { 32,   0,   4, FadeFlash,              40, 22}, // 98
    { 32,   0,   4, FadeFlash,              40, 26}, // 99
    { 32,   0,   4, FadeFlash,              40, 52}, // 100
    { 32,   0,   4, FadeFlash,              40, 58}, // 101
    { 32,   0,   4, FadeFlash,              41, 48}, // 102
    { 32,   0,   4, FadeFlash,              41, 50}, // 103
    { 32,   0,   4, FadeFlash,              41, 52}, // 104
    { 32,   0,   4, FadeFlash,              41, 60}, // 105
    { 32,   0,   4, FadeFlash,              44, 24}, // 106
    {255,   0, 500, FadeCreditsDissolve,    FadeTrackEndOrder,  0}, // 107

};

// Sequencer state; everything starts at 0 or none and only moves forward.
extern const TimelineEntry *ActiveTimeline;  // Timeline unless a test or tool swaps it
extern const FadeKey *ActiveFadeTrack;       // FadeTrack likewise
extern int TimelineIndex;
extern SceneHandler CurrentHandler;
extern const char *CurrentHandlerName;  // "" while there is no current handler
extern int CurrentParam;
extern int PreviousClock;
extern int FadeIndex;
extern int FadeStartTick;

// True when (order, row) has reached a row at (row_order, row_row): each
// coordinate compared on its own, not lexicographically.
inline bool position_reached(int order, int row, int row_order, int row_row)
{
    return order >= row_order && row >= row_row;
}

// Moves the fade track on to the rows the music has reached and computes
// FadeValue and FadeKind from FrameClock.
void update_fade();

// Fires the timeline rows the music has reached, then calls the current
// handler once with the ticks since the previous frame.
void run_timeline();

// Puts the sequencer back to its state before the first frame, over the given
// tables (the end rows must be unreachable). The program never calls it.
void reset_sequencer(const TimelineEntry *timeline = Timeline, const FadeKey *fade_track = FadeTrack);
