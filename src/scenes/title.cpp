// The title scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_title_scene() {}

int title_scene_handler(int, int, int)
{
    return 0;
}
