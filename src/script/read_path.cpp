// Where a file that a script or a domain reads or writes is found.
#include "read_path.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

std::string resolve_write_path(const std::string& name, const std::string& output_folder) {
  if (output_folder.empty() || name.empty()) return name;
  const std::filesystem::path path(name);
  if (path.is_absolute()) return name;
  return (std::filesystem::path(output_folder) / path).string();
}

std::string resolve_read_path(const std::string& name, const std::string& input_folder,
                              const std::string& output_folder) {
  return locate_read_file(name, input_folder, output_folder).path;
}

namespace {

bool found(TReadFile& file) {
  file.exists = ::stat(file.path.c_str(), &file.status) == 0;
  return file.exists;
}

}  // namespace

TReadFile locate_read_file(const std::string& name, const std::string& input_folder,
                           const std::string& output_folder) {
  TReadFile file{name};
  if (name.empty()) return file;
  const std::filesystem::path path(name);
  if (path.is_absolute()) {
    found(file);
    return file;
  }
  // The output folder, where one is set, takes the working folder's place.
  const std::string own =
      output_folder.empty() ? name : (std::filesystem::path(output_folder) / path).string();
  file.path = own;
  if (found(file) || input_folder.empty()) return file;
  file.path = (std::filesystem::path(input_folder) / path).string();
  if (found(file)) return file;
  file.path = own;
  return file;
}

bool is_input_file(const std::string& path, std::uintmax_t max_bytes) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return !error && size <= max_bytes;
}
