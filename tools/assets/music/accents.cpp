// The positions at which the show's fade track starts a new ramp, read from
// the sequencer's own table: each one gets a hit in the score.
#include "music/score.h"
#include "shell/sequencer.h"

std::vector<MusicPosition> music_accent_positions()
{
    std::vector<MusicPosition> positions;
    for (const FadeKey &key : FadeTrack)
        if (key.order != FadeTrackEndOrder)
            positions.push_back({key.order, key.row});
    return positions;
}
