// Shape checks of the scene loaders: wrong-sized data fails the start-up.
#include "scenes/scene_assets.h"

#include "data/startup.h"

bool require_picture(const char *name, const Image *image, int kind, int width, int min_rows)
{
    if (image->pixels && image->kind == kind && image->width == width && image->height >= min_rows)
        return true;
    if (image->pixels || !StartupError)
        report_startup_failure("%s: needs a %s picture %d wide with at least %d rows, found kind %d, %d by %d",
                               name, kind == PictureGrey ? "8-bit" : "32-bit", width, min_rows, image->kind,
                               image->width, image->height);
    return false;
}

bool require_mesh(const char *name, const Mesh *mesh)
{
    if (mesh->object_count >= 1 && mesh->objects)
        return true;
    if (!StartupError)
        report_startup_failure("%s: the mesh has no object", name);
    return false;
}
