// Entry functions of the fuzz targets: each feeds one input to one reader of
// the program (script interpreter, domain data file, rule file, variables
// file, parameter-set list). The libFuzzer drivers and the replay test of the
// corpora call the same functions, so a reproducer behaves alike in both.
#pragma once

#include <array>
#include <filesystem>
#include <ios>
#include <span>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include <iostream>

class TEvalContext;

namespace fuzz {

using TEntry = void (*)(std::string_view input);

struct TTarget {
  std::string_view name;  // also the folder name of its corpora
  TEntry run;
};

// Every target, in a fixed order.
std::span<const TTarget> targets();
// The target of that name, or null.
const TTarget* find_target(std::string_view name);

// Whether every file name the input can make the program open stays inside
// the working directory: no word that starts with '/' (except the comment
// opener "/*") and no "..". Entries pass over other inputs unrun.
bool stays_inside(std::string_view input);

// A fresh temporary directory that is the working directory while the object
// lives, filled with the fixture files the scripts and the domain data files
// refer to (rule tables, parameter-set and rule files, the example script).
// The entries need one to exist; only one may exist at a time. Scripts run
// in one evaluation context per workspace, with the engine's caches on or
// off; or, to compare, twice with them on and once in a second context with
// them off, and a script whose runs print or rate differently aborts with
// the three outputs on standard error: a cache hit must give what computing
// gives.
enum class TCacheMode { kOn, kOff, kCompare };
class TWorkspace {
 public:
  explicit TWorkspace(const std::filesystem::path& fixtures, TCacheMode mode = TCacheMode::kOn);
  ~TWorkspace();
  TWorkspace(const TWorkspace&) = delete;
  TWorkspace& operator=(const TWorkspace&) = delete;

  const std::filesystem::path& path() const { return dir; }
  // The context the entries run scripts in (with the lowered statement limit).
  TEvalContext& context() const;

 private:
  std::filesystem::path previous;
  std::filesystem::path dir;
};

// The fixture directory of the source tree, as the build names it.
std::filesystem::path default_fixtures();

// A stream buffer that accepts and drops everything.
class TNullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While alive, the console streams write nowhere and standard input is
// empty, so runs are quiet and never wait for the keyboard. Formats and
// states are restored afterwards: one run cannot change how the next prints.
class TQuietConsole {
 public:
  TQuietConsole();
  ~TQuietConsole();
  TQuietConsole(const TQuietConsole&) = delete;
  TQuietConsole& operator=(const TQuietConsole&) = delete;

 private:
  TNullBuffer null;
  std::istringstream no_input;
  std::array<std::ostream*, 3> streams{&std::cout, &std::cerr, &std::clog};
  std::array<std::ios, 3> formats{std::ios(nullptr), std::ios(nullptr), std::ios(nullptr)};
  std::array<std::streambuf*, 3> buffers{};
  std::streambuf* input = nullptr;
};

// The cache mode of the live workspace.
TCacheMode cache_mode();
// Tells the workspace that the entry is about to write files into it: the
// fixtures are put back before the next input.
void note_files_written();

// The domain side, kept in its own file because the domain's and the fuzzy
// library's headers do not go into one file together.
void run_domain(std::string_view input);
void run_optimize(std::string_view input);
// The most characters of script text the program loads.
std::size_t script_chars();

}  // namespace fuzz
