// The credits scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_credits_scene() {}

int credits_scene_handler(int, int, int)
{
    return 0;
}
