// Archive writer; the masks and layout mirror read_archive_directory.
#include "archive_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/archive.h"

std::string stored_entry_name(std::string name)
{
    for (char &c : name)
        c = upper_case_ascii(c);
    return name;
}

std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files)
{
    if (files.size() > static_cast<size_t>(ArchiveMaxEntries))
        return path + ": " + std::to_string(files.size()) + " entries, at most 255 fit";
    uint64_t total = 0;
    for (const ArchiveFile &file : files) {
        if (file.name.size() > static_cast<size_t>(ArchiveMaxName))
            return path + ": entry name longer than 255 bytes: " + file.name.substr(0, 40) + "...";
        if (file.name.empty())
            return path + ": entry with an empty name";
        if (file.name.find('\0') != std::string::npos)
            return path + ": entry name with a NUL byte: " + file.name.c_str();
        // Offsets are 32-bit sums of the sizes before an entry.
        total += file.data.size();
        if (total > 0xFFFFFFFFu)
            return path + ": entries up to " + file.name + " pass the 4 GiB an offset can reach";
    }

    FILE *out = fopen(path.c_str(), "wb");
    if (!out)
        return path + ": cannot create the file: " + strerror(errno);
    bool ok = true;
    for (const ArchiveFile &file : files)
        if (!file.data.empty())
            ok = ok && fwrite(file.data.data(), 1, file.data.size(), out) == file.data.size();

    for (const ArchiveFile &file : files) {
        uint8_t record[ArchiveRecordSize] = {};
        std::string stored = stored_entry_name(file.name);
        for (size_t i = 0; i < stored.size(); i++)
            record[i] = static_cast<uint8_t>(stored[i]);
        for (int i = 0; i < 256; i++)
            record[i] ^= ArchiveNameMask;
        uint32_t size = static_cast<uint32_t>(file.data.size()) ^ ArchiveSizeMask;
        for (int i = 0; i < 4; i++)
            record[256 + i] = static_cast<uint8_t>(size >> (8 * i));
        ok = ok && fwrite(record, 1, sizeof record, out) == sizeof record;
    }
    uint8_t count = static_cast<uint8_t>(files.size()) ^ ArchiveNameMask;
    ok = ok && fwrite(&count, 1, 1, out) == 1;
    ok = (fclose(out) == 0) && ok;
    if (!ok) {
        remove(path.c_str());
        return path + ": write failed (disk full?)";
    }
    return "";
}
