// The music: "orvanti.xm" started once from its beginning, the position poll
// that the sequencer and the show loop read, and stopping.
#pragma once
#include <cstdint>

#include "platform/platform.h"

constexpr const char *MusicFile = "orvanti.xm";
constexpr int FinalOrder = 46;    // the show ends when the music reaches it

// The last polled position.
extern int MusicOrder;
extern int MusicRow;
// Set by the poll once the module has played to its end.
extern bool MusicEnded;

// Splits a packed position: low 16 bits the order, high 16 bits the row.
inline int position_order(uint32_t position) { return static_cast<int>(position & 0xFFFF); }
inline int position_row(uint32_t position) { return static_cast<int>(position >> 16); }
inline uint32_t pack_position(int order, int row)
{
    return (static_cast<uint32_t>(order) & 0xFFFF) | (static_cast<uint32_t>(row) << 16);
}

// Starts "orvanti.xm" (or `file`) from order 0, row 0. Returns ExitNormal,
// or after the message box "Can't initialize device" ExitSoundDevice, or
// after "cannot play orvanti.xm: ..." ExitMusicFailed: without the module the
// position would never move, so the show could neither play nor end.
int start_music(const Platform &platform, const char *file = MusicFile);

// Reads the position of the music being heard into MusicOrder and MusicRow.
void poll_music_position(const Platform &platform);

// Stops the output and releases the module; harmless when repeated.
void free_music(const Platform &platform);
