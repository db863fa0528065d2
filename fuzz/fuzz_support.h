// What every fuzz target shares: a private archive in RAM-backed storage that
// each input rewrites, checks of the loaders' promises, and a descriptor-leak
// check (a leaked descriptor per input would exhaust the process long before
// a sanitizer noticed anything).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive_writer.h"

struct Image;
struct Mesh;

// Creates the folder once per process and points ArchivePath at its archive.
// The support library's LLVMFuzzerInitialize calls it.
void fuzz_setup();

// Starts an input: clears the failure flag (reset_startup_error) and notes
// the lowest free descriptor.
void fuzz_begin_input();

// Replaces the archive file with `size` bytes taken as given.
void fuzz_write_raw(const uint8_t *data, size_t size);

// Replaces the archive file with one holding `files`, written by the
// project's own writer, and reads its directory.
void fuzz_write_entries(const std::vector<ArchiveFile> &files);

// Starts an input whose bytes are the one entry `name`, placed between two
// other entries (the one after it `after_size` bytes long) so that reading
// past its end would be noticed.
void fuzz_begin_entry(const char *name, const uint8_t *data, size_t size, size_t after_size);

// Decodes `name` with load_image, touches every byte the record claims and
// checks that success and failure are reported as promised; frees it all.
void fuzz_load_image(const char *name);

// The same for load_mesh: every face's vertex and normal pointers are followed.
void fuzz_load_mesh(const char *name);

// Aborts when a failure was raised without a single-line reason, or when the
// input left a descriptor open.
void fuzz_finish_input();
