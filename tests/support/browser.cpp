// Headless Chromium runs and PNG decoding for the rendering tests (browser.h).
#include "browser.h"

#include <png.h>

#include <cstdlib>
#include <sstream>
#include <system_error>

#include "capture.h"

namespace {

// The word quoted for the shell.
std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string tail_of(const std::filesystem::path& log) {
  const std::string all = read_file(log);
  return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

// Runs Chromium headless with a fresh profile beside `output` and no network
// services, then checks that `output` was written.
bool run_chromium(const std::filesystem::path& chromium, const std::string& arguments,
                  const std::filesystem::path& html, const std::filesystem::path& output,
                  std::string& error) {
  const std::filesystem::path profile = output.string() + ".profile";
  const std::filesystem::path log = output.string() + ".log";
  std::error_code ignored;
  std::filesystem::remove_all(profile, ignored);
  std::filesystem::remove(output, ignored);
  const std::string command =
      "timeout 120 " + quoted(chromium.string()) +
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --disable-extensions --disable-crash-reporter --user-data-dir=" +
      quoted(profile.string()) + " " + arguments + " " +
      quoted("file://" + std::filesystem::absolute(html).string()) + " > " + quoted(log.string()) +
      " 2>&1";
  const int status = std::system(command.c_str());
  std::filesystem::remove_all(profile, ignored);
  if (status == 0 && std::filesystem::exists(output)) return true;
  error = "chromium failed (status " + std::to_string(status) + "): " + tail_of(log);
  return false;
}

}  // namespace

std::filesystem::path find_chromium() {
  if (const char* chosen = std::getenv("DOMTARN_CHROMIUM"); chosen != nullptr && *chosen != 0)
    return chosen;
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::istringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    for (const char* name : {"chromium", "chromium-browser"}) {
      const std::filesystem::path candidate = std::filesystem::path(folder) / name;
      std::error_code ignored;
      if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
    }
  }
  return {};
}

bool take_screenshot(const std::filesystem::path& chromium, const std::filesystem::path& html,
                     const std::filesystem::path& png, int width, int height, std::string& error) {
  const std::string arguments =
      "--hide-scrollbars --force-device-scale-factor=1 --window-size=" + std::to_string(width) +
      "," + std::to_string(height) + " --screenshot=" + quoted(png.string());
  return run_chromium(chromium, arguments, html, png, error);
}

bool print_to_pdf(const std::filesystem::path& chromium, const std::filesystem::path& html,
                  const std::filesystem::path& pdf, std::string& error) {
  const std::string arguments = "--no-pdf-header-footer --print-to-pdf=" + quoted(pdf.string());
  return run_chromium(chromium, arguments, html, pdf, error);
}

Rgb rgb_of(const std::string& hex) {
  const long value = std::strtol(hex.c_str() + 1, nullptr, 16);
  return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
          static_cast<int>(value & 0xFF)};
}

bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

Rgb Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
  return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

bool read_png(const std::filesystem::path& png, Image& image, std::string& error) {
  png_image decoder{};
  decoder.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&decoder, png.c_str()) == 0) {
    error = "cannot read " + png.string() + ": " + decoder.message;
    return false;
  }
  decoder.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(decoder.width);
  image.height = static_cast<int>(decoder.height);
  image.pixels.assign(PNG_IMAGE_SIZE(decoder), 0);
  if (png_image_finish_read(&decoder, nullptr, image.pixels.data(), 0, nullptr) == 0) {
    error = "cannot decode " + png.string() + ": " + decoder.message;
    png_image_free(&decoder);
    return false;
  }
  return true;
}
