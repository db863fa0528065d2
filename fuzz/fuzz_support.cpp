// Shared fuzz harness pieces: the RAM-backed archive and the checks of what
// a loader promises about its results.
#include "fuzz_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "data/archive.h"
#include "data/image.h"
#include "data/startup_error.h"
#include "engine/mesh.h"
#include "scenes/scene_assets.h"

namespace {

std::string Folder;
std::string Path;
int InputFreeDescriptor = -1;

[[noreturn]] void fuzz_abort(const char *what)
{
    fprintf(stderr, "fuzz check failed: %s (failure line: \"%s\")\n", what, StartupFailure);
    abort();
}

int lowest_free_descriptor()
{
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        close(fd);
    return fd;
}

void remove_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
}

// Reads every byte of [bytes, bytes + count); ASan stops at the first one
// outside the allocation.
void touch(const uint8_t *bytes, size_t count)
{
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < count; i++)
        sink = sink ^ bytes[i];
    (void)sink;
}

}  // namespace

void fuzz_setup()
{
    if (!Folder.empty())
        return;
    // /dev/shm keeps the per-input rewrites off the disk.
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                  : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/orvanti-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        perror("orvanti fuzz: cannot create a temporary folder");
        exit(1);
    }
    Folder = pattern;
    Path = Folder + "/orvanti.dat";
    ArchivePath = Path.c_str();
    atexit(remove_folder);
}

void fuzz_begin_input()
{
    // Taken per input: between inputs the fuzzer itself opens descriptors
    // (the symbolizer's pipes), which are not the loaders' doing.
    InputFreeDescriptor = lowest_free_descriptor();
    reset_startup_error();
}

void fuzz_write_raw(const uint8_t *data, size_t size)
{
    FILE *out = fopen(Path.c_str(), "wb");
    if (out == nullptr || (size > 0 && fwrite(data, 1, size, out) != size) || fclose(out) != 0) {
        perror("orvanti fuzz: cannot write the archive");
        exit(1);
    }
}

void fuzz_write_entries(const std::vector<ArchiveFile> &files)
{
    std::string error = write_archive(Path, files);
    if (!error.empty()) {
        fprintf(stderr, "orvanti fuzz: %s\n", error.c_str());
        exit(1);
    }
    read_archive_directory();
    if (StartupError)
        fuzz_abort("the writer's archive did not read back");
}

void fuzz_begin_entry(const char *name, const uint8_t *data, size_t size, size_t after_size)
{
    fuzz_begin_input();
    fuzz_write_entries({{"lead.bin", {1, 2, 3}},
                        {name, std::vector<uint8_t>(data, data + size)},
                        {"after.bin", std::vector<uint8_t>(after_size, 0x55)}});
}

void fuzz_load_image(const char *name)
{
    int error_before = StartupError;
    Image image{};
    load_image(name, &image);
    if (image.pixels == nullptr) {
        if (!StartupError)
            fuzz_abort("a picture failed without raising StartupError");
        if (image.width != 0 || image.height != 0 || image.palette_planes || image.palette_rgb)
            fuzz_abort("a failed picture load changed the record");
        return;
    }
    if (StartupError != error_before)
        fuzz_abort("a picture loaded and raised StartupError");
    if (image.width < 0 || image.height < 0)
        fuzz_abort("negative picture size");
    size_t bytes_per_pixel = image.kind == ImageWords ? 4 : 1;
    touch(image.pixels, static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * bytes_per_pixel);
    if (image.palette_planes)
        touch(image.palette_planes, 768);
    if (image.palette_rgb)
        touch(image.palette_rgb, 768);
    // As a scene would: a picture of the wrong shape is a start-up failure, not a crash.
    require_picture(name, &image, ImageWords, 64, 64);
    free_image(&image);
}

void fuzz_load_mesh(const char *name)
{
    int error_before = StartupError;
    Mesh mesh{};
    load_mesh(name, &mesh);
    if (mesh.objects == nullptr) {
        // An entry of zero objects loads as an empty mesh, so only the count is checked.
        if (mesh.object_count != 0)
            fuzz_abort("a mesh without objects has an object count");
    } else if (StartupError != error_before) {
        fuzz_abort("a mesh loaded and raised StartupError");
    }
    volatile float sink = 0;
    for (int i = 0; i < mesh.object_count; i++) {
        const Object3D &obj = mesh.objects[i];
        if (obj.vertex_count < obj.face_count || obj.face_count < 0)
            fuzz_abort("object counts out of order");
        for (int j = 0; j < obj.face_count; j++) {
            const Face &face = obj.faces[j];
            sink = sink + face.v[0]->x + face.v[1]->y + face.v[2]->z + face.normal->x;
            if (face.normal != obj.vertices + (obj.vertex_count - obj.face_count) + j)
                fuzz_abort("a face's normal record is not its own");
        }
    }
    (void)sink;
    require_mesh(name, &mesh);
    free_mesh(&mesh);
}

void fuzz_finish_input()
{
    if (StartupError && StartupFailure[0] == '\0')
        fuzz_abort("StartupError raised with no failure line");
    if (!StartupError && StartupFailure[0] != '\0')
        fuzz_abort("a failure line without StartupError");
    if (strpbrk(StartupFailure, "\n\r") != nullptr)
        fuzz_abort("the failure line is not a single line");
    // The first descriptor an input opens takes the lowest free one; if it
    // is still held, the lowest free one has risen.
    if (lowest_free_descriptor() != InputFreeDescriptor)
        fuzz_abort("a file descriptor was left open");
}

// Every target sets up the same way; libFuzzer calls this once per process.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_setup();
    return 0;
}
