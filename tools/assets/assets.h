// The asset generator: every picture, mesh, table and note of the show.
// Each scene's data lives in its own file and adds its entries to the list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive_writer.h"

using AssetList = std::vector<ArchiveFile>;

// "coltab.dat": the 256 by 256 light table.
void make_colour_table(AssetList &entries);
void make_box_data(AssetList &entries);    // "box\\..." texture, shrink map, box meshes, title, mask, flash
void make_title_data(AssetList &entries);  // "orvanti\\..." word mesh, texture, backgrounds, colour, wipe, flash
void make_believe_data(AssetList &entries);  // "believe\\..." background, texture, osma.3d, gula.3d
void make_tunnel_data(AssetList &entries);   // "tunel\\..." tunel.3d, textures, flash picture
void make_ball_data(AssetList &entries);   // "ball\\..." maps, vortex source, ball.3d
void make_plane_data(AssetList &entries);  // "plane\\..." maps, vortex source, plane.3d
void make_system_data(AssetList &entries);   // "system\\..." disc mesh and texture, grid plane, height picture
void make_credits_data(AssetList &entries);  // "credits\\..." background, page, mask, gem texture and mesh, dissolve
void make_buddha_data(AssetList &entries);  // "buddha\\..." figure, scroller, box textures and boxes, maps, ring sprite

// The desktop icon, size by size 0x00RRGGBB words, rows top to bottom.
std::vector<uint32_t> paint_icon(int size);

// "orvanti.xm", the music.
std::vector<uint8_t> compose_music();
