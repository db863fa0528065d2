// What the scenes read of the fade track: this frame's value and kind, and the
// kinds the track's rows carry. Written by the sequencer before every handler call.
#pragma once
#include <cstdint>

// The kind byte of a fade row, named for the scenes that test it.
enum FadeKinds : uint8_t {
    FadeNone = 0,
    FadeBoxTitleThreshold = 1,  // box title: band pixels whose level lies below the value flash
    FadeTitleThreshold = 2,     // title: the same through the title's flash picture
    FadeFlash = 3,              // the short flash most scenes invert or brighten on
    FadeStrongFlash = 4,        // ball: also swaps the vortex ball's colours; buddha: the whole band
    FadeBuddhaRamp = 5,         // the buddha's crossfade and flicker take the value as a 0 to 255 ramp
    FadeSnapshotFlash = 6,      // tested by nobody: the tunnel shows the believe snapshot under it
    FadeSystemRays = 7,         // system: rays grow toward the plane's faces (untested; the ramp is read)
    FadeSystemFaces = 8,        // system: the faces grow back out of their rays (likewise)
    FadeSystemRelief = 9,       // system: the relief grows from nothing
    FadeSystemShrink = 10,      // system: the six copies' faces shrink away
    FadeCreditsDissolve = 11,   // the credits' final threshold fade
};

extern int FadeValue;
extern uint8_t FadeKind;
