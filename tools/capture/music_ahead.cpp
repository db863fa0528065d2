#include "music_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "capture.h"

// A third of a second of sound at 50 frames a second: enough to ride over
// a slow read, little enough to keep the position close at hand.
constexpr int AheadSlots = 16;
// The largest read, as when the music was rendered block by block.
constexpr size_t ReadFrames = 1024;

struct MusicAhead {
    ModulePlayer *player;
    int rate, fps;
    std::mutex lock;
    std::condition_variable changed;
    MusicSlot slots[AheadSlots];
    int head = 0, count = 0;  // the oldest rendered slot and how many wait
    bool stopping = false;
    std::thread renderer;
};

// Frame n's slot ends at n * rate / fps frames of music: every slot covers
// the sound up to its frame's time, in reads of at most ReadFrames.
static void render_slot(MusicAhead *ahead, MusicSlot *slot, uint64_t start, uint64_t end)
{
    slot->frames = 0;
    while (start + slot->frames < end && !ahead->player->ended) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(ReadFrames, end - start - slot->frames));
        slot->frames += render_module(ahead->player, ahead->rate, slot->sound.data() + slot->frames * 2, want);
    }
    slot->position = module_position(ahead->player);
    slot->ended = ahead->player->ended;
}

static void render_ahead(MusicAhead *ahead)
{
    leave_interrupts_to_the_drawing_thread();
    uint64_t rendered = 0;
    for (uint64_t frame = 0;; frame++) {
        std::unique_lock<std::mutex> held(ahead->lock);
        // Once the slots are full the renderer sleeps until half are taken,
        // not waking for every frame.
        if (ahead->count == AheadSlots)
            ahead->changed.wait(held, [ahead] { return ahead->count <= AheadSlots / 2 || ahead->stopping; });
        if (ahead->stopping)
            return;
        MusicSlot *slot = &ahead->slots[(ahead->head + ahead->count) % AheadSlots];
        held.unlock();
        // The slot is the renderer's until `count` covers it.
        uint64_t end = frame * static_cast<uint64_t>(ahead->rate) / static_cast<uint64_t>(ahead->fps);
        render_slot(ahead, slot, rendered, end);
        rendered += slot->frames;
        held.lock();
        ahead->count++;
        ahead->changed.notify_all();
        if (slot->ended)
            return;
    }
}

MusicAhead *start_music_ahead(ModulePlayer *player, int rate, int fps)
{
    MusicAhead *ahead = new MusicAhead;
    ahead->player = player;
    ahead->rate = rate;
    ahead->fps = fps;
    // A slot holds one frame's time of sound, rounded up.
    size_t most = static_cast<size_t>(rate / fps) + 1;
    for (MusicSlot &slot : ahead->slots)
        slot.sound.resize(most * 2);
    ahead->renderer = std::thread(render_ahead, ahead);
    return ahead;
}

const MusicSlot *wait_music_slot(MusicAhead *ahead)
{
    std::unique_lock<std::mutex> held(ahead->lock);
    ahead->changed.wait(held, [ahead] { return ahead->count > 0; });
    return &ahead->slots[ahead->head];
}

void release_music_slot(MusicAhead *ahead)
{
    std::lock_guard<std::mutex> held(ahead->lock);
    ahead->head = (ahead->head + 1) % AheadSlots;
    ahead->count--;
    if (ahead->count == AheadSlots / 2)
        ahead->changed.notify_all();
}

void stop_music_ahead(MusicAhead *ahead)
{
    if (!ahead)
        return;
    {
        std::lock_guard<std::mutex> held(ahead->lock);
        ahead->stopping = true;
        ahead->changed.notify_all();
    }
    ahead->renderer.join();
    delete ahead;
}
