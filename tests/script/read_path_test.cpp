// Tests of where the files a script names are read and written: an output
// folder takes every file written and is looked at first for reading, then
// the working folder and the input folder as before; without one nothing
// changes.
#include "read_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tree_run.h"

namespace {

namespace fs = std::filesystem;

TEST(ReadPath, NamesResolveAgainstTheOutputFolderFirst) {
  fs::create_directories("in");
  fs::create_directories("out");
  write_file("in/beside.txt", "x");
  write_file("in/both.txt", "x");
  write_file("out/both.txt", "x");
  write_file("out/written.txt", "x");
  write_file("here.txt", "x");
  write_file("in/here.txt", "x");
  struct Case {
    const char* name;
    const char* input;
    const char* output;
    std::string read;
    std::string write;
  };
  const std::string absolute = fs::absolute("here.txt").string();
  for (const Case& c : {
           Case{"beside.txt", "in", "", "in/beside.txt", "beside.txt"},
           Case{"beside.txt", "in", "out", "in/beside.txt", "out/beside.txt"},
           Case{"both.txt", "in", "out", "out/both.txt", "out/both.txt"},
           Case{"written.txt", "", "out", "out/written.txt", "out/written.txt"},
           // The output folder stands for the working folder: a file there
           // belongs to another domain's run.
           Case{"here.txt", "in", "", "here.txt", "here.txt"},
           Case{"here.txt", "in", "out", "in/here.txt", "out/here.txt"},
           Case{"missing.txt", "in", "", "missing.txt", "missing.txt"},
           Case{"missing.txt", "in", "out", "out/missing.txt", "out/missing.txt"},
           Case{absolute.c_str(), "in", "out", absolute, absolute},
           Case{"", "in", "out", "", ""},
       }) {
    SCOPED_TRACE(std::string(c.name) + " in '" + c.input + "', out '" + c.output + "'");
    EXPECT_EQ(resolve_read_path(c.name, c.input, c.output), c.read);
    EXPECT_EQ(resolve_write_path(c.name, c.output), c.write);
    // Locating gives the same file, with the status of that file.
    const TReadFile file = locate_read_file(c.name, c.input, c.output);
    EXPECT_EQ(file.path, c.read);
    struct stat expected {};
    const bool exists = !c.read.empty() && ::stat(c.read.c_str(), &expected) == 0;
    EXPECT_EQ(file.exists, exists);
    if (exists) {
      EXPECT_EQ(file.status.st_ino, expected.st_ino);
    }
  }
}

// Every kind of export lands in the output folder, and an import finds the
// file there although the working folder has none.
TEST(ReadPath, ScriptFilesGoToTheOutputFolder) {
  constexpr const char* kExported[] = {"ps.txt", "list.txt", "rules.txt", "tree.txt", "vars.txt"};
  // Other tests of the same process may have written these names here.
  for (const char* file : kExported) fs::remove(file);
  fs::create_directories("own");
  TEvalContext& context = test_context();
  context.output_folder = "own";
  run_tree_script(
      "PARAMETERSET n: p l: 0 u: 10 m: 5 d: 1 g: 1 i: 1 t: low high END "
      "EXPORT PARAMETERSET p ps.txt EXPORT PSLIST list.txt EXPORT RULESET rules.txt "
      "EVALTREE p t END EXPORT EVALTREE tree.txt LET v = 4 EXPORT VARIABLES vars.txt");
  // A later run starts without v: only the import can give it.
  run_tree_script("IMPORT VARIABLES vars.txt LET w = v+1 EXPORT VARIABLES again.txt");
  context.output_folder.clear();
  for (const char* file : kExported) {
    EXPECT_TRUE(fs::exists(fs::path("own") / file)) << file;
    EXPECT_FALSE(fs::exists(file)) << file;
  }
  EXPECT_EQ(lines_starting("own/again.txt", "w "), std::vector<std::string>{"w v+1 5"});
}

// "empty" names no rule table, although a file of that name is found: with
// an output folder the name resolves to another path, and the statements
// that generate rules must still see the name the script wrote.
TEST(ReadPath, TableNamedEmptyIsNoTable) {
  fs::create_directories("own");
  write_file("empty", "CONCAT p p p AND OR");
  write_file("own/empty", "CONCAT p p p AND OR");
  TEvalContext& context = test_context();
  for (const char* output : {"", "own"}) {
    SCOPED_TRACE(std::string("output folder '") + output + "'");
    context.output_folder = output;
    const ScriptRun run = run_tree_script("TABLE empty FUZZYCONCAT c = a AND b PRINT \"after\"");
    EXPECT_EQ(run.out, "\nError: no TABLE defined for generation of rules!\n");
  }
  context.output_folder.clear();
}

}  // namespace
