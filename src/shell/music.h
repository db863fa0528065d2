// The music: device set-up, "orvanti.xm" played once from its start, the
// position poll that the sequencer and the main loop read, and freeing.
#pragma once
#include <cstdint>

constexpr const char *MusicFile = "orvanti.xm";
constexpr int MusicRate = 44100;
constexpr int FinalOrder = 46;  // the show ends when the music reaches it

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

// Sets up the device and starts "orvanti.xm" (or `file`). A device that
// cannot be opened ends the process through fatal_exit; a file that cannot be
// played ends it with "cannot play orvanti.xm: ..." on standard error.
void start_music(const char *file = MusicFile);

// Reads the position of the music being heard into MusicOrder and MusicRow.
void poll_music_position();

// Stops the output and releases the module; harmless when repeated.
void free_music();

// Shows `message`, frees the music and ends the process with `status`.
[[noreturn]] void fatal_exit(const char *message, int status);
