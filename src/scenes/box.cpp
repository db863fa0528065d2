// The box scene. Placeholder: loads nothing and draws nothing until the scene is built.
#include "scenes/scenes.h"

void load_box_scene() {}

int box_morph_handler(int, int, int)
{
    return 0;
}

int box_title_handler(int, int, int)
{
    return 0;
}
