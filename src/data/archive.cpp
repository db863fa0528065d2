// Resource archive reader: the masked directory at the end of "orvanti.dat"
// and the lookups that every loader goes through.
#include "data/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "data/startup_error.h"

const char *ArchivePath = "orvanti.dat";
ArchiveDirectory Directory;

// Reads exactly `size` bytes at `position`; false on an error or a short file.
bool read_at(int fd, uint64_t position, void *buffer, size_t size)
{
    uint8_t *out = static_cast<uint8_t *>(buffer);
    while (size > 0) {
        ssize_t got = pread(fd, out, size, static_cast<off_t>(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        position += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}

namespace {

constexpr int ArchiveMaxEntries = 255;
constexpr int ArchiveNameBytes = 256;  // the masked name field of a record

// The length of a regular file; false for anything else (a folder opens too).
bool file_length(int fd, uint64_t *length)
{
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return false;
    *length = static_cast<uint64_t>(info.st_size);
    return true;
}

uint32_t offset_of(int index)
{
    // The directory read guarantees the total of all sizes fits in 32 bits.
    uint64_t offset = 0;
    for (int i = 0; i < index; i++)
        offset += Directory.sizes[i];
    return static_cast<uint32_t>(offset);
}

// Fills Directory from the file; on any fault reports it and returns false.
bool read_directory_from(int fd)
{
    uint64_t length = 0;
    if (!file_length(fd, &length)) {
        struct stat info;
        bool fifo = fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
        report_startup_failure("%s: not a readable file%s", ArchivePath, fifo ? " (a FIFO, not a regular file)" : "");
        return false;
    }
    uint8_t masked_count = 0;
    if (length < 1 || !read_at(fd, length - 1, &masked_count, 1)) {
        report_startup_failure("%s: file is empty, no directory", ArchivePath);
        return false;
    }
    int count = masked_count ^ ArchiveNameMask;
    uint64_t directory_bytes = static_cast<uint64_t>(ArchiveRecordSize) * count + 1;
    if (directory_bytes > length) {
        report_startup_failure("%s: directory of %d entries needs %llu bytes but the file has %llu",
                               ArchivePath, count, static_cast<unsigned long long>(directory_bytes),
                               static_cast<unsigned long long>(length));
        return false;
    }
    uint64_t directory_start = length - directory_bytes;

    static uint8_t records[ArchiveMaxEntries * ArchiveRecordSize];
    size_t record_bytes = static_cast<size_t>(ArchiveRecordSize) * count;
    if (!read_at(fd, directory_start, records, record_bytes)) {
        report_startup_failure("%s: cannot read the directory", ArchivePath);
        return false;
    }

    uint64_t entries_end = 0;
    for (int i = 0; i < count; i++) {
        const uint8_t *record = records + static_cast<size_t>(i) * ArchiveRecordSize;
        char *name = Directory.names[i];
        for (int b = 0; b < ArchiveNameBytes; b++)
            name[b] = static_cast<char>(record[b] ^ ArchiveNameMask);
        if (memchr(name, '\0', ArchiveNameBytes) == nullptr) {
            report_startup_failure("%s: entry %d has no end to its name", ArchivePath, i);
            return false;
        }
        uint32_t stored = static_cast<uint32_t>(record[256]) | static_cast<uint32_t>(record[257]) << 8 |
                          static_cast<uint32_t>(record[258]) << 16 | static_cast<uint32_t>(record[259]) << 24;
        Directory.sizes[i] = stored ^ ArchiveSizeMask;
        uint64_t offset = entries_end;
        entries_end += Directory.sizes[i];
        if (entries_end > directory_start) {
            report_startup_failure("%s: entry %s (offset %llu, %u bytes) runs past the directory at %llu",
                                   ArchivePath, name, static_cast<unsigned long long>(offset),
                                   Directory.sizes[i], static_cast<unsigned long long>(directory_start));
            return false;
        }
        if (entries_end > UINT32_MAX) {
            report_startup_failure("%s: entry %s lies beyond the 4 GiB an offset can reach", ArchivePath, name);
            return false;
        }
    }
    Directory.count = static_cast<uint8_t>(count);
    return true;
}

// Opens the archive and finds the entry `copy` (already upper-cased); checks
// that the entry still lies inside the file. Returns the descriptor or -1.
int open_checked(const char *copy, uint32_t *offset, uint32_t *size)
{
    int fd = open(ArchivePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        report_startup_failure("%s: cannot open %s: %s", copy, ArchivePath, strerror(errno));
        return -1;
    }
    int index = find_entry(copy);
    if (index < 0) {
        report_startup_failure("%s: no such entry in %s", copy, ArchivePath);
        close(fd);
        return -1;
    }
    *offset = offset_of(index);
    *size = Directory.sizes[index];
    uint64_t length = 0;
    if (!file_length(fd, &length) || static_cast<uint64_t>(*offset) + *size > length) {
        report_startup_failure("%s: entry (offset %u, %u bytes) runs past the end of %s", copy, *offset, *size,
                               ArchivePath);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool upper_case_entry_name(const char *name, char copy[ArchiveNameSlot])
{
    size_t length = strnlen(name, ArchiveNameSlot);
    if (length == ArchiveNameSlot) {
        report_startup_failure("%.40s...: entry name longer than 255 bytes", name);
        return false;
    }
    for (size_t i = 0; i <= length; i++)
        copy[i] = upper_case_ascii(name[i]);
    return true;
}

// Opened without blocking: a FIFO in the archive's place would otherwise
// wait in open() for a writer that never comes; it is then refused as no
// regular file.
void read_archive_directory()
{
    memset(&Directory, 0, sizeof Directory);
    int fd = open(ArchivePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        report_startup_failure("%s: cannot open: %s", ArchivePath, strerror(errno));
        return;
    }
    if (!read_directory_from(fd))
        memset(&Directory, 0, sizeof Directory);
    close(fd);
}

int find_entry(const char *name)
{
    for (int i = 0; i < Directory.count; i++)
        if (strcmp(Directory.names[i], name) == 0)
            return i;
    return -1;
}

uint32_t find_entry_offset(const char *name)
{
    int index = find_entry(name);
    if (index < 0) {
        report_startup_failure("%s: no such entry in %s", name, ArchivePath);
        return 0;
    }
    return offset_of(index);
}

uint32_t find_entry_size(const char *name)
{
    int index = find_entry(name);
    if (index < 0) {
        report_startup_failure("%s: no such entry in %s", name, ArchivePath);
        return 0;
    }
    return Directory.sizes[index];
}

int open_entry(const char *name)
{
    char copy[ArchiveNameSlot];
    if (!upper_case_entry_name(name, copy))
        return -1;
    uint32_t offset = 0, size = 0;
    int fd = open_checked(copy, &offset, &size);
    if (fd < 0)
        return -1;
    if (lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        report_startup_failure("%s: cannot seek in %s: %s", copy, ArchivePath, strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

void load_entry(const char *name, uint8_t **buffer)
{
    char copy[ArchiveNameSlot];
    if (!upper_case_entry_name(name, copy))
        return;
    uint32_t offset = 0, size = 0;
    int fd = open_checked(copy, &offset, &size);
    if (fd < 0)
        return;
    uint8_t *data = nullptr;
    alloc_cleared(&data, size);
    if (data == nullptr) {
        close(fd);
        return;
    }
    if (!read_at(fd, offset, data, size)) {
        report_startup_failure("%s: cannot read %u bytes at offset %u of %s", copy, size, offset, ArchivePath);
        free(data);
        close(fd);
        return;
    }
    close(fd);
    *buffer = data;
}
