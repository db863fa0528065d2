// The positions at which the show's fade track starts a new ramp, read from
// the sequencer's own table: each one gets a hit in the score.
#include "music/score.h"
#include "shell/sequencer.h"

std::vector<MusicPosition> music_accent_positions()
{
    std::vector<MusicPosition> positions;
    for (int k = 0; k + 1 < FadeTrackRows; k++)
        if (FadeTrack[k].order != FadeTrackEndOrder)
            positions.push_back({FadeTrack[k].order, FadeTrack[k].row, FadeTrack[k + 1].kind});
    return positions;
}
