// Every scene's loader and handlers, as the start-up loading and the timeline
// call them. A handler is called (1, 0, param) when it becomes current and
// (0, ticks, param) every frame.
#pragma once

void load_credits_scene();
void load_believe_scene();
void load_buddha_scene();
void load_title_scene();
void load_box_scene();
void load_ball_scene();
void load_plane_scene();
void load_tunnel_scene();
void load_system_scene();

int box_morph_handler(int init, int ticks, int param);
int box_title_handler(int init, int ticks, int param);
int title_scene_handler(int init, int ticks, int param);
int ball_scene_handler(int init, int ticks, int param);
int plane_scene_handler(int init, int ticks, int param);
int tunnel_scene_handler(int init, int ticks, int param);
int believe_scene_handler(int init, int ticks, int param);
int buddha_crossfade_handler(int init, int ticks, int param);
int buddha_flicker_handler(int init, int ticks, int param);
int buddha_glow_handler(int init, int ticks, int param);
int buddha_scene_handler(int init, int ticks, int param);
int system_scene_handler(int init, int ticks, int param);
int credits_scene_handler(int init, int ticks, int param);
