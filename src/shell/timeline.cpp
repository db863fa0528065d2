// The timeline: which scene handler runs from which music position, with its parameter.
#include "scenes/scenes.h"
#include "shell/sequencer.h"
#include "shell/timeline_marks.h"

constexpr TimelineEntry Timeline[TimelineRows] = {
    { 0,  0, box_morph_handler, 0, "box_morph_handler"},
    { 6, 62, box_title_handler, 0, "box_title_handler"},
    { 8, 62, title_scene_handler, 0, "title_scene_handler"},
    {10, 62, ball_scene_handler, 0, "ball_scene_handler"},
    {12, 58, plane_scene_handler, 0, "plane_scene_handler"},
    {14, 58, ball_scene_handler, 1, "ball_scene_handler"},
    {16, 48, nullptr, 3, ""},
    {17, 24, tunnel_scene_handler, 0, "tunnel_scene_handler"},
    {21, 62, believe_scene_handler, 0, "believe_scene_handler"},
    {22,  0, believe_scene_handler, 0, "believe_scene_handler"},
    {23, 32, buddha_crossfade_handler, 0, "buddha_crossfade_handler"},
    {24, 48, buddha_flicker_handler, 0, "buddha_flicker_handler"},
    {27, 56, buddha_glow_handler, 0, "buddha_glow_handler"},
    {28,  0, buddha_scene_handler, 0, "buddha_scene_handler"},
    {28,  0, buddha_glow_handler, 0, "buddha_glow_handler"},
    {28, 38, nullptr, 1, ""},
    {29,  6, nullptr, 0, ""},
    {29, 38, nullptr, 1, ""},
    {30,  6, nullptr, 2, ""},
    {30, 38, nullptr, 3, ""},
    {31,  6, nullptr, 2, ""},
    {31, 38, nullptr, 3, ""},
    {32, 25, system_scene_handler, 0, "system_scene_handler"},
    {33, 16, nullptr, 1, ""},
    {34, 32, nullptr, 2, ""},
    {35, 32, nullptr, 4, ""},
    {36, 32, nullptr, 8, ""},
    {37, 24, nullptr, 16, ""},
    {41, 48, nullptr, 48, ""},
    {41, 60, credits_scene_handler, 0, "credits_scene_handler"},
    {TimelineEndOrder, 0, nullptr, 0, ""},
};

// The music generator turns its sections on the marks, not on these rows.
static_assert(timeline_matches_marks(Timeline), "the timeline and its marks disagree");
