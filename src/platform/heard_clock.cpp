#include "platform/heard_clock.h"

#include <algorithm>

void reset_heard_clock(HeardClock *clock, uint32_t first_position, int rate, int64_t queued_frames,
                       uint64_t ticks_per_second)
{
    *clock = {};
    clock->rate = rate;
    clock->ticks_per_second = ticks_per_second;
    clock->queued_frames = queued_frames;
    clock->end_frame = -1;
    note_row_start(clock, 0, first_position);
}

void note_request(HeardClock *clock, uint64_t ticks)
{
    clock->newest_request = clock->request_count == 0 ? 0 : (clock->newest_request + 1) % RequestSlots;
    clock->requests[clock->newest_request] = {clock->rendered, ticks};
    clock->request_count = std::min(clock->request_count + 1, RequestSlots);
}

void note_row_start(HeardClock *clock, int64_t frame, uint32_t position)
{
    clock->newest = clock->count == 0 ? 0 : (clock->newest + 1) % RowStartSlots;
    clock->rows[clock->newest] = {frame, position};
    clock->count = std::min(clock->count + 1, RowStartSlots);
}

void note_rendered(HeardClock *clock, int64_t frames, bool ended)
{
    clock->rendered += frames;
    if (ended && clock->end_frame < 0)
        clock->end_frame = clock->rendered;
}

int64_t heard_frame(const HeardClock &clock, uint64_t ticks)
{
    // A device that stops asking has not played on past what it was given.
    int64_t heard = clock.rendered - clock.queued_frames;
    for (int i = 0; i < clock.request_count; i++) {
        const SoundRequest &request = clock.requests[i];
        double elapsed = ticks > request.ticks ? static_cast<double>(ticks - request.ticks) : 0.0;
        double frames = elapsed * clock.rate / static_cast<double>(clock.ticks_per_second);
        heard = std::min(heard, request.frame - clock.queued_frames + static_cast<int64_t>(frames));
    }
    return std::max<int64_t>(0, heard);
}

uint32_t position_at(const HeardClock &clock, int64_t frame)
{
    int oldest = (clock.newest - clock.count + 1 + RowStartSlots) % RowStartSlots;
    for (int i = 0; i < clock.count; i++) {
        const RowStart &row = clock.rows[(clock.newest - i + RowStartSlots) % RowStartSlots];
        if (row.frame <= frame)
            return row.position;
    }
    return clock.rows[oldest].position;
}

bool end_heard(const HeardClock &clock, int64_t frame)
{
    return clock.end_frame >= 0 && frame >= clock.end_frame;
}
