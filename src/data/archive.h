// The resource archive "orvanti.dat": entries concatenated, then a masked
// directory of 260-byte records, then the masked entry count.
//
// read_archive_directory() runs once before any load. A damaged archive (a
// directory or entries running past the end of the file, an unterminated
// name) raises StartupError with a line naming the problem and leaves the
// directory empty, so every later lookup fails harmlessly.
//
// Requested names are upper-cased (ASCII letters only, separators kept) by
// open_entry, load_entry and load_image before the lookup; the lookup itself
// is byte-exact and takes the first equal name in directory order.
#pragma once
#include <cstddef>
#include <cstdint>

// "orvanti.dat" in the current folder; the archive tool and tests point it elsewhere.
extern const char *ArchivePath;
constexpr uint8_t ArchiveNameMask = 0x0B;
constexpr uint32_t ArchiveSizeMask = 0x000005A2;
constexpr int ArchiveRecordSize = 260;
constexpr int ArchiveNameSlot = 256;

// The directory as read at start-up.
struct ArchiveDirectory {
    uint8_t count;
    char names[256][ArchiveNameSlot];
    uint32_t sizes[256];
};

extern ArchiveDirectory Directory;

void read_archive_directory();

// Index of the first entry named exactly `name`, or -1. Reports nothing.
int find_entry(const char *name);

// Offset and size of the entry named exactly `name`; an unknown name raises
// StartupError and gives 0.
uint32_t find_entry_offset(const char *name);
uint32_t find_entry_size(const char *name);

// Read-only file descriptor positioned at the entry's first byte, or -1 (with
// StartupError raised) when the archive or the entry is missing. The caller
// closes it and reads at most find_entry_size bytes.
int open_entry(const char *name);

// Allocates a buffer of the entry's size with alloc_cleared and reads the
// whole entry into it. On any failure *buffer is left untouched.
void load_entry(const char *name, uint8_t **buffer);

// The letter as the archive stores names: a to z become A to Z, every other
// byte (separators, non-ASCII) is kept.
inline char upper_case_ascii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Copies `name` into `copy` (256 bytes) with a to z turned into A to Z.
// A name longer than 255 bytes raises StartupError and gives false.
bool upper_case_entry_name(const char *name, char copy[ArchiveNameSlot]);

// Reads exactly size bytes of an open archive at position; false on an error
// or when the file ends first. Shared by the loaders that stream an entry.
bool read_at(int fd, uint64_t position, void *buffer, size_t size);
