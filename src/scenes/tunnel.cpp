// The tunnel scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_tunnel_scene() {}

int tunnel_scene_handler(int, int, int)
{
    return 0;
}
