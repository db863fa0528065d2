// The plane scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_plane_scene() {}

int plane_scene_handler(int, int, int)
{
    return 0;
}
