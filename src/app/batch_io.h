// What a batch command needs around the domain: a folder of its own for the
// files the evaluation and the optimizer write, console output caught into
// a file, outputs written whole or not at all, and the progress line.
#pragma once

#include <signal.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "domtarn.h"

// Sends the given signals to `handler` for as long as it lives, except those
// ignored when it was made, which stay ignored; what they did before comes
// back at the end.
class CSignalHandlers {
 public:
  static constexpr std::size_t kMaxSignals = 4;

  CSignalHandlers(std::initializer_list<int> signals, void (*handler)(int), int flags);
  // The same with a handler that is told who sent the signal (SA_SIGINFO).
  CSignalHandlers(std::initializer_list<int> signals, void (*handler)(int, siginfo_t*, void*),
                  int flags);
  ~CSignalHandlers();
  CSignalHandlers(const CSignalHandlers&) = delete;
  CSignalHandlers& operator=(const CSignalHandlers&) = delete;

 private:
  std::array<int, kMaxSignals> aSignals{};
  std::array<struct sigaction, kMaxSignals> aPrevious{};
  std::array<bool, kMaxSignals> aInstalled{};
  void Install(std::initializer_list<int> signals, const struct sigaction& action);
};

// Removes a folder and everything in it with calls that are safe in a signal
// handler (no memory allocated, no locks, no streams): entries read with
// getdents64 and removed with unlinkat, the folders in it likewise, and the
// folder itself with rmdir. Symbolic links are removed, never followed.
// Entries that other threads make meanwhile are removed too, within a bound
// of rounds. True when the folder is gone.
bool RemoveFolderTree(const char* path) noexcept;

// Ends the program by `signal` as its default action does, after removing
// the temporary folder of a CLogFolder that holds one and the temporary
// file of a COutputFile that holds room on the disk. Safe in a signal
// handler; a handler that calls it must return afterwards (the signal,
// blocked while it runs, then ends the program).
void EndBySignal(int signal) noexcept;

// Makes a folder the working folder for as long as it lives: the folder
// `keep` names (created when missing), or a new temporary folder that is
// removed afterwards. The earlier working folder comes back at the end.
// While a temporary folder is there, Ctrl-C, SIGTERM, SIGHUP and SIGPIPE (a
// pipe whose reader has gone) end the program by EndBySignal, which removes
// it first; a folder given to keep is never removed.
class CLogFolder {
 public:
  CLogFolder() = default;
  CLogFolder(const CLogFolder&) = delete;
  CLogFolder& operator=(const CLogFolder&) = delete;
  ~CLogFolder();

  // False, with a message for the user in `error`, when the folder cannot
  // be made or entered; it names the folder, and for a temporary folder the
  // variable that chose its place (TMPDIR).
  bool Enter(const std::filesystem::path& keep, std::string& error);
  const std::filesystem::path& Path() const { return pFolder; }
  // Goes back to the folder the program started in and removes a temporary
  // folder; the destructor does the same, for a folder not left before.
  void Leave();

 private:
  // Takes the lock of a kept folder for the run; false when another run
  // holds it.
  bool LockKeptFolder();

  std::filesystem::path pFolder;
  std::filesystem::path pPrevious;
  bool bTemporary = false;
  bool bEntered = false;
  int iLock = -1;  // the kept folder, open while the run holds its lock
  std::optional<CSignalHandlers> oEndingSignals;
};

// A log file, appended to, that grows to `bound` bytes at most (256 MiB
// unless given): a script that prints without end cannot fill the disk. The
// first text past the bound is replaced by a line that says so, and the
// rest is left out.
class CBoundedLog : public std::ostream {
 public:
  static constexpr std::uintmax_t kMaxLogBytes = std::uintmax_t{256} << 20;

  explicit CBoundedLog(const std::filesystem::path& file, std::uintmax_t bound = kMaxLogBytes);
  CBoundedLog(const CBoundedLog&) = delete;
  CBoundedLog& operator=(const CBoundedLog&) = delete;
  ~CBoundedLog() override;

 private:
  class CBuffer : public std::streambuf {
   public:
    CBuffer(const std::filesystem::path& file, std::uintmax_t bound);

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

   private:
    std::filebuf fFile;
    std::uintmax_t iBound;
    std::uintmax_t iLeft;
    bool bCut = false;
  };
  CBuffer cBuffer;
};

// Sends what a domain (with its script runs and optimizer) writes into a
// log file for as long as it lives, its messages for standard error too
// (the fuzzy library's warnings), in the order they come: an optimisation
// repeats them at every evaluation. Afterwards the domain writes to the
// console again.
class CDomainToFile {
 public:
  CDomainToFile(CDomainInstance& domain, const std::filesystem::path& file);
  CDomainToFile(const CDomainToFile&) = delete;
  CDomainToFile& operator=(const CDomainToFile&) = delete;
  ~CDomainToFile();

  // Flushes the log; false once something written did not reach the file
  // (a full disk).
  bool Complete();

 private:
  CDomainInstance& cDomain;
  CBoundedLog fFile;
};

// Where an output named `path` goes: the file a symbolic link leads to,
// also one yet to be made; the path itself otherwise. Empty, with the
// system's message in `error`, for links that lead round in a circle.
std::filesystem::path OutputDestination(const std::filesystem::path& path, std::string& error);

// An output on its way to its place: a temporary file in the folder of the
// output's path gets the text and is then renamed to it, so that the file is
// either complete or not there (or as it was before). A symbolic link keeps
// leading to the file, which gets the text; a replaced file keeps its mode
// (and owner, where the user may give it). A device, pipe or folder, or a
// file the user may not write, is not replaced.
//
// The temporary file may take room on the disk when it is made, for an
// output written at the end of a long run: the room then stays the run's,
// whatever else fills the disk meanwhile. Until the text is in place the
// temporary file is removed by the destructor, and while it holds room also
// by a signal that ends the program (Ctrl-C, SIGTERM, SIGHUP, SIGPIPE, see
// EndBySignal); one such file at a time.
class COutputFile {
 public:
  COutputFile() = default;
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;
  ~COutputFile();

  // Makes the temporary file for `path` holding `room` bytes of the disk;
  // a signal that ends the program meanwhile removes it (one such file at a
  // time). False, with the reason in `error`, when the output cannot be written
  // there or the disk has not that much room. A file system that cannot
  // hold room ahead (no such operation) gets the file without it.
  bool Open(const std::filesystem::path& path, std::uintmax_t room, std::string& error);
  bool IsOpen() const { return iFd >= 0; }
  // Writes `text` into the temporary file (into its room, whatever is left
  // of the room given back) and renames the file to the output. False, with
  // the reason in `error`, when it cannot; the temporary file is gone either
  // way.
  bool Commit(const std::string& text, std::string& error);
  // Removes the temporary file, if any, and gives its room back.
  void Discard();

 private:
  void RemoveAtEndingSignal();
  void Forget();

  std::filesystem::path pDestination;
  std::string sTemporary;
  int iFd = -1;
  bool bHoldsRoom = false;
  std::optional<CSignalHandlers> oEndingSignals;
};

// Writes `text` to `path` through a COutputFile that holds no room. False,
// with the reason in `error`, when it cannot be written.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& text,
                         std::string& error);
// Whether WriteFileAtomically could write `path`: it may be replaced, and a
// temporary file can be made and removed beside it. False with the reason
// otherwise.
bool CanCreateFileBeside(const std::filesystem::path& path, std::string& error);

// The progress line as drawn: back to the start of the line, the figures,
// and the rest of the line cleared. On a terminal `columns` wide the figures
// are cut to columns - 1 characters, so that the line never wraps and each
// line drawn overwrites the one before; 0 columns (not known) cuts nothing.
std::string ProgressLineText(std::int64_t evaluations, double seconds, float best, float current,
                             int columns);
// The width of the terminal that `fd` writes to; 0 when it is not known.
int TerminalColumns(int fd);

// The optimizer's progress on one line of standard error, rewritten in place
// at most ten times a second and cut to the terminal's width. Shows nothing
// when disabled.
class CProgressLine {
 public:
  explicit CProgressLine(bool enabled);
  CProgressLine(const CProgressLine&) = delete;
  CProgressLine& operator=(const CProgressLine&) = delete;
  ~CProgressLine();

  void Update(std::int64_t evaluations, float best, float current);
  // Leaves the last line standing and ends it.
  void Finish();

 private:
  void Draw();

  bool bEnabled;
  bool bDrawn = false;
  std::chrono::steady_clock::time_point tStart;
  std::chrono::steady_clock::time_point tLastDraw;
  std::int64_t iEvaluations = 0;
  float fBest = 0;
  float fCurrent = 0;
};
