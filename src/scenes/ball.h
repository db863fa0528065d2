// The ball scene's state, open to its tests and benchmarks.
#pragma once
#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// Red-only copy of the vortex's centre, the vortex ball's texture.
extern Image BallVortexTexture;
extern int BallTicks;     // ticks since the init call; drive the warp offsets
extern float BallPhase;   // angle driving the camera's bob and sway
extern Matrix BallCamera; // element 12 is the camera's x, element 14 its z

// Pictures and meshes as load_ball_scene left them.
extern Image BallMapX, BallMapY, BallSource, BallSourceInverted;
extern Mesh BallVortexMesh, BallRoughMesh, BallWhiteMesh;

// True once every picture and mesh has the size the handler relies on; until
// then the handler draws nothing.
extern bool BallSceneReady;

// The camera z inside which the vortex ball is textured and the white ball drawn.
constexpr float BallNearZ = -140.0f;
// With parameter bit 1 the camera stops at the first frame at or inside this z.
constexpr float BallStopZ = -125.0f;
constexpr int BallNearPlane = 75;
constexpr int BallFarPlane = 1000;

// Draw routines: the vortex ball (textured near, flat far), the rough
// ball's white wireframe, the white ball with black outlines.
void ball_face_vortex(Face *face);
void ball_face_wire(Face *face);
void ball_face_white(Face *face);

// Frees what load_ball_scene allocated (tests and tools; the show keeps it).
void release_ball_scene();
