// The buddha scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_buddha_scene() {}

int buddha_crossfade_handler(int, int, int)
{
    return 0;
}

int buddha_flicker_handler(int, int, int)
{
    return 0;
}

int buddha_glow_handler(int, int, int)
{
    return 0;
}

int buddha_scene_handler(int, int, int)
{
    return 0;
}
