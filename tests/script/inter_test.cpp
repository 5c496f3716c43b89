// Tests of the interpreter: the word reader, the run's ownership rules, and
// whole scripts replayed from tests/script/cases (<name>.scr with the exact
// expected output in <name>.out, optional standard input in <name>.in and an
// optional variables file <name>.vars loaded into the store first). The
// files under cases/files (rule tables, files to import) are copied into the
// working folder first; every file a case writes whose name begins with
// "out" is appended to its output, by name, and removed. (Skipping an IF
// part is checked through the cases if, condition_operands and
// evaltree_jump_into_aggregate.)
#include "inter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>
#include <vector>

#include "capture.h"
#include "expint.h"
#include "inter_context.h"
#include "inter_state.h"

namespace {

std::string run_script(TEvalContext& context, const std::string& text,
                       std::unique_ptr<TVarlist> vars = nullptr, const std::string& input = "") {
  FeedStdin in(input);
  Capture out;
  EXPECT_EQ(interpret(context, text.c_str(), std::move(vars)), nullptr);
  return out.str();
}

// A reader over a word list of its own, with the words' hints and memories.
TScriptReader reader_of(std::string_view text) {
  std::shared_ptr<TScriptWords> words;
  return TScriptReader(text, words, true);
}

std::string run_script(const std::string& text) {
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  return run_script(context, text);
}

// A division by zero ends the run at once: the message (flushed) is the
// last thing the run writes, also within the statement that divided, the
// tree built so far is dropped and the status tells it. The next run of
// the context writes again.
TEST(Interpret, DivisionByZeroEndsTheRunAtOnce) {
  const std::string set = "PARAMETERSET n: r l: 1 u: 2 m: 1.5 d: 1 g: 1 i: 1 t: bad good END ";
  // Between statements, in a loop, inside a statement (the fuzzy variable
  // would report the 0 the division gave), in an index, with a tree.
  const std::pair<std::string, std::string> cases[] = {
      {"PRINT \"a\" LET q = (1/0) PRINT \"b\"", "a"},
      {"FOR i = 0 TO 3 STEP 1 PRINT i LET q = (1/(2-i)) NEXT i", "012"},
      {set + "FUZZYVAR k r SET k = (1/0)", ""},
      {"LET x[0] = 1 LET y = x[(1/0)] PRINT y", ""},
      {"TABLE t.tab " + set + "EVALTREE r total WORKINGHOURS AND END LET q = (1/0)", ""}};
  write_file("t.tab",
             "CONCAT r r r\nAND bad bad bad bad good bad good bad bad good good good\n"
             "OR bad bad bad bad good good good bad good good good good\n");
  TEvalContext context;
  for (const auto& [text, before] : cases) {
    std::ostringstream out;
    std::ostringstream err;
    context.set_output(out, err);
    TRunStatus status = TRunStatus::kFinished;
    EXPECT_EQ(interpret(context, text.c_str(), std::make_unique<TVarlist>(), &status), nullptr);
    EXPECT_EQ(status, TRunStatus::kDivisionByZero) << text;
    const std::string expected = before + "\nERROR: DIVISION BY ZERO! Program terminated.\n";
    EXPECT_EQ(out.str(), expected) << text;
    EXPECT_EQ(err.str(), "") << text;
    interpret(context, "PRINT \"again\"", std::make_unique<TVarlist>(), &status);
    EXPECT_EQ(status, TRunStatus::kFinished) << text;
    EXPECT_EQ(out.str(), expected + "again") << text;
  }
}

// Counts of the words before every position, asked after every kind of read
// and jump (which leave the reader on, inside or between words), match a
// plain count of the word ends.
TEST(ScriptReader, WordsBeforeAPositionDoNotDependOnWhereTheReaderStands) {
  const std::string text = "  LET x 12abc 3  y\n";
  std::vector<int> expected;
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    const auto blank = [&](std::size_t i) {
      return i == text.size() || text[i] == ' ' || text[i] == '\n';
    };
    int ends = 0;
    for (std::size_t i = 1; i <= pos; ++i) ends += !blank(i - 1) && blank(i);
    expected.push_back(ends);
  }
  TScriptReader reader = reader_of(text);
  const auto check_all = [&](const char* after) {
    for (std::size_t pos = 0; pos <= text.size(); ++pos) {
      ASSERT_EQ(reader.words_before(pos), expected[pos]) << after << ", position " << pos;
    }
  };
  check_all("start");
  reader.next_word();
  check_all("LET");
  EXPECT_EQ(reader.next_word(), "x");
  EXPECT_EQ(reader.next_number(), 12.0f);
  check_all("12 of 12abc");
  EXPECT_EQ(reader.next_word(), "abc");
  check_all("abc");
  reader.seek(9, 2);
  check_all("seek into 12abc");
  reader.skip_from_start(5);
  check_all("skip to y");
}

// The words from `pos` on, as a plain scan of the text gives them, cut to
// the word size.
std::vector<std::string> scan(const std::string& text, std::size_t pos) {
  std::istringstream in(text.substr(pos));
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word.substr(0, script_limits::kFormulaChars));
  return words;
}

std::vector<std::string> read_all(TScriptReader& reader) {
  std::vector<std::string> words;
  for (std::string_view w = reader.next_word(); !w.empty(); w = reader.next_word()) {
    words.emplace_back(w);
  }
  return words;
}

// The words from every position a jump can reach, also inside words and
// blank runs, and after skipping any number of words from the start, are
// those a plain scan of the text gives, cut to the word size. A word that
// ends the text ends the reading.
TEST(ScriptReader, EveryPositionReadsOnLikeAPlainScan) {
  // clang-format off
  const std::string texts[] = {"  LET x = 1\n\tPRINT x  ", "a", "", "   ", "  LET x 12abc 3",
                               "FOR i = 0 TO 3 STEP 1\nNEXT i", std::string(130, 'w') + " tail\n"};
  // clang-format on
  for (const std::string& text : texts) {
    TScriptReader reader = reader_of(text);
    for (std::size_t pos = 0; pos <= text.size(); ++pos) {
      reader.seek(pos);
      EXPECT_EQ(read_all(reader), scan(text, pos)) << "'" << text << "' from " << pos;
      EXPECT_TRUE(reader.at_end());
    }
    const std::vector<std::string> words = scan(text, 0);
    for (std::size_t k = words.size() + 1; k-- > 0;) {
      reader.skip_from_start(static_cast<int>(k));
      EXPECT_EQ(reader.at_end(), k > 0 && reader.position() == text.size()) << text << k;
      for (std::size_t i = k; i < words.size(); ++i) {
        EXPECT_EQ(reader.next_word(), words[i]) << "'" << text << "' after " << k;
        EXPECT_EQ(reader.at_end(), reader.position() == text.size()) << words[i];
      }
    }
  }
}

// Plain decimals take a shorter path than other numbers; both must read
// what a stream reads, end where it ends and see the end where it does.
TEST(ScriptReader, EveryNumberFormReadsAsAStreamReadsIt) {
  // Texts separated by '|'.
  const std::string texts =
      "5| 42 x|-7.25 |0.1|3.|007.500|-0|+5 |1e3|2.5e-1x|0x1A |inf|nan |-.5|.5|-|1e|5.5.5|"
      "12abc|1e39|1e-50|99999999999999999999999999999999999999999|16777217|0.30000001|"
      "0.000000000000000000000000000000000000000000001|\t\n9\v";
  std::istringstream list(texts);
  for (std::string text; std::getline(list, text, '|');) {
    std::istringstream stream(text);
    float expected = 0;
    stream >> expected;
    // The buffer's position, where failing reads leave it too.
    const auto consumed = static_cast<std::size_t>(
        stream.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
    TScriptReader reader = reader_of(text);
    const std::optional<float> value = reader.next_number();
    ASSERT_EQ(value.has_value(), !stream.fail()) << text;
    if (value) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(*value), std::bit_cast<std::uint32_t>(expected))
          << text;
    }
    EXPECT_EQ(reader.position(), consumed) << text;
    EXPECT_EQ(reader.at_end(), stream.eof() || consumed == text.size()) << text;
  }
}

TEST(ScriptReader, DeclarationsPairEachKeywordWithTheWordAfterIt) {
  // clang-format off
  struct Case { const char* text; const char* name; int words; const char* then; } cases[] = {
      {"GOTO x LABEL x PRINT", "x", 4, "PRINT"}, {"LABEL LABEL x LABEL x y", "x", 5, "y"},
      {"/* LABEL x */ LABEL x z", "x", 3, "*/"}, {"LABEL y", "x", 2, ""}};
  // clang-format on
  for (const Case& c : cases) {
    TScriptReader reader = reader_of(c.text);
    const TDeclarationPlace place = reader.declaration_place("LABEL", c.name);
    EXPECT_EQ(place.words, c.words) << c.text;
    reader.move_past(place);
    EXPECT_EQ(reader.next_word(), c.then) << c.text;
  }
}

// What one run learns about its text (declarations, where variables were
// found, the emptied control list it leaves) must not change the next run of
// the same text, nor of another text in between, even one that stops with
// open loops, calls and ifs.
TEST(ScriptRun, RunsOfATextDoNotDependOnTheRunsBefore) {
  const std::string texts[] = {
      "LABEL a LABEL a PROCEDURE a PRINT x LET x = 1 FOR i = 1 TO 3 STEP 1 LET v[i] = (i*2) "
      "PRINT v[i] NEXT i IF (x=1) THEN GOTO b ENDIF PRINT \"no\" LABEL b CALL p EXIT "
      "PROCEDURE p PRINT \"p\" RETURN",
      "FOR i = 1 TO 9 STEP 1 IF (i=2) THEN CALL q ENDIF NEXT i PROCEDURE q LOOP EXIT",
      "/* LABEL a */ LET y = 2 LABEL FOR:1 LET y = (y+1) FOR j = 1 TO 2 STEP 1 PRINT y NEXT j "
      "IF (y<5) THEN GOTO FOR:1 ENDIF",
  };
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  for (const std::string& text : texts) {
    const std::string first = run_script(text);  // in a fresh context
    for (const std::string& between : texts) {
      run_script(context, between);
      EXPECT_EQ(run_script(context, text), first) << text << "\nafter " << between;
    }
  }
}

// The texts the run writes for loop formulas and the tree's score match
// printf's "%.*f", ties rounded to even, signs of zero kept.
TEST(FixedDecimals, WritesWhatPrintfWrites) {
  // clang-format off
  struct TCase { float value; int decimals; const char* text; } const cases[] = {
      {0.0625f, 3, "0.062"}, {0.1875f, 3, "0.188"}, {-0.0625f, 3, "-0.062"},
      {-0.0f, 6, "-0.000000"}, {-1e-9f, 6, "-0.000000"}, {2.5f, 0, "2"}, {3.5f, 0, "4"},
      {123.456f, 6, "123.456001"}, {1e10f, 6, "10000000000.000000"},
      {16777216.0f, 3, "16777216.000"}};
  // clang-format on
  for (const TCase& c : cases) EXPECT_EQ(fixed_decimals(c.value, c.decimals), c.text) << c.text;
  EXPECT_EQ(fixed_decimals(std::numeric_limits<float>::infinity(), 6), "inf");

  // Bit patterns spread over the finite positive floats, and their
  // negatives, against the general path.
  for (std::uint32_t bits = 0; bits < 0x7F800000u; bits += 0x00001235u) {
    const float v = std::bit_cast<float>(bits);
    for (int decimals : {3, 6}) {
      char text[128];
      const auto r = std::to_chars(text, std::end(text), v, std::chars_format::fixed, decimals);
      const std::string expected(text, r.ptr);
      ASSERT_EQ(fixed_decimals(v, decimals), expected) << bits;
      ASSERT_EQ(fixed_decimals(-v, decimals), std::string("-").append(expected)) << bits;
    }
  }
}

// A run takes over the store it is given and returns no tree without
// EVALTREE; labels, open constructs and variables of one run are gone in the
// next.
TEST(Interpret, TakesOverTheStoreAndLeavesNoStateBehind) {
  auto vars = std::make_unique<TVarlist>();
  vars->insert("LengthOfCycle", "6", 6);
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  EXPECT_EQ(run_script(context, "PRINT LengthOfCycle", std::move(vars)), "6");
  EXPECT_EQ(interpret(context, nullptr, nullptr), nullptr);
  EXPECT_EQ(run_script(context, ""), "");
  EXPECT_EQ(run_script(context, "LABEL l LET a = 1 IF (1) THEN FOR i = 1 TO 5 STEP 1 EXIT"), "");
  EXPECT_EQ(
      run_script(context, "GOTO l PRINT a NEXT i"),
      "\nDynaTARN++: Warning: variable a does not exist.\nError: NEXT without FOR at token #6\n");
}

// The files named out* in the working folder, each after a line with its
// name, in name order; they are removed. Folders are not the cases' files:
// other tests of the same process may have left one.
std::string written_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    if (entry.is_regular_file() && entry.path().filename().string().rfind("out", 0) == 0) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  std::string text;
  for (const auto& file : files) {
    text += "\n--- " + file.filename().string() + "\n" + read_file(file);
    std::filesystem::remove(file);
  }
  return text;
}

// Run once with the engine's caches and once without; each mode runs every
// case in one context, one after the other, as the program runs its script.
// Standard error is compared too (a .err file, none for a case that writes
// nothing there): a memory that skipped a computation would skip its warnings.
class ScriptCases : public ::testing::TestWithParam<bool> {};

TEST_P(ScriptCases, EveryCaseGivesItsExpectedOutput) {
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  context.set_caching(GetParam());
  const std::filesystem::path dir = std::filesystem::path(__FILE__).parent_path() / "cases";
  for (const auto& entry : std::filesystem::directory_iterator(dir / "files")) {
    std::filesystem::copy_file(entry.path(), entry.path().filename(),
                               std::filesystem::copy_options::overwrite_existing);
  }
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::filesystem::path script = entry.path();
    if (script.extension() != ".scr") continue;
    ++cases;
    auto vars = std::make_unique<TVarlist>();
    std::filesystem::path side = script;
    if (std::filesystem::exists(side.replace_extension(".vars"))) vars->read(side.string());
    const std::string input = read_file(side.replace_extension(".in"));
    const std::string expected = read_file(side.replace_extension(".out"));
    const std::string expected_errors = read_file(side.replace_extension(".err"));
    Capture errors(std::cerr);
    std::string out = run_script(context, read_file(script), std::move(vars), input);
    EXPECT_EQ(out + written_files(), expected) << "case " << script.stem();
    EXPECT_EQ(errors.str(), expected_errors) << "case " << script.stem() << ", standard error";
  }
  EXPECT_GT(cases, 0);
}

INSTANTIATE_TEST_SUITE_P(Caching, ScriptCases, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "cached" : "uncached";
                         });

// An endless script ends at the statement limit with its message; the limit
// is lowered here only to keep the test fast. The count includes the keyword
// of the statement refused: the LET of the 500th turn, right after LOOP.
// Words that are no statement count toward no limit, so the loop with them
// stops in the same turn, two words further on.
TEST(ScriptLimits, EndlessLoopEndsAtTheStatementLimit) {
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  context.limits.statements = 1000;
  const std::pair<const char*, const char*> cases[] = {
      {"LET k = 0 LOOP LET k = (k+1) ENDLOOP PRINT k", "#6"},
      {"LET k = 0 LOOP unknown words LET k = (k+1) ENDLOOP PRINT k", "#8"},
      // The 1001st statement is a THEN, after a taken and a skipped IF.
      {"LET k = 0 LET j = 0 LOOP IF (1) THEN ENDIF ENDLOOP", "#12"},
      {"LET k = 0 LET j = 0 LOOP IF (0) THEN ENDIF ENDLOOP", "#12"},
  };
  for (const auto& [script, token] : cases) {
    EXPECT_EQ(run_script(context, script),
              std::string("\nError: more than 1000 statements at token ") + token + "\n")
        << script;
  }
}

// A loop that makes something in every turn ends once the run holds more of
// it than a run may make (limits lowered here; checked every 1024
// statements), with a message naming what there is too much of.
TEST(ScriptLimits, LoopsThatMakeTooMuchEndAtTheSizeLimits) {
  const std::string set =
      "PARAMETERSET name: r lower: 0 upper: 1 median: 0.5 distribution: 1 "
      "dilatation: 1 importance: 1 terms: bad good END ";
  const std::string loop = "FOR i = 0 TO 100000 STEP 1 ";
  const struct {
    std::string script;
    std::string what;
  } cases[] = {
      {loop + "LET x[i] = i NEXT i", "variables"},
      {set + loop + "FUZZYVAR v[i] r NEXT i", "fuzzy variables"},
      {loop + set + "NEXT i", "parameter sets"},
      {set + "EVALTREE r t B AND END FUZZYVAR v r " + loop + "AGGREGATE B AND v w[i] NEXT i",
       "aggregated constraints"},
  };
  for (const auto& c : cases) {
    TEvalContext context;
    context.set_output(std::cout, std::cerr);
    context.limits = {
        .statements = 10'000'000, .variables = 50, .fuzzy_entries = 50, .constraints = 50};
    FeedStdin in("");
    Capture out;
    interpret(context, c.script.c_str(), nullptr);
    EXPECT_NE(out.str().find("\nError: more than 50 " + c.what + " at token #"), std::string::npos)
        << c.what << ": " << out.str().substr(0, 400);
  }
}

// An import that passes a size limit ends the run at once, not at the next
// regular check: imports in a loop cannot pile up entries.
TEST(ScriptLimits, ImportPastTheLimitEndsTheRunAtOnce) {
  std::ofstream file("sixty.vars");
  file << "/* #: 60 */";
  for (int i = 0; i < 60; ++i) file << "\na" << i << " 0 " << i;
  file.close();
  TEvalContext context;
  context.set_output(std::cout, std::cerr);
  context.limits = {
      .statements = 10'000'000, .variables = 50, .fuzzy_entries = 50, .constraints = 50};
  EXPECT_EQ(run_script(context, "IMPORT VARIABLES sixty.vars PRINT \"after\""),
            "\nError: more than 50 variables at token #3\n");
  std::filesystem::remove("sixty.vars");
}

}  // namespace
