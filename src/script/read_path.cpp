// Where a file that a script or a domain reads or writes is found.
#include "read_path.h"

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
  if (name.empty()) return name;
  const std::filesystem::path path(name);
  if (path.is_absolute()) return name;
  std::error_code error;
  // The output folder, where one is set, takes the working folder's place.
  const std::filesystem::path own =
      output_folder.empty() ? path : std::filesystem::path(output_folder) / path;
  if (std::filesystem::exists(own, error)) return own.string();
  const std::filesystem::path beside = std::filesystem::path(input_folder) / path;
  if (!input_folder.empty() && std::filesystem::exists(beside, error)) return beside.string();
  return own.string();
}

bool is_input_file(const std::string& path, std::uintmax_t max_bytes) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return !error && size <= max_bytes;
}
