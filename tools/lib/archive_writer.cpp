// Archive writer; the masks and layout mirror read_archive_directory.
#include "archive_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/archive.h"
#include "output_file.h"

std::string stored_entry_name(std::string name)
{
    for (char &c : name)
        c = upper_case_ascii(c);
    return name;
}

std::string write_archive_streamed(const std::string &path, const std::vector<ArchiveSource> &sources,
                                   OutputFile *unplaced)
{
    if (sources.size() > static_cast<size_t>(ArchiveMaxEntries))
        return path + ": " + std::to_string(sources.size()) + " entries, at most 255 fit";
    uint64_t total = 0;
    for (const ArchiveSource &source : sources) {
        if (source.name.size() > static_cast<size_t>(ArchiveMaxName))
            return path + ": entry name longer than 255 bytes: " + source.name.substr(0, 40) + "...";
        if (source.name.empty())
            return path + ": entry with an empty name";
        if (source.name.find('\0') != std::string::npos)
            return path + ": entry name with a NUL byte: " + source.name.c_str();
        total += source.size;
        if (source.size > ArchiveMaxBytes || total > ArchiveMaxBytes)
            return path + ": entries up to " + source.name + " (" + std::to_string(source.size) + " bytes) make " +
                   std::to_string(total) + " bytes, past the 4294967295 an offset can reach";
    }

    OutputFile out;
    if (!open_output(&out, path).empty())
        return path + ": cannot create the file: " + strerror(errno);
    std::string problem;
    for (const ArchiveSource &source : sources) {
        long before = ftell(out.file);
        problem = source.copy(out.file);
        if (problem.empty() && ftell(out.file) - before != static_cast<long>(source.size))
            problem = source.name + ": the copy wrote " + std::to_string(ftell(out.file) - before) + " bytes, not " +
                      std::to_string(source.size);
        if (!problem.empty()) {
            discard_output(&out);
            return path + ": not written: " + problem;
        }
    }
    errno = 0;
    bool ok = true;
    for (const ArchiveSource &source : sources) {
        uint8_t record[ArchiveRecordSize] = {};
        std::string stored = stored_entry_name(source.name);
        for (size_t i = 0; i < stored.size(); i++)
            record[i] = static_cast<uint8_t>(stored[i]);
        for (int i = 0; i < 256; i++)
            record[i] ^= ArchiveNameMask;
        uint32_t size = static_cast<uint32_t>(source.size) ^ ArchiveSizeMask;
        for (int i = 0; i < 4; i++)
            record[256 + i] = static_cast<uint8_t>(size >> (8 * i));
        ok = ok && fwrite(record, 1, sizeof record, out.file) == sizeof record;
    }
    uint8_t count = static_cast<uint8_t>(sources.size()) ^ ArchiveNameMask;
    ok = ok && fwrite(&count, 1, 1, out.file) == 1;
    if (!ok)
        note_output_error(&out);
    if (!unplaced)
        return commit_output(&out);
    problem = close_output(&out);
    *unplaced = out;
    return problem;
}

std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files)
{
    return write_archive(path, files, nullptr);
}

std::string write_archive(const std::string &path, const std::vector<ArchiveFile> &files, OutputFile *unplaced)
{
    std::vector<ArchiveSource> sources;
    for (const ArchiveFile &file : files)
        sources.push_back({file.name, file.data.size(), [&file](FILE *out) -> std::string {
                               if (file.data.empty() || fwrite(file.data.data(), 1, file.data.size(), out) == file.data.size())
                                   return "";
                               return file.name + ": " + strerror(errno);
                           }});
    return write_archive_streamed(path, sources, unplaced);
}
