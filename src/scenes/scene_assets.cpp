// Shape checks of the scene loaders (wrong-sized data fails the start-up) and the colour table.
#include "scenes/scene_assets.h"

#include <cstdio>
#include <cstdlib>

#include "data/archive.h"
#include "data/startup_error.h"
#include "scenes/image_ops.h"

namespace {

constexpr int WarpSourceWidth = 256;
constexpr int WarpSourceMinRows = 255;  // the warp samples rows 0 to 254
static_assert(BallSourceAsset.width == WarpSourceWidth && BallSourceAsset.min_rows == WarpSourceMinRows);
static_assert(PlaneSourceAsset.width == WarpSourceWidth && PlaneSourceAsset.min_rows == WarpSourceMinRows);

} // namespace

bool require_picture(const char *name, const Image *image, int kind, int width, int min_rows)
{
    if (image->pixels && image->kind == kind && image->width == width && image->height >= min_rows)
        return true;
    if (image->pixels || !StartupError)
        report_startup_failure("%s: needs a %s picture %d wide with at least %d rows, found kind %d, %d by %d",
                               name, kind == ImageBytes ? "8-bit" : "32-bit", width, min_rows, image->kind,
                               image->width, image->height);
    return false;
}

bool require_asset(const AssetEntry &entry, const Image *image)
{
    const int kind = entry.kind == AssetGrey ? ImageBytes : ImageWords;
    const int width = entry.width > 0 ? entry.width : (image->width > 0 ? image->width : 1);
    return require_picture(entry.name, image, kind, width, entry.min_rows);
}

bool require_mesh(const char *name, const Mesh *mesh)
{
    if (mesh->object_count >= 1 && mesh->objects)
        return true;
    if (!StartupError)
        report_bad_entry(name, "the mesh has no object");
    return false;
}

Object3D *first_object(Mesh *mesh)
{
    return mesh->object_count > 0 && mesh->objects != nullptr ? &mesh->objects[0] : nullptr;
}

void report_bad_entry(const char *name, const char *problem)
{
    char stored[ArchiveNameSlot];
    if (upper_case_entry_name(name, stored))
        report_startup_failure("%s: %s", stored, problem);
}

bool check_warp_map(const Image &map, const char *name, int width, int height)
{
    if (map.kind == ImageBytes && map.pixels && map.width == width && map.height == height)
        return true;
    char problem[64];
    snprintf(problem, sizeof problem, "not an 8-bit %d by %d offset map", width, height);
    report_bad_entry(name, problem);
    return false;
}

bool check_warp_source(const Image &source, const char *name)
{
    if (source.kind == ImageWords && source.pixels && source.width == WarpSourceWidth &&
        source.height >= WarpSourceMinRows)
        return true;
    report_bad_entry(name, "not a 32-bit picture 256 wide with at least 255 rows");
    return false;
}

bool load_warp_pictures(const char *map_x_name, const char *map_y_name, const char *source_name, int width,
                        int height, Image *map_x, Image *map_y, Image *source, Image *inverted)
{
    load_image(map_x_name, map_x);
    load_image(map_y_name, map_y);
    load_image(source_name, source);
    load_image(source_name, inverted);
    bool ok = check_warp_map(*map_x, map_x_name, width, height);
    ok = check_warp_map(*map_y, map_y_name, width, height) && ok;
    ok = check_warp_source(*source, source_name) && ok;
    if (!check_warp_source(*inverted, source_name))
        return false;
    invert_image(inverted);
    return ok;
}

uint8_t *ColourTable = nullptr;

void load_colour_table()
{
    load_entry(ColourTableAsset.name, &ColourTable);
    if (!ColourTable)
        return;
    // Scenes index the whole table: a short entry would send them past its end.
    uint32_t size = find_entry_size("COLTAB.DAT");
    if (size < ColourTableBytes) {
        report_startup_failure("COLTAB.DAT: %u bytes, the colour table needs %zu", size, ColourTableBytes);
        free(ColourTable);
        ColourTable = nullptr;
    }
}
