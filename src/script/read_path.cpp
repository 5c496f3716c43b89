// Where a file that a script or a domain reads is found.
#include "read_path.h"

#include <filesystem>
#include <system_error>

std::string resolve_read_path(const std::string& name, const std::string& input_folder) {
  if (input_folder.empty() || name.empty()) return name;
  const std::filesystem::path path(name);
  if (path.is_absolute()) return name;
  std::error_code error;
  if (std::filesystem::exists(path, error)) return name;
  const std::filesystem::path beside = std::filesystem::path(input_folder) / path;
  if (!std::filesystem::exists(beside, error)) return name;
  return beside.string();
}
