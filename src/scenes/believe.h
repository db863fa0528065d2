// The believe scene's state, draw callbacks and still, for the start-up and the tests.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// Angle of the red cores' pulse: 0 after the init call, +0.05 per tick.
extern float BelievePhase;
extern Matrix BelieveCamera;

// Set by the loader when every asset has the shape the scene reads; the
// handler only advances without it.
extern bool BelieveSceneReady;

extern Image BelieveBackground;  // 640 by 320, copied under every drawn frame
extern Image BelieveTexture;     // the osma object's texture
extern Mesh BelieveOsmaMesh;     // first object: textured, orange outlines
extern Mesh BelieveGulaMesh;     // first object: pulsing red cores in white outlines

void believe_face_textured(Face *face);
void believe_face_pulse(Face *face);

// The scene's first frame, 640 by 320 pixels with a row stride of 640,
// rendered once at start-up.
extern uint32_t *BelieveSnapshot;
