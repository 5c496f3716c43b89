// Tests of the HTML report as a browser shows and prints it: headless
// Chromium takes a screenshot, and the pixels must show each roster cell in
// its shift's colour (the day off white, or shaded on a weekend), changed
// cells outlined, and the trajectory's line in the chart; printed, every
// roster and the chart take one landscape page each. Skipped where Chromium
// is not installed. Set DOMTARN_REPORT_SHOTS to a folder to keep the pages
// and the screenshot there for a look.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "browser.h"
#include "capture.h"
#include "report.h"
#include "report_data.h"

namespace {

// The page's grid geometry: the body's margin, the group-name column, cells
// of 20 pixels with the line at their left and top edge, 6 pixels more
// between weeks.
constexpr int kBodyMargin = 16;
constexpr int kHeadWidth = 140;
constexpr int kCellSize = 20;
constexpr int kWeekGap = 6;
constexpr int kHeaderHeight = 34;

const Rgb kLine = rgb_of("#c9c9c9");
const Rgb kOff = rgb_of("#ffffff");
const Rgb kWeekendOff = rgb_of("#e3e5ee");
const Rgb kOutline = rgb_of("#000000");
const Rgb kBestLine = rgb_of("#1f4e9c");
const char* const kShiftColours[] = {"#4e79a7", "#f28e2b", "#59a14f"};
constexpr int kTolerance = 12;

int ColumnX(int day) {
  return kBodyMargin + kHeadWidth + day * kCellSize + day / 7 * kWeekGap;
}

// The colour a reader should see in a cell.
Rgb Expected(const CRosterGrid& grid, int group, int day) {
  const int shift = grid.vCells[group][day];
  if (shift == 0) return day % 7 >= 5 ? kWeekendOff : kOff;
  return rgb_of(kShiftColours[shift - 1]);
}

std::string Show(Rgb c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// The top of every roster grid's first row: where the line left of the first
// day runs down exactly as long as the grid is high.
std::vector<int> GridTops(const Image& image, int groups) {
  std::vector<int> tops;
  const int x = ColumnX(0);
  const int length = groups * kCellSize + 1;
  for (int y = 0; y < image.height;) {
    int run = 0;
    while (y + run < image.height && near(image.at(x, y + run), kLine, 4)) ++run;
    if (run == length) tops.push_back(y);
    y += run > 0 ? run : 1;
  }
  return tops;
}

// Where to keep the files for a look, or the scratch folder.
std::filesystem::path OutputFolder() {
  const char* keep = std::getenv("DOMTARN_REPORT_SHOTS");
  if (keep == nullptr || *keep == 0) return std::filesystem::current_path();
  std::filesystem::create_directories(keep);
  return keep;
}

std::filesystem::path WriteReport(const CReportData& data, const std::string& name) {
  const std::filesystem::path html = OutputFolder() / name;
  std::ofstream out(html, std::ios::binary);
  WriteHtmlReport(out, data);
  return html;
}

TEST(ReportRenderTest, ScreenshotShowsShiftColoursOutlinesAndTheChart) {
  const std::filesystem::path chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed; the report is not rendered";
  const int groups = 6;
  const CReportData data = MakePlantOptimisation(groups, 6, 3000);
  const std::filesystem::path html = WriteReport(data, "optimisation.html");
  const std::filesystem::path png = OutputFolder() / "optimisation.png";
  std::string error;
  ASSERT_TRUE(take_screenshot(chromium, html, png, 1400, 2000, error)) << error;
  Image image;
  ASSERT_TRUE(read_png(png, image, error)) << error;

  const std::vector<int> tops = GridTops(image, groups);
  ASSERT_EQ(tops.size(), 2u) << "the before and after grids";
  const CRosterGrid* grids[] = {&data.cBefore.cGrid, &data.oAfter->cGrid};
  // Cells of every kind: the day off on a weekday and on a weekend, the
  // three shifts, in the first and the last week, before and after.
  const int cells[][2] = {{0, 0},  {1, 0},  {0, 5}, {1, 5}, {2, 5}, {3, 6},
                          {5, 41}, {4, 40}, {2, 2}, {3, 2}, {0, 20}};
  for (int which = 0; which < 2; ++which) {
    for (const auto& [group, day] : cells) {
      SCOPED_TRACE("grid " + std::to_string(which) + " group " + std::to_string(group) + " day " +
                   std::to_string(day));
      // A corner of the cell, clear of its label and of an outline.
      const Rgb seen = image.at(ColumnX(day) + 5, tops[which] + group * kCellSize + 5);
      EXPECT_TRUE(near(seen, Expected(*grids[which], group, day), kTolerance)) << Show(seen);
    }
  }
  // Day 2 exchanged groups 2 and 3: outlined in both grids; group 1 is not.
  for (int top : tops) {
    EXPECT_TRUE(near(image.at(ColumnX(2) + 1, top + 2 * kCellSize + 10), kOutline, 40));
    EXPECT_TRUE(near(image.at(ColumnX(2) + 1, top + 3 * kCellSize + 10), kOutline, 40));
    EXPECT_FALSE(near(image.at(ColumnX(2) + 1, top + 1 * kCellSize + 10), kOutline, 40));
  }
  // The chart below the grids: the best line spans most of its width.
  int linePixels = 0;
  int left = image.width;
  int right = 0;
  for (int y = tops[1] + groups * kCellSize + kHeaderHeight; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (near(image.at(x, y), kBestLine, 40)) {
        ++linePixels;
        left = std::min(left, x);
        right = std::max(right, x);
      }
  EXPECT_GT(linePixels, 500);
  EXPECT_GT(right - left, 700);
}

// A grid far wider than the window narrows to three fifths of its size and
// no further, so its cells stay readable, and scrolls sideways in a frame of
// its own with the group names kept in view: along the rows, the runs of a
// shift's colour are cells of 19 pixels at that scale, and left of them the
// names show as text on white however far the grid is scrolled (a script
// added to the page scrolls it).
TEST(ReportRenderTest, ScreenshotKeepsAWideRosterReadableWithItsNamesInView) {
  const std::filesystem::path chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed; the report is not rendered";
  const Rgb day = rgb_of(kShiftColours[0]);
  for (const int scroll : {0, 1000, 2000}) {
    SCOPED_TRACE("scrolled by " + std::to_string(scroll));
    std::ostringstream page;
    WriteHtmlReport(page, MakePlantReport(6, 40));
    std::string text = page.str();
    const std::string script =
        "<script>document.querySelector('.gw').scrollLeft=" + std::to_string(scroll) + "</script>";
    text.insert(text.rfind("</body>"), script);
    const std::string name = "wide-" + std::to_string(scroll);
    const std::filesystem::path html = OutputFolder() / (name + ".html");
    std::ofstream(html, std::ios::binary) << text;
    const std::filesystem::path png = OutputFolder() / (name + ".png");
    std::string error;
    ASSERT_TRUE(take_screenshot(chromium, html, png, 1400, 900, error)) << error;
    Image image;
    ASSERT_TRUE(read_png(png, image, error)) << error;
    int cells = 0;  // runs as long as a cell at three fifths, give or take a pixel
    int top = image.height;
    int bottom = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width;) {
        int run = 0;
        while (x + run < image.width && near(image.at(x + run, y), day, kTolerance)) ++run;
        if (run >= 10 && run <= 13) {
          ++cells;
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
        x += run > 0 ? run : 1;
      }
    }
    EXPECT_GT(cells, 200);
    // The names' column at three fifths, its last pixels left out: text on
    // white, no colour of a cell scrolled under it.
    int colourPixels = 0;
    int textPixels = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = kBodyMargin; x < kBodyMargin + kHeadWidth * 3 / 5 - 3; ++x) {
        const Rgb seen = image.at(x, y);
        const int low = std::min({seen.r, seen.g, seen.b});
        const int high = std::max({seen.r, seen.g, seen.b});
        if (high - low > 24) ++colourPixels;
        if (high < 140) ++textPixels;
      }
    EXPECT_EQ(colourPixels, 0);
    EXPECT_GT(textPixels, 20);
  }
}

// The page count and the first page's size from a PDF as Chromium writes it.
void ReadPdf(const std::string& pdf, int& pages, double& width, double& height) {
  std::smatch match;
  pages = std::regex_search(pdf, match, std::regex("/Type /Pages[^>]*/Count ([0-9]+)")) ||
                  std::regex_search(pdf, match, std::regex("/Count ([0-9]+)"))
              ? std::stoi(match[1])
              : -1;
  width = height = 0;
  if (std::regex_search(
          pdf, match, std::regex("/MediaBox \\[([-0-9.]+) ([-0-9.]+) ([-0-9.]+) ([-0-9.]+)\\]"))) {
    width = std::stod(match[3]) - std::stod(match[1]);
    height = std::stod(match[4]) - std::stod(match[2]);
  }
}

TEST(ReportRenderTest, PrintsOneLandscapePagePerRosterAndChart) {
  const std::filesystem::path chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed; the report is not printed";
  const struct {
    const char* name;
    CReportData data;
    int pages;
  } cases[] = {{"example.html", MakePlantReport(6, 6), 1},
               {"large.html", MakePlantOptimisation(12, 8, 20000), 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path html = WriteReport(c.data, c.name);
    const std::filesystem::path pdf = html.string() + ".pdf";
    std::string error;
    ASSERT_TRUE(print_to_pdf(chromium, html, pdf, error)) << error;
    int pages = 0;
    double width = 0;
    double height = 0;
    ReadPdf(read_file(pdf), pages, width, height);
    EXPECT_EQ(pages, c.pages);
    EXPECT_GT(width, height);
  }
}

}  // namespace
