// Tests of writing outputs whole or not at all, and of the working folder a
// batch run makes for the files the evaluation writes.
#include "batch_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "capture.h"

namespace {

namespace fs = std::filesystem;

// The names in a folder, its hidden ones included.
int Entries(const fs::path& folder) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
  return count;
}

TEST(BatchIoTest, AtomicWriteReplacesTheFileWhole) {
  fs::create_directory("out");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically("out/roster.dom", "first\n", error)) << error;
  ASSERT_TRUE(WriteFileAtomically("out/roster.dom", "second\n", error)) << error;
  EXPECT_EQ(read_file("out/roster.dom"), "second\n");
  EXPECT_EQ(Entries("out"), 1);  // no temporary file left
  EXPECT_EQ(fs::status("out/roster.dom").permissions() & fs::perms::owner_read,
            fs::perms::owner_read);
}

TEST(BatchIoTest, AtomicWriteFailsWithoutLeavingAnything) {
  // A folder whose "parent" is a regular file cannot hold files, for root too.
  write_file("plain", "not a folder\n");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically("plain/roster.dom", "text", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(CanCreateFileBeside("plain/roster.dom", error));
  EXPECT_FALSE(WriteFileAtomically("missing/roster.dom", "text", error));
  EXPECT_EQ(read_file("plain"), "not a folder\n");

  fs::create_directory("locked");
  fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() == 0) {
    fs::permissions("locked", fs::perms::owner_all);
    GTEST_SKIP() << "running as root: folder permissions do not stop writes";
  }
  EXPECT_FALSE(WriteFileAtomically("locked/roster.dom", "text", error));
  EXPECT_FALSE(CanCreateFileBeside("locked/roster.dom", error));
  EXPECT_EQ(Entries("locked"), 0);
  fs::permissions("locked", fs::perms::owner_all);
}

TEST(BatchIoTest, LogFolderIsEnteredAndATemporaryOneRemoved) {
  const fs::path start = fs::current_path();
  fs::path temporary;
  {
    CLogFolder folder;
    std::string error;
    ASSERT_TRUE(folder.Enter({}, error)) << error;
    temporary = folder.Path();
    EXPECT_EQ(fs::current_path(), fs::canonical(temporary));
    write_file("c.dat", "log\n");
  }
  EXPECT_EQ(fs::current_path(), start);
  EXPECT_FALSE(fs::exists(temporary));

  {
    CLogFolder folder;
    std::string error;
    ASSERT_TRUE(folder.Enter(start / "kept" / "logs", error)) << error;
    write_file("c.dat", "log\n");
  }
  EXPECT_EQ(fs::current_path(), start);
  EXPECT_EQ(read_file("kept/logs/c.dat"), "log\n");

  write_file("file", "");
  CLogFolder folder;
  std::string error;
  EXPECT_FALSE(folder.Enter(start / "file" / "logs", error));
  EXPECT_EQ(fs::current_path(), start);
}

// The progress line is cut so that it never reaches a terminal's last
// column; the figures are only cut, and the control sequences stay.
TEST(BatchIoTest, ProgressLineFitsTheTerminal) {
  const std::string figures = "1234 evaluations, 617/s, best 87.9387, current 85.25, 2.0 s";
  const struct {
    int columns;
    std::string shown;
  } cases[] = {
      {0, figures},  // width unknown: the whole line
      {200, figures},
      {static_cast<int>(figures.size()) + 1, figures},
      {static_cast<int>(figures.size()), figures.substr(0, figures.size() - 1)},
      {40, figures.substr(0, 39)},
      {2, "1"},
      {1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.columns);
    EXPECT_EQ(ProgressLineText(1234, 2.0, 87.9387f, 85.25f, c.columns), "\r" + c.shown + "\x1b[K");
  }
}

}  // namespace
