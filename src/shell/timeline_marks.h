// Where the timeline's rows fall, without their handlers: what the music
// generator needs to turn its sections at the scene changes, usable without
// linking the scenes. timeline.cpp checks at compile time that its rows agree.
#pragma once
#include <cstdint>
#include <string_view>

#include "shell/sequencer.h"

struct TimelineMark {
    int32_t order;
    int32_t row;
    int32_t param;
    const char *name;  // the handler's name; "" for a row that only changes the parameter
};

inline constexpr TimelineMark TimelineMarks[TimelineRows] = {
    { 0,  0,  0, "box_morph_handler"},
    { 6, 62,  0, "box_title_handler"},
    { 8, 62,  0, "title_scene_handler"},
    {10, 62,  0, "ball_scene_handler"},
    {12, 58,  0, "plane_scene_handler"},
    {14, 58,  1, "ball_scene_handler"},
    {16, 48,  3, ""},
    {17, 24,  0, "tunnel_scene_handler"},
    {21, 62,  0, "believe_scene_handler"},
    {22,  0,  0, "believe_scene_handler"},
    {23, 32,  0, "buddha_crossfade_handler"},
    {24, 48,  0, "buddha_flicker_handler"},
    {27, 56,  0, "buddha_glow_handler"},
    {28,  0,  0, "buddha_scene_handler"},
    {28,  0,  0, "buddha_glow_handler"},
    {28, 38,  1, ""},
    {29,  6,  0, ""},
    {29, 38,  1, ""},
    {30,  6,  2, ""},
    {30, 38,  3, ""},
    {31,  6,  2, ""},
    {31, 38,  3, ""},
    {32, 25,  0, "system_scene_handler"},
    {33, 16,  1, ""},
    {34, 32,  2, ""},
    {35, 32,  4, ""},
    {36, 32,  8, ""},
    {37, 24, 16, ""},
    {41, 48, 48, ""},
    {41, 60,  0, "credits_scene_handler"},
    {TimelineEndOrder, 0, 0, ""},
};

// True when every row of `timeline` falls where its mark says, with the same
// parameter and handler name.
constexpr bool timeline_matches_marks(const TimelineEntry *timeline)
{
    for (int k = 0; k < TimelineRows; k++) {
        const TimelineEntry &entry = timeline[k];
        const TimelineMark &mark = TimelineMarks[k];
        if (entry.order != mark.order || entry.row != mark.row || entry.param != mark.param ||
            std::string_view(entry.name) != std::string_view(mark.name))
            return false;
    }
    return true;
}
