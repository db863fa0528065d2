// The box scene's state and its own pixel passes, for the handlers and their tests.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

// Pictures and meshes, loaded once by load_box_scene.
extern Image BoxTexture;      // 32-bit, 256 wide, at least 1,023 rows
extern Image BoxOffset;       // 8-bit, 960 by 480: shrink amount per face
extern Image BoxTitle;        // 32-bit, 640 wide, at least 160 rows
extern Image BoxTitleMask;    // 8-bit, 1,280 wide, at least 127 rows
extern Image BoxFlash;        // 8-bit, 640 by 320
extern Mesh BoxMorphMesh, BoxReferenceMesh, BoxRandomMesh;

// The texture record the faces sample: its pixels move to row BoxScrollRow.
extern Image BoxWindow;
extern Matrix BoxCamera;

// Each handler scrolls the texture with its own row.
struct BoxScrollRows {
    int morph;  // 0..767
    int title;  // 0..767
};
extern BoxScrollRows BoxScrollRow;
extern float BoxMorphPhase;   // angle of the texture-coordinate morph
extern float BoxOffsetPhase;  // moves the shrink map's sampling point and scales the shrink
extern float BoxMorphAmount;  // 0..0.5
extern int BoxTitleColumn;    // 0..639, scroll of the title mask

constexpr int BoxScrollPeriod = 768;
constexpr int BoxTitleColumns = 640;
constexpr uint32_t BoxFlashColour = 0x00FFDE00;

void box_face_shrunk(Face *face);
void box_face_textured(Face *face);

// Per-tick state steps of the two handlers (ticks <= 0 does nothing).
void box_morph_advance(int ticks);
void box_title_advance(int ticks);

// u, v of every record of `morph` = reference + amount * (random - reference).
void box_morph_coordinates(Object3D *morph, const Object3D *reference, const Object3D *random, float amount);

// The shrink factor of a face whose screen centroid is (x, y), read from
// BoxOffset at the point that circles with BoxOffsetPhase.
float box_shrink_amount(double centroid_x, double centroid_y);

// Where kind is FadeBoxTitleThreshold and value non-zero, band pixels whose level (640 by 320
// bytes) lies below value become BoxFlashColour.
void box_flash(const uint8_t *levels, int kind, int value);

// The title (640 words per row, 160 rows) over band rows 80..239, in the
// columns whose mask byte (row mask_row of a 1,280-wide mask, from column
// `column`) is below 32; title words of 0 are never drawn.
void box_title_overlay(const uint32_t *title, const uint8_t *mask, int mask_row, int column);
// The mask row of a frame from one random draw: 63..126.
int box_title_mask_row(int draw);
