// Helpers for the tests that look at a page as a reader would: find headless
// Chromium, let it take a screenshot of an HTML file or print it to PDF, and
// decode a PNG into RGB pixels.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The Chromium program: $DOMTARN_CHROMIUM when set, else "chromium" or
// "chromium-browser" on the PATH; empty when there is none.
std::filesystem::path find_chromium();

// Renders `html` in a window of width x height CSS pixels (scale 1) and saves
// the visible part as `png`. On failure returns false and says why in `error`
// (with the end of Chromium's output).
bool take_screenshot(const std::filesystem::path& chromium, const std::filesystem::path& html,
                     const std::filesystem::path& png, int width, int height, std::string& error);

// Prints `html` to `pdf` as the browser's print would, without header and footer.
bool print_to_pdf(const std::filesystem::path& chromium, const std::filesystem::path& html,
                  const std::filesystem::path& pdf, std::string& error);

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
};

// "#rrggbb" as a colour.
Rgb rgb_of(const std::string& hex);

// Whether every channel of the two colours differs by at most `tolerance`.
bool near(Rgb a, Rgb b, int tolerance);

struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // RGB, row by row from the top
  Rgb at(int x, int y) const;
};

// Reads a PNG as 8-bit RGB; false (with the reason in `error`) on failure.
bool read_png(const std::filesystem::path& png, Image& image, std::string& error);
