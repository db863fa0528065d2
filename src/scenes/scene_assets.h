// Checks the scene loaders make on what they loaded: a picture or mesh of
// the wrong shape would make a scene read outside it every frame, so it is
// reported as a start-up failure naming the entry instead.
#pragma once

#include "data/image.h"
#include "engine/mesh.h"

constexpr int PictureGrey = 1;   // Image.kind: one byte per pixel
constexpr int PictureWords = 2;  // Image.kind: 0x00RRGGBB words

// True when `image` has pixels of `kind`, exactly `width` columns and at
// least `min_rows` rows; otherwise raises StartupError with a line naming
// `name` (unless its load already failed, which has said why).
bool require_picture(const char *name, const Image *image, int kind, int width, int min_rows);

// True when `mesh` has at least one object; otherwise raises StartupError.
bool require_mesh(const char *name, const Mesh *mesh);
