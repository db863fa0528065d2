// Hidden files beside the final name, renamed into place when complete.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

std::atomic<unsigned> Serial{0};

std::string reason(int error)
{
    return error ? strerror(error) : "write failed";
}

}  // namespace

int create_beside(const std::string &path, std::string *temp_path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Long names are cut so that the hidden one still fits a name's 255 bytes.
    constexpr size_t KeptName = 200;
    if (name.size() > KeptName)
        name.resize(KeptName);
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string candidate = folder + "." + name + ".part-" + std::to_string(getpid()) + "-" +
                                std::to_string(Serial.fetch_add(1));
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *temp_path = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

std::string open_output(OutputFile *out, const std::string &path)
{
    *out = {};
    out->path = path;
    if (path.empty())
        return "(no name): an output needs a file name";
    if (path.back() == '/')
        return path + ": names a folder, not a file";
    int fd = create_beside(path, &out->temp_path);
    if (fd < 0)
        return path + ": " + strerror(errno);
    out->file = fdopen(fd, "wb");
    if (!out->file) {
        int error = errno;
        close(fd);
        discard_output(out);
        return path + ": " + strerror(error);
    }
    return "";
}

void note_output_error(OutputFile *out)
{
    if (out->problem.empty())
        out->problem = reason(errno);
}

std::string close_output(OutputFile *out)
{
    if (out->file) {
        errno = 0;
        if (fflush(out->file) != 0 || ferror(out->file))
            note_output_error(out);
        errno = 0;
        if (fclose(out->file) != 0)
            note_output_error(out);
        out->file = nullptr;
    }
    if (out->temp_path.empty() && out->problem.empty())
        out->problem = "not open";
    if (out->problem.empty())
        return "";
    std::string message = out->path + ": " + out->problem;
    discard_output(out);
    return message;
}

std::string place_output(OutputFile *out, bool replace)
{
    if (out->temp_path.empty())
        return out->path + ": not written";
    int result = renameat2(AT_FDCWD, out->temp_path.c_str(), AT_FDCWD, out->path.c_str(), replace ? 0 : RENAME_NOREPLACE);
    if (result != 0 && !replace && errno == EINVAL) {
        // A file system without the no-replace rename: link() never replaces either.
        result = link(out->temp_path.c_str(), out->path.c_str());
        if (result == 0)
            unlink(out->temp_path.c_str());
    }
    if (result != 0) {
        int error = errno;
        discard_output(out);
        if (error == EEXIST)
            return out->path + ": exists; not replaced";
        return out->path + ": cannot put the finished file in place: " + strerror(error);
    }
    out->temp_path.clear();
    return "";
}

std::string commit_output(OutputFile *out)
{
    std::string problem = close_output(out);
    return problem.empty() ? place_output(out) : problem;
}

void discard_output(OutputFile *out)
{
    if (out->file)
        fclose(out->file);
    out->file = nullptr;
    if (!out->temp_path.empty())
        unlink(out->temp_path.c_str());
    out->temp_path.clear();
}

const char *file_kind(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG: return "a regular file";
    case S_IFDIR: return "a folder";
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    case S_IFLNK: return "a symbolic link";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    default: return "not a regular file";
    }
}
