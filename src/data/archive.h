// The resource archive "orvanti.dat": entries concatenated, then a masked
// directory of 260-byte records, then the masked entry count.
#pragma once
#include <cstdint>

// "orvanti.dat" in the current folder; the archive tool and tests point it elsewhere.
extern const char *ArchivePath;
constexpr uint8_t ArchiveNameMask = 0x0B;
constexpr uint32_t ArchiveSizeMask = 0x000005A2;
constexpr int ArchiveRecordSize = 260;

// The directory as read at start-up.
struct ArchiveDirectory {
    uint8_t count;
    char names[256][256];
    uint32_t sizes[256];
};

extern ArchiveDirectory Directory;

void read_archive_directory();
uint32_t find_entry_offset(const char *name);
uint32_t find_entry_size(const char *name);
int open_entry(const char *name);  // file descriptor at the entry's first byte, or -1
void load_entry(const char *name, uint8_t **buffer);
