// The show's one random generator, as its loaders draw from it at start-up:
// data that knows which draws its records will get can be laid out for them.
// The generator starts at ShowDrawStart and is never reseeded; at start-up
// only the box loader (two draws per record of "box\box_3d_.3d"), then the
// ball loader (three per record of "ball\ball.3d"), then the plane loader
// draw, in that order.
//
//   uint32_t state = show_draws_after(2L * mesh_records(entries, "box\\box_3d_.3d", "ball\\ball.3d"));
//   int first = next_show_draw(state);  // 0..32767
#pragma once
#include <cstdint>

#include "assets.h"

constexpr uint32_t ShowDrawStart = 1;

inline int next_show_draw(uint32_t &state)
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// The generator's state after `draws` values from the start.
uint32_t show_draws_after(long draws);

// Records (vertices and face normals) of the first object of the generated
// mesh entry `name`, which the data of `needed_by` is laid out after; ends
// the generator with a message if that mesh has not been made yet.
int mesh_records(const AssetList &entries, const char *name, const char *needed_by);
