// The timeline and fade-track walks, run once per frame from the music position.
#include "shell/sequencer.h"

#include "shell/frame_driver.h"
#include "shell/music.h"

int FadeValue = 0;
uint8_t FadeKind = 0;

const TimelineEntry *ActiveTimeline = Timeline;
const FadeKey *ActiveFadeTrack = FadeTrack;
int TimelineIndex = 0;
SceneHandler CurrentHandler = nullptr;
const char *CurrentHandlerName = "";
int CurrentParam = 0;
int PreviousClock = 0;
int FadeIndex = 0;
int FadeStartTick = 0;

void update_fade()
{
    // The last row's position is never reached, so the index stays in the table.
    while (position_reached(MusicOrder, MusicRow, ActiveFadeTrack[FadeIndex].order,
                            ActiveFadeTrack[FadeIndex].row)) {
        FadeIndex++;
        FadeStartTick = FrameClock;
    }
    const FadeKey &key = ActiveFadeTrack[FadeIndex];
    int elapsed = FrameClock - FadeStartTick;
    // A clock that wrapped would give a negative elapsed time: never divide by a zero duration.
    if (key.duration <= 0 || elapsed >= key.duration)
        FadeValue = key.to;
    else
        FadeValue = key.from + (key.to - key.from) * elapsed / key.duration;
    FadeKind = key.kind;
}

void run_timeline()
{
    for (;;) {
        const TimelineEntry &entry = ActiveTimeline[TimelineIndex];
        if (entry.order == TimelineEndOrder || !position_reached(MusicOrder, MusicRow, entry.order, entry.row))
            break;
        if (entry.handler) {
            CurrentHandler = entry.handler;
            CurrentHandlerName = entry.name;
        }
        CurrentParam = entry.param;
        if (entry.handler)
            entry.handler(1, 0, entry.param);
        TimelineIndex++;
    }
    int ticks = FrameClock - PreviousClock;
    PreviousClock = FrameClock;
    if (CurrentHandler)
        CurrentHandler(0, ticks, CurrentParam);
}

void reset_sequencer(const TimelineEntry *timeline, const FadeKey *fade_track)
{
    ActiveTimeline = timeline;
    ActiveFadeTrack = fade_track;
    TimelineIndex = 0;
    CurrentHandler = nullptr;
    CurrentHandlerName = "";
    CurrentParam = 0;
    PreviousClock = 0;
    FadeIndex = 0;
    FadeStartTick = 0;
    FadeValue = 0;
    FadeKind = 0;
}
