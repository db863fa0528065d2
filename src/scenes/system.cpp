// The system scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_system_scene() {}

int system_scene_handler(int, int, int)
{
    return 0;
}
