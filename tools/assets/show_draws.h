// The show's one random generator, as its loaders draw from it at start-up:
// data that knows which draws its records will get can be laid out for them.
// The generator starts at RandomStart and is never reseeded; at start-up
// only the box loader (two draws per record of "box\box_3d_.3d"), then the
// ball loader (three per record of "ball\ball.3d"), then the plane loader
// draw, in that order.
//
//   uint32_t state = show_draws_after(2L * mesh_records(entries, "box\\box_3d_.3d", "ball\\ball.3d"));
//   int first = step_random(state);  // 0..32767, the next draw
#pragma once
#include <cstdint>

#include "assets.h"
#include "engine/random.h"

// The generator's state after `draws` values from the start.
uint32_t show_draws_after(long draws);

// Records (vertices and face normals) of the first object of the generated
// mesh entry `name`, which the data of `needed_by` is laid out after; ends
// the generator with a message if that mesh has not been made yet.
int mesh_records(const AssetList &entries, const char *name, const char *needed_by);
