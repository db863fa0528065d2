// Checks the scene loaders make on what they loaded: a picture or mesh of
// the wrong shape would make a scene read outside it every frame, so it is
// reported as a start-up failure naming the entry instead.
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/image.h"
#include "engine/mesh.h"
#include "scenes/asset_table.h"

// True when `image` has pixels of `kind`, exactly `width` columns and at
// least `min_rows` rows; otherwise raises StartupError with a line naming
// `name` (unless its load already failed, which has said why).
bool require_picture(const char *name, const Image *image, int kind, int width, int min_rows);

// require_picture with the kind and shape of the entry's row in AssetTable
// (a width of 0 there takes any width).
bool require_asset(const AssetEntry &entry, const Image *image);

// True when `mesh` has at least one object; otherwise raises StartupError.
bool require_mesh(const char *name, const Mesh *mesh);

// The first object of a mesh, or none when its load failed.
Object3D *first_object(Mesh *mesh);

// Raises StartupError with "NAME: problem", the entry named as the archive
// stores it (upper case).
void report_bad_entry(const char *name, const char *problem);

// The vortex scenes' warps: an offset map must be an 8-bit picture of exactly
// width by height, a source a 32-bit picture 256 wide with the 255 rows the
// warp samples; otherwise false after report_bad_entry.
bool check_warp_map(const Image &map, const char *name, int width, int height);
bool check_warp_source(const Image &source, const char *name);

// Loads and checks a warp's two offset maps (width by height), its source
// and a second copy of the source, inverted; false when any is unusable.
bool load_warp_pictures(const char *map_x_name, const char *map_y_name, const char *source_name, int width,
                        int height, Image *map_x, Image *map_y, Image *source, Image *inverted);

// "coltab.dat": byte [level * 256 + value] is the new value of a colour
// component of that value at that level.
constexpr size_t ColourTableBytes = size_t{ColourTableAsset.width} * ColourTableAsset.min_rows;
extern uint8_t *ColourTable;

// Loads the colour table, which must hold the whole 256 by 256 bytes.
void load_colour_table();
