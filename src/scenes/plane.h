// The plane scene's state, open to its tests and benchmarks.
#pragma once
#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// The warped vortex every face of the sheet shows; rewritten every frame.
extern Image PlaneTexture;
extern float PlaneBlend;         // shape blend from the rest toward the rough sheet
extern bool PlaneBlendFalling;   // direction of the blend
extern int PlaneWarpClock;       // ticks since the init call; drive the warp offsets
extern Matrix PlaneCamera;

// Pictures and meshes as load_plane_scene left them.
extern Image PlaneMapX, PlaneMapY, PlaneSource, PlaneSourceInverted;
extern Mesh PlaneRestMesh, PlaneRoughMesh, PlaneDrawnMesh;

// True once every picture and mesh has the size the handler relies on; until
// then the handler only clears the band.
extern bool PlaneSceneReady;

constexpr float PlaneBlendTop = 0.75f;
constexpr float PlaneBlendBottom = -1.0f;
constexpr float PlaneBlendStep = 0.015f;
constexpr int PlaneNearPlane = 0;
constexpr int PlaneFarPlane = 200;

// Draw routine of the sheet: textured, outlined in black during a kind-3 flash.
void plane_face(Face *face);

// Frees what load_plane_scene allocated (tests and tools; the show keeps it).
void release_plane_scene();
