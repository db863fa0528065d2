// libopenmpt behind the module player: load, render, position, free.
#include "platform/module_player.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <libopenmpt/libopenmpt.h>

// Modules are small; anything past this is not one of ours.
constexpr long MaxModuleBytes = 64L * 1024 * 1024;

static bool read_whole_file(const char *path, std::vector<uint8_t> *bytes, char *error, size_t error_size)
{
    // Opened without blocking, so that a FIFO is refused below rather than
    // waited on in open() for a writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FILE *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!file) {
        snprintf(error, error_size, "%s", strerror(errno));
        if (fd >= 0)
            close(fd);
        return false;
    }
    // A folder opens like a file here but has no length to read.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        const char *kind = S_ISFIFO(info.st_mode) ? "a FIFO, not a regular file" : "not a regular file";
        snprintf(error, error_size, "%s", S_ISDIR(info.st_mode) ? strerror(EISDIR) : kind);
        fclose(file);
        return false;
    }
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long length = ok ? ftell(file) : -1;
    ok = ok && length >= 0 && length <= MaxModuleBytes && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(length));
        ok = fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    fclose(file);
    if (!ok)
        snprintf(error, error_size, "%s", length > MaxModuleBytes ? "file too large" : "read failed");
    return ok;
}

int load_module_file(const char *path, ModulePlayer *player, char *error, size_t error_size)
{
    free_module(player);
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, &bytes, error, error_size))
        return 1;
    if (bytes.empty()) {
        snprintf(error, error_size, "empty file");
        return 1;
    }
    int code = 0;
    const char *message = nullptr;
    player->module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                        nullptr, openmpt_error_func_ignore, nullptr, &code,
                                                        &message, nullptr);
    if (!player->module) {
        snprintf(error, error_size, "%s", message && message[0] ? message : "not a module libopenmpt can play");
        openmpt_free_string(message);
        return 1;
    }
    openmpt_free_string(message);
    // Play once through, no looping, and stop dead at the end rather than
    // rendering a fade-out tail.
    openmpt_module_set_repeat_count(player->module, 0);
    openmpt_module_ctl_set_text(player->module, "play.at_end", "stop");
    player->ended = false;
    player->last_position = 0;
    return 0;
}

static uint32_t current_position(const ModulePlayer *player);

size_t render_module(ModulePlayer *player, int rate, int16_t *stereo, size_t frames)
{
    if (!player->module || player->ended)
        return 0;
    player->last_position = current_position(player);
    size_t rendered = openmpt_module_read_interleaved_stereo(player->module, rate, frames, stereo);
    // Past the end the library reports order 0, row 0 again.
    if (rendered < frames)
        player->ended = true;
    return rendered;
}

void rewind_module(ModulePlayer *player)
{
    if (player->module) {
        openmpt_module_set_position_order_row(player->module, 0, 0);
        player->ended = false;
        player->last_position = 0;
    }
}

uint32_t module_position(const ModulePlayer *player)
{
    if (!player->module)
        return 0;
    return player->ended ? player->last_position : current_position(player);
}

static uint32_t current_position(const ModulePlayer *player)
{
    int order = openmpt_module_get_current_order(player->module);
    int row = openmpt_module_get_current_row(player->module);
    if (order < 0)
        order = 0;
    if (row < 0)
        row = 0;
    return (static_cast<uint32_t>(order) & 0xFFFF) | ((static_cast<uint32_t>(row) & 0xFFFF) << 16);
}

void free_module(ModulePlayer *player)
{
    if (player->module) {
        openmpt_module_destroy(player->module);
        player->module = nullptr;
    }
}
