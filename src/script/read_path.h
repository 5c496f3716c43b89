// Where a file that a script or a domain reads or writes is found. Relative
// names are written into the output folder (the working folder unless one is
// set), so that several domains working at once in one process each keep
// their files apart. They are read from the output folder (the working
// folder unless one is set), where the domain wrote them, and then from the
// input folder (the folder of the domain file), so a batch run that works in
// a folder of its own still finds the files that lie beside the domain file,
// and no domain reads what another one writes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

// The name to open for writing `name`: unchanged when it is absolute or the
// output folder is empty, otherwise the output folder's file.
std::string resolve_write_path(const std::string& name, const std::string& output_folder);

// The name to open for reading `name`: unchanged when it is absolute; the
// output folder's file (with no output folder set: `name` itself, in the
// working folder) when it exists or the input folder's does not, so that
// messages about a missing file name it as the script did; otherwise the
// input folder's file.
std::string resolve_read_path(const std::string& name, const std::string& input_folder,
                              const std::string& output_folder);

// The file resolve_read_path picks, with what stat(2) said of it when it
// exists: a reader that keeps what it read by the file's status (the rule
// tables) needs no second look at the file.
struct TReadFile {
  std::string path;
  bool exists = false;
  struct stat status {};
};
TReadFile locate_read_file(const std::string& name, const std::string& input_folder,
                           const std::string& output_folder);

// Files read whole (domain data files, rule tables, imported files) are at
// most this long, so that a damaged or wrong file cannot take all memory.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t{64} << 20;

// Whether `path` names a file that may be opened for reading: a regular
// file (a folder, a device or a pipe may block the open or never end) of at
// most `max_bytes`. Readers treat any other name as a file that cannot be
// opened.
bool is_input_file(const std::string& path, std::uintmax_t max_bytes = kMaxInputFileBytes);
