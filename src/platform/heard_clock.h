// Which row of the music is leaving the speaker. The device's thread notes
// where each row begins in the stream it renders and when the device last
// asked for sound; the show's position is then the row whose first frame
// was the last to be heard, not the row of the buffer just rendered.
//
//   HeardClock clock;
//   reset_heard_clock(&clock, 0, 44100, 1024, ticks_per_second);
//   // device thread, per request of `frames` starting at clock.rendered:
//   note_request(&clock, now_ticks);
//   note_row_start(&clock, frame, position);  // as rows change while rendering
//   note_rendered(&clock, frames, ended);
//   // the show:
//   uint32_t position = position_at(clock, heard_frame(clock, now_ticks));
#pragma once
#include <cstdint>

struct RowStart {
    int64_t frame;  // in the stream, counted from the music's first frame
    uint32_t position;  // order | row << 16
};

// Row starts kept: far more than fit between the frame heard and the last
// one rendered, which are a couple of device buffers apart.
constexpr int RowStartSlots = 64;
// Requests kept: enough to span a burst, as some drivers take two buffers
// at once into a staging buffer of their own.
constexpr int RequestSlots = 4;

struct SoundRequest {
    int64_t frame;   // the request's first frame
    uint64_t ticks;  // when it came
};

struct HeardClock {
    RowStart rows[RowStartSlots];  // a ring; the newest is at newest
    int newest;
    int count;
    int rate;                   // frames a second
    uint64_t ticks_per_second;  // of the clock the ticks below are read from
    // What the device still holds to play when it asks for more: the frame
    // heard at a request is this far behind the request's first frame.
    int64_t queued_frames;
    int64_t rendered;  // frames handed to the device so far
    SoundRequest requests[RequestSlots];  // a ring of the latest; the newest at newest_request
    int newest_request;
    int request_count;
    int64_t end_frame;  // where the module ended, or -1 while it plays
};

void reset_heard_clock(HeardClock *clock, uint32_t first_position, int rate, int64_t queued_frames,
                       uint64_t ticks_per_second);
// The device asks for more, to start at clock->rendered.
void note_request(HeardClock *clock, uint64_t ticks);
void note_row_start(HeardClock *clock, int64_t frame, uint32_t position);
// `frames` were rendered; `ended` when the module ended within them, so
// its end lies at the new clock->rendered.
void note_rendered(HeardClock *clock, int64_t frames, bool ended);

// The frame leaving the speaker at `ticks`: counted on at the stream's rate
// from the kept request that came latest for its place in the stream (a
// device asks no sooner than it must; earlier ones went into a staging
// buffer), less what the device holds; never past what was handed over
// less that, and never negative.
int64_t heard_frame(const HeardClock &clock, uint64_t ticks);
// The position of the last row to start at or before `frame` (the oldest
// kept one if all start later).
uint32_t position_at(const HeardClock &clock, int64_t frame);
bool end_heard(const HeardClock &clock, int64_t frame);
