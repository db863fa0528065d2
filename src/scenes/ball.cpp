// The ball scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_ball_scene() {}

int ball_scene_handler(int, int, int)
{
    return 0;
}
