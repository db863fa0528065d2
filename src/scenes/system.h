// The system scene's state, pictures, meshes and draw callbacks, open to its
// tests and benchmarks.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

constexpr int SystemCopyCount = 6;     // zooming copies of the system mesh
constexpr int SystemGridSide = 50;     // the plane is 50 by 50 vertices, row by row
constexpr int SystemGridVertices = SystemGridSide * SystemGridSide;
constexpr int SystemStrokeLevel = 80;  // height bytes above it make a face a stroke

// Parameter bits of the timeline rows.
constexpr int SystemParamRay = 0x01;
constexpr int SystemParamCollapse = 0x02;
constexpr int SystemParamOutline = 0x1c;  // any of 0x04, 0x08, 0x10: outlines and relief
constexpr int SystemParamWave = 0x10;     // the wave, and no copies
constexpr int SystemParamWhite = 0x20;    // white faces, the gula mesh in black

// Animation state; the init call resets it (all but SystemWaveAmount's growth
// depend only on ticks).
extern int SystemTextureRow;     // 0, 2, ... 30: window into the copies' texture
extern float SystemScale;        // w of copy 0; the others follow 0.5 apart
extern float SystemSpin;         // turn of the copies about z
extern float SystemPulse;        // pulse of the copies' face scale
extern float SystemOrbit;        // circling of the plane
extern float SystemStrokeSway;   // sway of the red strokes
extern float SystemStrokeRise;   // height of the red strokes
extern float SystemWaveRows;     // wave phase along the grid rows
extern float SystemWaveColumns;  // wave phase along the grid columns
extern float SystemWaveAmount;         // 0 to 1: grows while the wave bit is set
extern float SystemFaceScale;    // shrink of the copy being drawn

// Cameras, rebuilt every frame.
extern Matrix SystemPlaneCamera, SystemCopyCamera, SystemGulaCamera;

extern Mesh SystemCopyMeshes[SystemCopyCount];
extern Mesh SystemPlaneMesh;
extern Mesh SystemGulaMesh;
// The faces' texture record: its pixels point at the current row of the
// picture kept in SystemTextureStore.
extern Image SystemTexture;
extern Image SystemTextureStore;
extern Image SystemHeight;  // one byte per grid vertex

// True once every asset has the shape the handler reads; until then the
// handler only advances its state.
extern bool SystemSceneReady;

void system_face_shrunk(Face *face);
void system_face_ray(Face *face);
void system_face_collapse(Face *face);
void system_face_outline(Face *face);
void system_face_white(Face *face);
void system_face_relief(Face *face);
void system_face_double_white(Face *face);
void system_face_double_black(Face *face);

// Frees what load_system_scene allocated (tests and tools; the show keeps it).
void release_system_scene();
