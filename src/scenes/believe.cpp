// The believe scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_believe_scene() {}

int believe_scene_handler(int, int, int)
{
    return 0;
}
