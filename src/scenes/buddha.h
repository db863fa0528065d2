// The buddha scene's state, pictures and draw routines, open to its tests and benchmarks.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// The first box's texture from the glow handler on: the warped source lit
// through a glow map and the colour table, rewritten every frame.
extern Image BuddhaGlowTexture;

extern float BuddhaPhase;     // bob of the picture, scroller height, line targets
extern double BuddhaPulsePhase;     // pulse of the second box's faces
extern int BuddhaScrollerRow;       // first scroller row shown; never reset
extern int BuddhaRevealFlag;        // non-zero: the first box is textured
extern float BuddhaRingPhase;       // turn of the ring of sprites
extern double BuddhaCollapseScale;  // size of the first box's faces in the last section
extern int BuddhaGlowTicks;         // ticks since the glow handler's init; drive the warp
extern Matrix BuddhaCamera;

// Pictures and meshes as load_buddha_scene left them.
extern Image BuddhaPicture, BuddhaPictureInverted;
extern Image BuddhaScroller;     // 8-bit; non-zero bytes are drawn white
extern Image BuddhaBoxTexture;   // first box's texture until the glow handler starts
extern Image BuddhaWarpSource;
extern Image BuddhaCrossfade;    // 8-bit, 256 wide: per-frame choice between two pictures
extern Image BuddhaMapX, BuddhaMapY;
extern Image BuddhaGlow1, BuddhaGlow2;
extern Image BuddhaRing, BuddhaRingInverted;
extern Mesh BuddhaBoxMesh;   // first object: black outlines, later the glowing box
extern Mesh BuddhaBox2Mesh;  // first object: pulsing orange wireframe

// True once every picture and mesh has the shape the handlers index; until
// then the handlers only advance their state.
extern bool BuddhaSceneReady;

// Flags of buddha_scene_handler.
constexpr int BuddhaAdvanceOnly = 1;
constexpr int BuddhaReveal = 2;
// Parameter bits of buddha_glow_handler.
constexpr int GlowSecondMap = 1;
constexpr int GlowWhiteCollapse = 2;

constexpr int BuddhaPictureX = 262;  // left column of the bobbing picture
constexpr int ScrollerLeft = 312;    // band column of the scroller's column 0
constexpr int GlowSide = 256;

void buddha_face_box(Face *face);
void buddha_face_pulse_wire(Face *face);
void buddha_face_collapse(Face *face);

// Frees what load_buddha_scene allocated (tests and tools; the show keeps it).
void release_buddha_scene();
