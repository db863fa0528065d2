// orvanti-pack: builds, lists and unpacks resource archives with the same
// writer and reader code the show uses.
#include <dirent.h>
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
#include "output_file.h"
#include "data/archive.h"
#include "data/startup_error.h"

namespace fs = std::filesystem;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr size_t CopyChunk = 1 << 16;

int usage(const std::string &problem = "")
{
    if (!problem.empty())
        fprintf(stderr, "orvanti-pack: %s\n", problem.c_str());
    fprintf(stderr,
            "usage: orvanti-pack create [--skip-unpackable] ARCHIVE DIR\n"
            "           pack every regular file under DIR; symbolic links, FIFOs, sockets, devices\n"
            "           and unreadable files or folders fail the run unless --skip-unpackable\n"
            "       orvanti-pack list ARCHIVE\n"
            "           show index, name, offset and size of each entry\n"
            "       orvanti-pack extract [--force] ARCHIVE DIR\n"
            "           unpack every entry into DIR; --force replaces files that exist\n");
    return ExitUsage;
}

// A name as it can be shown on a terminal: bytes outside printable ASCII
// as \xNN, so that no escape sequence or newline reaches the screen.
std::string printable(const std::string &name)
{
    std::string shown;
    for (unsigned char c : name) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return shown;
}

bool has_control_byte(const std::string &name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        unsigned char byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

int error(const std::string &message)
{
    fprintf(stderr, "orvanti-pack: %s\n", message.c_str());
    return ExitFailure;
}

// Our helpers give "" on success, else the line to print.

// The tool accepts only the layout the writer makes: the entries fill the
// file exactly up to the directory. The show's reader only needs each entry
// inside the file, so a cut or padded archive would pass it as a shorter or
// even an empty one; here that is damage, reported with the numbers alone
// (names read from a damaged directory are noise).
std::string check_layout(const char *archive)
{
    // Without blocking: a FIFO would wait in open() for a writer.
    int fd = open(archive, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string(archive) + ": cannot open: " + strerror(errno);
    struct stat info {};
    std::string problem;
    uint8_t masked_count = 0;
    if (fstat(fd, &info) != 0)
        problem = std::string(": cannot read: ") + strerror(errno);
    else if (!S_ISREG(info.st_mode))
        problem = std::string(": ") + file_kind(info.st_mode) + ", not a regular file";
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

struct Found {
    std::string name;  // as stored
    std::string path;
    uint64_t size;
};

// What the walk met that it does not pack, each with the reason.
struct Unpackable {
    std::string path, reason;
};

struct Walk {
    dev_t archive_device;
    ino_t archive_inode;
    bool archive_exists;
    std::vector<Found> found;
    std::vector<Unpackable> unpackable;
};

// Every regular file below `folder`, in name order. Symbolic links are never
// followed, so that what is packed is what lies inside the folder; they,
// FIFOs, sockets, devices and whatever cannot be read are listed instead.
void walk_folder(const std::string &folder, const std::string &relative, Walk *walk)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        walk->unpackable.push_back({folder, std::string("cannot read the folder: ") + strerror(errno)});
        return;
    }
    std::vector<std::string> names;
    errno = 0;
    while (dirent *item = readdir(dir)) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names.push_back(item->d_name);
        errno = 0;
    }
    if (errno != 0)
        walk->unpackable.push_back({folder, std::string("cannot read the whole folder: ") + strerror(errno)});
    closedir(dir);
    std::sort(names.begin(), names.end());

    for (const std::string &name : names) {
        std::string path = folder + "/" + name;
        std::string inside = relative.empty() ? name : relative + "\\" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) {
            walk->unpackable.push_back({path, std::string("cannot read: ") + strerror(errno)});
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            walk_folder(path, inside, walk);
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            walk->unpackable.push_back({path, std::string(file_kind(info.st_mode)) +
                                                  (S_ISLNK(info.st_mode) ? ", never followed"
                                                                         : ", only regular files are packed")});
            continue;
        }
        // An old copy of the archive inside DIR is not packed into itself.
        if (walk->archive_exists && info.st_dev == walk->archive_device && info.st_ino == walk->archive_inode)
            continue;
        if (name.find('\\') != std::string::npos) {
            walk->unpackable.push_back({path, "a backslash in a file name cannot be stored"});
            continue;
        }
        if (has_control_byte(inside)) {
            walk->unpackable.push_back({path, "a control byte in its name, which extract refuses"});
            continue;
        }
        int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            walk->unpackable.push_back({path, std::string("cannot read: ") + strerror(errno)});
            continue;
        }
        close(fd);
        walk->found.push_back({stored_entry_name(inside), path, static_cast<uint64_t>(info.st_size)});
    }
}

// Streams one file into the archive, checking that it is still the size it
// had when the folder was walked.
std::string copy_file_into(const Found &file, FILE *out)
{
    int fd = open(file.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return printable(file.path) + ": cannot read: " + strerror(errno);
    struct stat info;
    std::string problem;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) != file.size)
        problem = printable(file.path) + ": changed while it was packed";
    std::vector<uint8_t> chunk(CopyChunk);
    uint64_t done = 0;
    while (problem.empty() && done < file.size) {
        ssize_t got = read(fd, chunk.data(), static_cast<size_t>(std::min<uint64_t>(chunk.size(), file.size - done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            problem = printable(file.path) + (got < 0 ? ": read failed: " + std::string(strerror(errno))
                                                      : ": changed while it was packed (shorter)");
        else if (fwrite(chunk.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got))
            problem = std::string("write failed: ") + strerror(errno);
        else
            done += static_cast<uint64_t>(got);
    }
    close(fd);
    return problem;
}

int create_archive(const char *archive, const char *folder, bool skip_unpackable)
{
    struct stat info;
    if (stat(folder, &info) != 0)
        return error(printable(folder) + ": not a directory: " + strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return error(printable(folder) + ": not a directory");
    Walk walk = {};
    if (lstat(archive, &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return error(printable(archive) + ": " + file_kind(info.st_mode) + ", not replaced by an archive");
        walk.archive_exists = true;
        walk.archive_device = info.st_dev;
        walk.archive_inode = info.st_ino;
    }
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    walk_folder(root, "", &walk);
    for (const Unpackable &item : walk.unpackable)
        fprintf(stderr, "orvanti-pack: %s: %s%s\n", printable(item.path).c_str(), item.reason.c_str(),
                skip_unpackable ? "; left out" : "");
    if (!walk.unpackable.empty() && !skip_unpackable)
        return error(printable(archive) + ": not written: " + std::to_string(walk.unpackable.size()) +
                     " file(s) or folder(s) above cannot be packed (--skip-unpackable leaves them out)");

    std::vector<Found> &found = walk.found;
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.name < b.name; });
    if (found.size() > static_cast<size_t>(ArchiveMaxEntries))
        return error(printable(folder) + ": " + std::to_string(found.size()) + " files, an archive holds at most " +
                     std::to_string(ArchiveMaxEntries));
    uint64_t total = 0;
    std::vector<ArchiveSource> sources;
    for (size_t i = 0; i < found.size(); i++) {
        if (found[i].name.size() > static_cast<size_t>(ArchiveMaxName))
            return error(printable(found[i].path) + ": entry name longer than " + std::to_string(ArchiveMaxName) +
                         " bytes");
        if (i > 0 && found[i].name == found[i - 1].name)
            return error(printable(found[i - 1].path) + " and " + printable(found[i].path) +
                         " would both be entry " + printable(found[i].name));
        // Sizes from the walk, so a file too large is refused before a byte is read.
        total += found[i].size;
        if (found[i].size > ArchiveMaxBytes)
            return error(printable(found[i].path) + ": " + std::to_string(found[i].size) +
                         " bytes; an entry holds at most " + std::to_string(ArchiveMaxBytes));
        if (total > ArchiveMaxBytes)
            return error(printable(folder) + ": the files up to " + printable(found[i].path) + " make " +
                         std::to_string(total) + " bytes; an archive's entries hold at most " +
                         std::to_string(ArchiveMaxBytes));
        const Found &file = found[i];
        sources.push_back({file.name, file.size, [&file](FILE *out) { return copy_file_into(file, out); }});
    }

    std::string problem = write_archive_streamed(archive, sources);
    if (!problem.empty())
        return error(printable(problem));
    printf("orvanti-pack: wrote %zu entries (%llu bytes) to %s\n", sources.size(),
           static_cast<unsigned long long>(total), printable(archive).c_str());
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
        printf("%d\t%s\t%llu\t%u\n", i, printable(Directory.names[i]).c_str(), static_cast<unsigned long long>(offset),
               Directory.sizes[i]);
    }
    return 0;
}

// Why a stored name may not be written below the target folder, or empty.
std::string unsafe_name_reason(const std::string &name, std::vector<std::string> &parts)
{
    if (name.empty())
        return "empty name";
    if (has_control_byte(name))
        return "a control byte in the name";
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
                return "refused: passes through the symbolic link " + printable(at.string());
            if (!S_ISDIR(info.st_mode))
                return "not written: " + printable(at.string()) + " is not a folder";
        } else if (mkdir(at.c_str(), 0777) != 0)
            return "not written: " + printable(at.string()) + ": cannot create the folder: " + strerror(errno);
    }
    file = at / parts.back();
    return "";
}

// Writes the entry to a new hidden file beside `file` and renames it into
// place, so that an existing file is never written into (a hard link's other
// names keep their bytes; a symbolic link is replaced, not followed), and
// without `force` an existing name is kept.
std::string copy_entry_to(const std::string &name, const fs::path &file, bool force)
{
    struct stat info;
    if (lstat(file.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return "not written: " + printable(file.string()) + " is a folder";
        if (!force)
            return "not written: " + printable(file.string()) + " exists (--force replaces it)";
    }
    uint32_t offset = find_entry_offset(name.c_str());
    uint32_t size = find_entry_size(name.c_str());
    int in = open(ArchivePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return std::string("not written: cannot open ") + printable(ArchivePath) + ": " + strerror(errno);
    OutputFile out;
    std::string problem = open_output(&out, file.string());
    if (!problem.empty()) {
        close(in);
        return "not written: " + printable(problem);
    }
    std::vector<uint8_t> chunk(CopyChunk);
    uint64_t done = 0;
    while (out.problem.empty() && done < size) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        ssize_t got = pread(in, chunk.data(), want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            out.problem = std::string("reading the archive failed: ") +
                          (got < 0 ? strerror(errno) : "it ends before the entry does");
        else if (fwrite(chunk.data(), 1, static_cast<size_t>(got), out.file) != static_cast<size_t>(got))
            note_output_error(&out);
        else
            done += static_cast<uint64_t>(got);
    }
    close(in);
    problem = close_output(&out);
    if (problem.empty())
        problem = place_output(&out, force);
    return problem.empty() ? "" : "not written: " + printable(problem);
}

int extract_archive(const char *archive, const char *folder, bool force)
{
    std::string problem = open_archive(archive);
    if (!problem.empty())
        return error(printable(problem));
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure)
        return error(printable(folder) + ": cannot create the folder: " + failure.message());
    if (!fs::is_directory(folder, failure))
        return error(printable(folder) + ": not a folder");

    int status = 0;
    int written = 0;
    for (int i = 0; i < Directory.count; i++) {
        std::string name = Directory.names[i];
        std::string entry = printable(archive) + ": entry " + std::to_string(i) + " \"" + printable(name) + "\"";
        std::vector<std::string> parts;
        std::string reason = unsafe_name_reason(name, parts);
        if (!reason.empty()) {
            status = error(entry + " refused: " + reason);
            continue;
        }
        if (find_entry(name.c_str()) != i) {
            fprintf(stderr, "orvanti-pack: %s repeats an earlier name and is never read; skipped\n", entry.c_str());
            continue;
        }
        fs::path file;
        problem = make_parent_folders(folder, parts, file);
        if (problem.empty())
            problem = copy_entry_to(name, file, force);
        if (!problem.empty()) {
            status = error(entry + " " + problem);
            continue;
        }
        written++;
    }
    printf("orvanti-pack: extracted %d of %d entries to %s\n", written, Directory.count, printable(folder).c_str());
    return status;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command != "create" && command != "list" && command != "extract")
        return usage(command + ": unknown command");
    const char *flag = command == "create" ? "--skip-unpackable" : command == "extract" ? "--force" : nullptr;
    bool flagged = false;
    std::vector<const char *> operands;
    for (int i = 2; i < argc; i++) {
        std::string argument = argv[i];
        if (flag && argument == flag) {
            if (flagged)
                return usage(argument + ": given twice");
            flagged = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage(printable(argument) + ": unknown option for " + command);
        } else if (argument.empty()) {
            return usage(command + ": an empty name");
        } else {
            operands.push_back(argv[i]);
        }
    }
    size_t wanted = command == "list" ? 1 : 2;
    if (operands.size() != wanted)
        return usage(command + (wanted == 1 ? " takes ARCHIVE" : " takes ARCHIVE and DIR"));
    if (command == "create")
        return create_archive(operands[0], operands[1], flagged);
    if (command == "list")
        return list_archive(operands[0]);
    return extract_archive(operands[0], operands[1], flagged);
}
