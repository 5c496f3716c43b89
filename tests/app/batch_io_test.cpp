// Tests of writing outputs whole or not at all, and of the working folder a
// batch run makes for the files the evaluation writes.
#include "batch_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture.h"
#include "text_join.h"

namespace {

namespace fs = std::filesystem;

// What a signal does now.
void (*Action(int signal))(int) {
  struct sigaction action {};
  sigaction(signal, nullptr, &action);
  return action.sa_handler;
}

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

// An output may hold room on the disk from the start: the text goes into it,
// the rest is given back, and the room goes when the output is dropped or
// the disk has not that much.
TEST(BatchIoTest, OutputFileHoldsRoomUntilItsTextIsInPlace) {
  // A fresh folder of its own: the test counts its entries.
  fs::remove_all("room");
  fs::create_directory("room");
  constexpr std::uintmax_t kRoom = 100'000;
  std::string error;
  {
    COutputFile output;
    ASSERT_TRUE(output.Open("room/roster.dom", kRoom, error)) << error;
    const fs::directory_entry temporary = *fs::directory_iterator("room");
    struct stat held {};
    ASSERT_EQ(::stat(temporary.path().c_str(), &held), 0);
    EXPECT_GE(static_cast<std::uintmax_t>(held.st_blocks) * 512, kRoom);
    EXPECT_NE(Action(SIGTERM), SIG_DFL);
    ASSERT_TRUE(output.Commit("roster\n", error)) << error;
    EXPECT_EQ(Action(SIGTERM), SIG_DFL);
  }
  EXPECT_EQ(read_file("room/roster.dom"), "roster\n");
  EXPECT_EQ(Entries("room"), 1);
  {
    COutputFile dropped;
    ASSERT_TRUE(dropped.Open("room/roster.dom", kRoom, error)) << error;
    EXPECT_EQ(Entries("room"), 2);
  }
  EXPECT_EQ(Entries("room"), 1);
  COutputFile too_large;
  EXPECT_FALSE(too_large.Open("room/roster.dom", std::uintmax_t{1} << 62, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Entries("room"), 1);
  EXPECT_EQ(read_file("room/roster.dom"), "roster\n");
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
  // The handlers that remove a temporary folder are gone with it.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    EXPECT_EQ(Action(signal), SIG_DFL);
  }
}

// A log grows to its bound, counting what the file held before, whatever
// way the text comes (a character or a whole text); the first text past the
// bound gives way to a line that says so, and nothing more is written.
TEST(BatchIoTest, BoundedLogStopsAtItsBound) {
  write_file("log", "0123456789");
  {
    CBoundedLog log("log", 16);
    log << "abc" << 'd' << 7 << std::flush;
    EXPECT_EQ(read_file("log"), "0123456789abcd7");
    log << "more than fits" << 'x' << "and after";
    EXPECT_TRUE(log.good());
  }
  EXPECT_EQ(read_file("log"),
            "0123456789abcd7\n[the log ends here: it reached its bound of 16 bytes]\n");
}

// Everything in the folder goes, however many entries and however nested;
// links are removed, not followed.
TEST(BatchIoTest, RemoveFolderTreeRemovesEverythingAndFollowsNoLink) {
  fs::create_directories("outside/kept");
  write_file("outside/kept/file", "kept\n");
  const fs::path tree = fs::absolute("tree");
  fs::create_directories(tree / "worker1" / "deeper" / "deepest");
  fs::create_directories(tree / "empty");
  // Long names, so that reading the entries takes several calls.
  for (int i = 0; i < 300; ++i) {
    write_file(tree / ("pass-file-with-a-long-name-" + std::to_string(i)), "o\n");
  }
  write_file(tree / ".hidden", "");
  write_file(tree / "worker1" / "console.log", "log\n");
  write_file(tree / "worker1" / "deeper" / "deepest" / "c.dat", "log\n");
  fs::create_directory_symlink(fs::absolute("outside/kept"), tree / "linked-folder");
  fs::create_symlink(fs::absolute("outside/kept/file"), tree / "worker1" / "linked-file");
  fs::create_symlink("nowhere", tree / "dangling");

  EXPECT_TRUE(RemoveFolderTree(tree.c_str()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(read_file("outside/kept/file"), "kept\n");
  EXPECT_FALSE(RemoveFolderTree(tree.c_str()));
  EXPECT_FALSE(RemoveFolderTree("outside/kept/file"));
  EXPECT_EQ(read_file("outside/kept/file"), "kept\n");
}

using BatchIoDeathTest = ::testing::Test;

// Ctrl-C, SIGTERM, SIGHUP or SIGPIPE that ends the program removes its
// temporary log folder first, and an output's room; a folder the user gave
// to keep the logs stays.
TEST(BatchIoDeathTest, EndingSignalRemovesTheTemporaryFilesOnly) {
  const fs::path start = fs::current_path();
  // Folders of its own: the test counts their entries.
  fs::create_directory("signal-tmp");
  fs::create_directory("signal-out");
  const char* saved = std::getenv("TMPDIR");
  const std::string before = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", (start / "signal-tmp").c_str(), 1);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    for (const bool keep : {false, true}) {
      // An output that holds room on the disk (the roster) and one that
      // does not (a report).
      const std::uintmax_t room = keep ? 4096 : 0;
      SCOPED_TRACE(Joined(signal, keep ? " kept" : " temporary"));
      const fs::path kept = keep ? start / Joined("kept", signal) : fs::path();
      EXPECT_EXIT(
          {
            CLogFolder folder;
            std::string error;
            if (!folder.Enter(kept, error)) std::_Exit(1);
            fs::create_directory("worker1");
            write_file("worker1/console.log", "log\n");
            write_file("c.dat", "log\n");
            COutputFile output;
            if (!output.Open(start / "signal-out" / "roster.dom", room, error)) std::_Exit(1);
            std::raise(signal);
            std::_Exit(2);
          },
          ::testing::KilledBySignal(signal), "");
      EXPECT_EQ(Entries("signal-tmp"), 0);
      EXPECT_EQ(Entries("signal-out"), 0);
      if (keep) {
        EXPECT_EQ(read_file(kept / "worker1" / "console.log"), "log\n");
      }
    }
  }
  if (saved != nullptr) {
    ::setenv("TMPDIR", before.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
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
  EXPECT_EQ(ProgressLineText(1, 1.0, 5, 5, 0),
            "\r1 evaluation, 1/s, best 5, current 5, 1.0 s\x1b[K");
}

}  // namespace
