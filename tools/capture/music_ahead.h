// The capture's music rendered on a thread of its own, a few frames ahead of
// the drawing, so that the drawing thread never waits for the mixer. Frame
// n's slot holds the sound from frame n-1's time to frame n's (n * rate / fps
// frames of music in all) and the position reached there: the same reads, in
// the same sizes, as rendering in the drawing thread before each frame.
//
//   MusicAhead *ahead = start_music_ahead(&player, 44100, 50);
//   const MusicSlot *slot = wait_music_slot(ahead);  // frame 0, then 1, ...
//   ... use slot->sound, slot->frames, slot->position, slot->ended ...
//   release_music_slot(ahead);
//   stop_music_ahead(ahead);  // the player is the caller's again
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/module_player.h"

struct MusicSlot {
    std::vector<int16_t> sound;  // interleaved stereo
    size_t frames;               // stereo frames in `sound`
    uint32_t position;           // module_position after them
    bool ended;                  // the module ended within them: no slot follows
};

struct MusicAhead;

// The player belongs to the renderer until stop_music_ahead.
MusicAhead *start_music_ahead(ModulePlayer *player, int rate, int fps);
// The next frame's slot, waiting until it is rendered.
const MusicSlot *wait_music_slot(MusicAhead *ahead);
// Hands the slot from wait_music_slot back for a later frame.
void release_music_slot(MusicAhead *ahead);
// Ends the thread, whatever it is doing, and frees the renderer.
void stop_music_ahead(MusicAhead *ahead);
