// orvanti-pack: builds, lists and unpacks resource archives with the same
// writer and reader code the show uses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "data/archive.h"
#include "data/startup_error.h"

namespace fs = std::filesystem;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr size_t CopyChunk = 1 << 16;

int usage()
{
    fprintf(stderr,
            "usage: orvanti-pack create ARCHIVE DIR   pack every file under DIR\n"
            "       orvanti-pack list ARCHIVE         show index, name, offset and size of each entry\n"
            "       orvanti-pack extract ARCHIVE DIR  unpack every entry into DIR\n");
    return ExitUsage;
}

int error(const std::string &message)
{
    fprintf(stderr, "orvanti-pack: %s\n", message.c_str());
    return ExitFailure;
}

// Our helpers give "" on success, else the line to print.
std::string read_whole_file(const fs::path &path, std::vector<uint8_t> &bytes)
{
    FILE *in = fopen(path.c_str(), "rb");
    if (!in)
        return path.string() + ": cannot read: " + strerror(errno);
    bytes.clear();
    uint8_t chunk[CopyChunk];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool ok = !ferror(in);
    fclose(in);
    return ok ? "" : path.string() + ": read failed";
}

// The tool accepts only the layout the writer makes: the entries fill the
// file exactly up to the directory. The show's reader only needs each entry
// inside the file, so a cut or padded archive would pass it as a shorter or
// even an empty one; here that is damage, reported with the numbers alone
// (names read from a damaged directory are noise).
std::string check_layout(const char *archive)
{
    int fd = open(archive, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string(archive) + ": cannot open: " + strerror(errno);
    struct stat info {};
    std::string problem;
    uint8_t masked_count = 0;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        problem = ": not a readable file";
    else if (info.st_size < 1 || !read_at(fd, static_cast<uint64_t>(info.st_size) - 1, &masked_count, 1))
        problem = ": file is empty, no directory";
    uint64_t length = static_cast<uint64_t>(info.st_size);
    int count = masked_count ^ ArchiveNameMask;
    uint64_t directory_bytes = static_cast<uint64_t>(ArchiveRecordSize) * count + 1;
    if (problem.empty() && directory_bytes > length)
        problem = ": damaged: a directory of " + std::to_string(count) + " entries needs " +
                  std::to_string(directory_bytes) + " bytes but the file has " + std::to_string(length);
    std::vector<uint8_t> records(static_cast<size_t>(ArchiveRecordSize) * count);
    if (problem.empty() && !read_at(fd, length - directory_bytes, records.data(), records.size()))
        problem = ": cannot read the directory";
    close(fd);
    if (!problem.empty())
        return archive + problem;

    uint64_t entries_end = 0;
    for (int i = 0; i < count; i++) {
        const uint8_t *size = records.data() + static_cast<size_t>(i) * ArchiveRecordSize + ArchiveNameSlot;
        uint32_t stored = static_cast<uint32_t>(size[0]) | static_cast<uint32_t>(size[1]) << 8 |
                          static_cast<uint32_t>(size[2]) << 16 | static_cast<uint32_t>(size[3]) << 24;
        entries_end += stored ^ ArchiveSizeMask;
    }
    uint64_t directory_start = length - directory_bytes;
    if (entries_end != directory_start)
        return std::string(archive) + ": damaged: its " + std::to_string(count) + " entries end at byte " +
               std::to_string(entries_end) + " but the directory begins at byte " + std::to_string(directory_start) +
               " (file of " + std::to_string(length) + " bytes)";
    return "";
}

// Checks the layout, then points the shared reader at `archive` and reads
// its directory.
std::string open_archive(const char *archive)
{
    std::string problem = check_layout(archive);
    if (!problem.empty())
        return problem;
    ArchivePath = archive;
    reset_startup_error();
    read_archive_directory();
    return StartupError ? StartupFailure : "";
}

int create_archive(const char *archive, const char *folder)
{
    std::error_code failure;
    if (!fs::is_directory(folder, failure))
        return error(std::string(folder) + ": not a directory");

    struct Found {
        std::string name;
        fs::path path;
    };
    std::vector<Found> found;
    fs::recursive_directory_iterator walk(folder, failure), end;
    if (failure)
        return error(std::string(folder) + ": " + failure.message());
    for (; walk != end; walk.increment(failure)) {
        if (failure)
            return error(std::string(folder) + ": " + failure.message());
        std::error_code ignored;
        if (!walk->is_regular_file(ignored))
            continue;
        // An old copy of the archive inside DIR is not packed into itself.
        if (fs::equivalent(walk->path(), archive, ignored))
            continue;
        std::string relative = walk->path().lexically_relative(folder).generic_string();
        if (relative.find('\\') != std::string::npos)
            return error(walk->path().string() + ": a backslash in a file name cannot be stored");
        std::replace(relative.begin(), relative.end(), '/', '\\');
        found.push_back({stored_entry_name(relative), walk->path()});
    }

    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.name < b.name; });
    if (found.size() > static_cast<size_t>(ArchiveMaxEntries))
        return error(std::string(folder) + ": " + std::to_string(found.size()) + " files, an archive holds at most " +
                     std::to_string(ArchiveMaxEntries));
    std::vector<ArchiveFile> files;
    for (size_t i = 0; i < found.size(); i++) {
        if (found[i].name.size() > static_cast<size_t>(ArchiveMaxName))
            return error(found[i].path.string() + ": entry name longer than " + std::to_string(ArchiveMaxName) +
                         " bytes");
        if (i > 0 && found[i].name == found[i - 1].name)
            return error(found[i - 1].path.string() + " and " + found[i].path.string() + " would both be entry " +
                         found[i].name);
        ArchiveFile file{found[i].name, {}};
        std::string problem = read_whole_file(found[i].path, file.data);
        if (!problem.empty())
            return error(problem);
        files.push_back(std::move(file));
    }

    std::string problem = write_archive(archive, files);
    if (!problem.empty())
        return error(problem);
    printf("orvanti-pack: wrote %zu entries to %s\n", files.size(), archive);
    return 0;
}

int list_archive(const char *archive)
{
    std::string problem = open_archive(archive);
    if (!problem.empty())
        return error(problem);
    for (int i = 0; i < Directory.count; i++) {
        // Offsets by index: with duplicate names the lookup would find the first.
        uint64_t offset = 0;
        for (int j = 0; j < i; j++)
            offset += Directory.sizes[j];
        printf("%d\t%s\t%llu\t%u\n", i, Directory.names[i], static_cast<unsigned long long>(offset),
               Directory.sizes[i]);
    }
    return 0;
}

// Why a stored name may not be written below the target folder, or empty.
std::string unsafe_name_reason(const std::string &name, std::vector<std::string> &parts)
{
    if (name.empty())
        return "empty name";
    if (name[0] == '\\' || name[0] == '/')
        return "absolute path";
    if (name.size() >= 2 && name[1] == ':' && isalpha(static_cast<unsigned char>(name[0])))
        return "drive letter";
    parts.clear();
    std::string part;
    for (size_t i = 0; i <= name.size(); i++) {
        if (i == name.size() || name[i] == '\\' || name[i] == '/') {
            if (part == "..")
                return "climbs out with ..";
            if (part.empty() || part == ".")
                return "empty or '.' path component";
            parts.push_back(part);
            part.clear();
        } else {
            part += name[i];
        }
    }
    return "";
}

// Creates the folders leading to the entry's file, refusing to pass through
// symbolic links that could lead outside the target folder.
std::string make_parent_folders(const fs::path &root, const std::vector<std::string> &parts, fs::path &file)
{
    fs::path at = root;
    for (size_t i = 0; i + 1 < parts.size(); i++) {
        at /= parts[i];
        struct stat info;
        if (lstat(at.c_str(), &info) == 0) {
            if (S_ISLNK(info.st_mode))
                return "refused: passes through the symbolic link " + at.string();
            if (!S_ISDIR(info.st_mode))
                return "not written: " + at.string() + " is not a folder";
        } else if (mkdir(at.c_str(), 0777) != 0)
            return "not written: " + at.string() + ": cannot create the folder: " + strerror(errno);
    }
    file = at / parts.back();
    return "";
}

std::string copy_entry_to(const std::string &name, const fs::path &file)
{
    uint32_t offset = find_entry_offset(name.c_str());
    uint32_t size = find_entry_size(name.c_str());
    int in = open(ArchivePath, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return std::string("not written: cannot open ") + ArchivePath + ": " + strerror(errno);
    }
    int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) {
        std::string problem = "not written: " + file.string() + ": cannot create: " + strerror(errno);
        close(in);
        return problem;
    }
    std::vector<uint8_t> chunk(CopyChunk);
    uint64_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        ssize_t got = pread(in, chunk.data(), want, static_cast<off_t>(offset + done));
        ok = got > 0 && write(out, chunk.data(), static_cast<size_t>(got)) == got;
        done += ok ? static_cast<uint64_t>(got) : 0;
    }
    ok = (close(out) == 0) && ok;
    close(in);
    if (ok)
        return "";
    unlink(file.c_str());
    return "not written: " + file.string() + ": copying the entry failed";
}

int extract_archive(const char *archive, const char *folder)
{
    std::string problem = open_archive(archive);
    if (!problem.empty())
        return error(problem);
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure || !fs::is_directory(folder))
        return error(std::string(folder) + ": cannot create the folder");

    int status = 0;
    int written = 0;
    for (int i = 0; i < Directory.count; i++) {
        std::string name = Directory.names[i];
        std::vector<std::string> parts;
        std::string reason = unsafe_name_reason(name, parts);
        if (!reason.empty()) {
            status = error(std::string(archive) + ": entry " + std::to_string(i) + " \"" + name + "\" refused: " +
                           reason);
            continue;
        }
        if (find_entry(name.c_str()) != i) {
            fprintf(stderr, "orvanti-pack: %s: entry %d \"%s\" repeats an earlier name and is never read; skipped\n",
                    archive, i, name.c_str());
            continue;
        }
        fs::path file;
        problem = make_parent_folders(folder, parts, file);
        if (problem.empty())
            problem = copy_entry_to(name, file);
        if (!problem.empty()) {
            status = error(std::string(archive) + ": entry " + std::to_string(i) + " \"" + name + "\" " + problem);
            continue;
        }
        written++;
    }
    printf("orvanti-pack: extracted %d of %d entries to %s\n", written, Directory.count, folder);
    return status;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "create") == 0)
        return create_archive(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "list") == 0)
        return list_archive(argv[2]);
    if (argc == 4 && strcmp(argv[1], "extract") == 0)
        return extract_archive(argv[2], argv[3]);
    return usage();
}
