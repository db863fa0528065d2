// Files that appear only once complete: the bytes go to a hidden name in the
// same folder, which is renamed over the final name at the end, so that a
// failure or an interruption leaves any old file as it was and never writes
// into an existing inode (a hard or symbolic link keeps its other side).
//
//   OutputFile out;
//   std::string error = open_output(&out, "frames/frame_000001.png");
//   fwrite(..., out.file);
//   error = commit_output(&out);        // "" once the final name holds it
//
// Every function returns "" on success, otherwise one line naming the final
// file and the reason; after a failure nothing of the new file is left.
#pragma once
#include <cstdio>
#include <string>

struct OutputFile {
    std::string path;       // final name
    std::string temp_path;  // the hidden name beside it while it is written
    FILE *file = nullptr;   // open for writing until closed
    std::string problem;    // first write failure noticed by the caller
};

// Creates the hidden file ".NAME.part-PID-N" beside `path` (exclusively,
// mode 0666 less the umask, as the final file would have had).
std::string open_output(OutputFile *out, const std::string &path);
// Notes a failed write with errno's reason, if none was noted yet.
void note_output_error(OutputFile *out);
// Flushes and closes the hidden file, keeping it for place_output.
std::string close_output(OutputFile *out);
// Renames the closed hidden file over the final name. Without `replace`
// an existing final name is refused and kept.
std::string place_output(OutputFile *out, bool replace = true);
// close_output then place_output.
std::string commit_output(OutputFile *out);
// Closes and removes the hidden file; the final name is not touched.
void discard_output(OutputFile *out);

// Creates an empty hidden file beside `path` as open_output does, for
// writers that open it themselves; returns the open descriptor or -1 with
// errno set, the name in `temp_path`.
int create_beside(const std::string &path, std::string *temp_path);

// "a FIFO", "a folder", "a socket", ... for messages refusing a file by kind.
const char *file_kind(unsigned mode);
