// The tunnel scene's state, records and draw callbacks, for the tests.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// Animation state, reset by the init call and stepped once per tick.
extern float TunnelTravel;        // distance flown, +7.1 per tick
extern float TunnelSway;          // drives both cameras, +0.05 per tick
extern float TunnelMorph;         // textured tube's blend toward the widened shape
extern bool TunnelMorphFalling;
extern float TunnelPhase;         // smear of the green wires and the ball's cores
extern int TunnelTextureCounter;  // 0..255, scroll of the tube's texture

// Set by the loader when every asset has the shape the scene reads; the
// handler only advances without it.
extern bool TunnelSceneReady;

extern Mesh TunnelWireMesh;      // drawn twice as wireframe; the morph's rest shape
extern Mesh TunnelSwollenMesh;   // widened at load; the morph's target shape
extern Mesh TunnelTexturedMesh;  // receives the morph, drawn textured
extern Mesh TunnelBallMesh;

extern Image TunnelTexture;        // 256 wide, two copies of a 256-row tile
extern Image TunnelScrollTexture;  // the tube's texture: a 256-row window into TunnelTexture
extern Image TunnelBallTexture;
extern Image TunnelPicture;        // behind the tube during kind-3 flashes

extern Matrix TunnelCamera;
extern Matrix TunnelBallCamera;

void tunnel_face_shifted_wire(Face *face);
void tunnel_face_wire(Face *face);
void tunnel_ball_face(Face *face);
