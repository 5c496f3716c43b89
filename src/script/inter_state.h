// State of one interpreter run, shared by the statement families (core,
// control flow, fuzzy statements, evaluation tree), and the word reader over
// the script text.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "expint.h"
#include "read_path.h"
#include "tarnrule.h"

class TEvalContext;
class TEvalTree;
class TRuleTable;

namespace script_limits {
// Bounds that keep every run finite in time and memory.
inline constexpr long kMaxStatements = 50'000'000;
inline constexpr int kMaxNesting = 100'000;  // open CALLs, and open IF, FOR, LOOP levels each
// Levels abandoned by RETURN keep their control entries; this bounds them too.
inline constexpr std::size_t kMaxControlEntries = 2'000'000;
// What a run may make, checked every kSizeCheckStatements statements (with
// kMaxVariables): a script that makes a variable, a fuzzy variable, a
// parameter set or a constraint in every turn of a long loop would otherwise
// fill the memory (a few hundred bytes to a few kilobytes each) long before
// the statement limit ends it.
inline constexpr long kSizeCheckStatements = 1024;
inline constexpr std::size_t kMaxFuzzyEntries = 100'000;  // variables, sets, blocks each
inline constexpr std::size_t kMaxConstraints = 500'000;   // aggregated into the tree
}  // namespace script_limits

// Kinds of control entries, one of each per level of an open construct.
enum class TControlKind : std::uint8_t {
  If,
  For,
  Step,
  To,
  Var,
  ForPos,
  Loop,
  LoopPos,
  ExitLoop,
  CallBranch,
  CallIfCascade,
  CallForCascade,
  CallLoopCascade,
  CallTokens,
  kCount,  // the number of kinds
};

// One control entry; `words` is the number of words before a loop body's
// start, `text` a loop variable's name (a view into the script's text, which
// outlives the run's entries) or "1" for a label.
struct TControlEntry {
  float value = 0;
  int words = -1;  // unknown
  std::string_view text;
};

// The control list: labels and procedures, and the entries of the open
// constructs. An entry's name is its kind's word and its level (IF:1,
// FORPOS:2, CALL:TOKENS:1, ...), and labels share that name space: a label
// spelled like an entry's name is one more entry of that name. Names are not
// unique: every lookup sees the oldest entry of a name, and removing takes
// that one. Entries are held by kind and level, so no name is ever built.
class TControlList {
 public:
  // Adds an entry behind those of its kind and level, and gives it.
  TControlEntry& insert(TControlKind kind, int level, float value, std::string_view text = {}) {
    ++count;
    return queue_made(TKey{kind, level}).push(TControlEntry{value, -1, text});
  }
  // Removes the oldest entry of that kind and level, if any.
  void remove(TControlKind kind, int level) {
    // The list's own queues and entries: the lookups are shared with const.
    auto* found = const_cast<TQueue*>(queue(TKey{kind, level}));
    if (found == nullptr || found->empty()) return;
    found->pop();
    --count;
  }
  const TControlEntry* find(TControlKind kind, int level) const { return front(TKey{kind, level}); }
  TControlEntry* find(TControlKind kind, int level) {
    return const_cast<TControlEntry*>(front(TKey{kind, level}));
  }
  // 0 when absent.
  float value(TControlKind kind, int level) const {
    const TControlEntry* entry = find(kind, level);
    return entry != nullptr ? entry->value : 0.0f;
  }
  // Labels and procedures; a name is cut to the name size.
  void insert_label(std::string_view name);
  bool contains(std::string_view name) const;
  // Whether a name (cut to the name size) is spelled like an entry's name:
  // whether contains() depends on the open constructs, not on labels alone.
  static bool spelled_like_entry(std::string_view name) {
    return key_of(fit(name, script_limits::kNameChars)).has_value();
  }
  std::size_t number() const { return count; }  // entries and labels
  // Removes every entry and label; the queues keep their room.
  void clear();

 private:
  // The entries of one name, oldest first; those before `head` are gone.
  // `size` is the vector's size, kept beside it: control statements look
  // their entries up all the time, and the vector's would be divided out.
  struct TQueue {
    std::vector<TControlEntry> entries;
    std::size_t head = 0;
    std::size_t size = 0;
    bool empty() const { return head == size; }
    TControlEntry& push(TControlEntry entry) {
      ++size;
      return entries.emplace_back(entry);
    }
    // The vector is emptied, keeping its room, once its last entry is gone.
    void pop() {
      if (++head == size) clear();
    }
    void clear() {
      entries.clear();
      head = size = 0;
    }
  };
  struct TKey {
    TControlKind kind;
    int level;
  };
  // The key of an entry's name, for a label spelled like one.
  static std::optional<TKey> key_of(std::string_view name);
  // The queue of a kind and level; null for a deep level that never had one.
  const TQueue* queue(TKey key) const {
    return shallow(key.level) ? &shallow_queues[shallow_index(key)] : deep_queue(key);
  }
  const TQueue* deep_queue(TKey key) const;
  TQueue& queue_made(TKey key) {
    return shallow(key.level) ? shallow_queues[shallow_index(key)] : deep_queue_made(key);
  }
  TQueue& deep_queue_made(TKey key);
  const TControlEntry* front(TKey key) const {
    const TQueue* q = queue(key);
    return q != nullptr && !q->empty() ? &q->entries[q->head] : nullptr;
  }

  // Levels from 0 to kShallowLevels - 1, which scripts use most, have their
  // queues at hand; deeper and negative levels are looked up.
  static constexpr int kShallowLevels = 8;
  static constexpr std::size_t kKinds = static_cast<std::size_t>(TControlKind::kCount);
  static bool shallow(int level) { return level >= 0 && level < kShallowLevels; }
  static std::size_t shallow_index(TKey key) {
    return static_cast<std::size_t>(key.kind) * kShallowLevels +
           static_cast<std::size_t>(key.level);
  }
  static std::uint64_t deep_key(TKey key) {
    return static_cast<std::uint64_t>(key.kind) << 32 | static_cast<std::uint32_t>(key.level);
  }
  std::array<TQueue, kKinds * kShallowLevels> shallow_queues;
  std::unordered_map<std::uint64_t, TQueue> deep_queues;
  // Labels spelled like no entry's name.
  std::unordered_set<std::string, TTextHash, std::equal_to<>> labels;
  std::size_t count = 0;
};

class TScriptRun;
// A statement's handler runs it after its keyword was read.
using TStatementHandler = void (*)(TScriptRun&);
struct TStatement {
  std::string_view keyword;
  TStatementHandler run;
};

// A LABEL (label true) or PROCEDURE declaration.
struct TDeclaration {
  bool label;
  std::string name;
};

// The word reader's whole state, to return to.
struct TReaderPlace {
  std::size_t pos = 0;
  std::size_t following = 0;
  bool end = false;
  bool last_whole = false;
};

// The operands of a PARAMETERSET as read after its keyword, and where the
// reader was left: they read the same every time the statement runs.
struct TParameterSetOperands {
  std::string name;
  float values[6] = {};
  NList terms;
  TReaderPlace after;
  int words_read = 0;
};

// Where a declaration stands: the words read up to its name, or every word
// of the text when there is none.
struct TDeclarationPlace {
  int words = 0;
  bool found = false;
};

// At a FUZZYCOMPARE keyword: what the comparison found there last, which
// holds while each part is the same: the rule table (kept alive, so that no
// other table takes its address) had a COMPARE entry for the two parameter
// sets, and the variable list, in the generation noted, gave the compared
// and the comparison variable for the names and the operator.
struct TComparisonMemory {
  std::shared_ptr<const TRuleTable> table;
  std::string compared_set;
  std::string constraint_set;
  std::uint64_t generation = 0;  // no list's generation: nothing kept
  std::string constraint;
  std::string variable;
  const CombinedVariable* compared = nullptr;
  CombinedVariable* comparison = nullptr;
};

// At a FUZZYCONCAT keyword: the rule table, the names of the three
// variables and of their parameter sets it added rules for last (with the
// keyword's own operator), and the stamp the constraint's block had right
// after. While the block keeps that stamp it holds those rules (equal
// stamps mean equal rules), so the same statement has nothing to add.
struct TConcatMemory {
  std::shared_ptr<const TRuleTable> table;
  std::string names[3];  // first, second, constraint
  std::string sets[3];
  std::uint64_t block_stamp = 0;  // 0: nothing kept
  // The block the rules made when the constraint had none: a later run
  // adds it whole, shared (see TGeneratedBlock).
  std::shared_ptr<const RuleBlock> generated;
  // The constraint's block after the rules were added to it, and the stamp
  // it had before: a later run that meets the block as it was then takes
  // its rules (two statements concluding on one constraint meet each
  // other's blocks in every run).
  std::shared_ptr<const RuleBlock> added;
  std::uint64_t added_to = 0;
};

// The block FUZZYCOMPARE generated for a comparison variable whose
// constraint had none yet, by the rule table, the two parameter sets, the
// comparison variable's and the constraint's names. A later run with the
// same key, where the constraint has no block either and no empty block
// stops the search, adds it whole and shared, as adding the rules one by
// one would, which keeps the block's stamp from run to run.
struct TGeneratedBlock {
  std::shared_ptr<const TRuleTable> table;
  std::string sets[2];
  std::string names[2];
  std::shared_ptr<const RuleBlock> block;
};

// A word cut to the name or the formula size, a view into the script's
// text, with whether it may hold an index and, for a whole word of the text
// that does, the word taken apart at its indices.
struct TNameWord {
  std::string_view text;
  bool may_hold_index;
  TIndexedName* indexed = nullptr;
};

// The operands of a LET, SET, IF, EXITLOOP, NEXT, EVAL, AGGREGATE, FOR, TO
// or STEP as read after its keyword, and where the reader was left: whole
// words of the text, they read the same every time it runs. A statement
// reads only the parts it has.
struct TStatementOperands {
  TNameWord branch{};     // AGGREGATE
  std::string_view oper;  // AGGREGATE
  TNameWord name{};
  TVarlist::THint* hint = nullptr;
  CVList::Hint* fuzzy_hint = nullptr;
  bool resolve = true;  // the separator is '='
  TNameWord formula{};
  // The formula word parsed, when the statement computes it as it stands.
  TFormula* parsed = nullptr;
  // FOR, TO, STEP: the hint of the value word (`formula`), and the word
  // read as a decimal number once it was needed.
  TVarlist::THint* value_hint = nullptr;
  mutable std::optional<float> decimal;
  TReaderPlace after;
  int words_read = 0;
};

// The operands of a FUZZYCOMPARE or FUZZYCONCAT statement as read after its
// keyword: the three name or formula words with what the word list knows of
// them, the operator word, and where reading them left the reader. They are
// whole words of the text, so they read the same every time.
struct TFuzzyOperands {
  TNameWord words[3];
  TVarlist::THint* hints[3] = {};
  CVList::Hint* fuzzy_hints[3] = {};
  std::string_view oper;
  TReaderPlace after;
  int words_read = 0;
};

// What the statements keep per word of the text: each part depends on the
// text alone, or is checked against what it was made from.
struct TWordMemory {
  // At a FOR or STEP keyword: the loop formula made there last, which
  // starts with the loop variable's name of `formula_name_size` characters,
  // from a value of the bits `formula_value_bits`.
  std::string formula;
  std::size_t formula_name_size = 0;
  std::uint32_t formula_value_bits = 0;
  // At a CALL or GOTO keyword whose target name depends on the text alone:
  // whether the name is declared, and where its PROCEDURE or LABEL
  // declaration is.
  struct TJumpTarget {
    bool declared = false;
    TDeclarationPlace place;
  };
  std::optional<TJumpTarget> jump_target;
  // At a STEP keyword: where the loop variable was found last.
  TVarlist::THint loop_variable;
  // At the keywords of these statements, once they were met.
  std::unique_ptr<TComparisonMemory> comparison;   // FUZZYCOMPARE
  std::unique_ptr<TConcatMemory> concat;           // FUZZYCONCAT
  std::unique_ptr<TGeneratedBlock> compare_block;  // FUZZYCOMPARE
  std::unique_ptr<TParameterSetOperands> parameter_set;
  std::unique_ptr<TStatementOperands> operands;  // see TStatementOperands
  // At a FUZZYCOMPARE or FUZZYCONCAT keyword, once its operands were read.
  std::unique_ptr<TFuzzyOperands> fuzzy_operands;
};

// The words of a script text, which depend on the text alone: where each
// word starts and ends, the statement each word starts (null for none), and
// per keyword the declarations searched for so far. Runs of the same text
// share one, so the text is split only when it changes.
struct TScriptWords {
  std::string text;  // the text the offsets refer to
  std::vector<std::uint32_t> starts;
  std::vector<std::uint32_t> ends;
  std::vector<std::string_view> cut;  // each word cut to the word size
  // Per word: for a comment's opening word, the word that closes it, nested
  // comments counted; -1 for other words and for comments left open.
  std::vector<int> comment_close;
  std::vector<const TStatement*> statements;
  // Per word whose cut text holds a '[': the text taken apart at its indices,
  // and the same for it cut to the name size if shorter and still with a '['.
  std::vector<std::unique_ptr<TIndexedName>> indexed;
  std::vector<std::unique_ptr<TIndexedName>> indexed_names;
  // Per word: where the variable it names was last found, in whatever store.
  std::vector<TVarlist::THint> hints;
  // Per word: the word parsed as a formula, once a statement computed it.
  std::vector<std::unique_ptr<TFormula>> formulas;
  // Per word: where an IF part read from it on ends (skip_if_part), once
  // searched: that word, -1 for none, -2 not searched yet.
  std::vector<int> if_part_ends;
  // Per word: where the fuzzy variable it names was last found.
  std::vector<CVList::Hint> fuzzy_hints;
  std::vector<TWordMemory> memories;
  // The label and procedure declarations in text order, once a run read them.
  std::optional<std::vector<TDeclaration>> declared;
  // Per keyword: name -> words read up to the name, for the first such pair.
  std::unordered_map<std::string, std::unordered_map<std::string_view, int>, TTextHash,
                     std::equal_to<>>
      declarations;
};

// Reads the script text the way a string stream's word extraction does:
// white space separates words, a read at the end yields an empty word, and the
// read position is a character offset that jumps can return to.
class TScriptReader {
 public:
  // Reads `text` through `last` when that was made for the same text, else
  // a new word list that `last` then keeps. Without `caching` the words'
  // hints and memories are not handed out (null).
  TScriptReader(std::string_view text, std::shared_ptr<TScriptWords>& last, bool caching);

  // The next word, cut to the word size; empty at the end of the text.
  // Other positions than the end of the previous word search.
  std::string_view next_word() {
    const std::size_t k = following;
    if (!stands_before(k)) return search_word();
    pass_word(k);
    return cut[k];
  }
  // Reads the next word as next_word does. When it is a whole word of the
  // text (not the rest of one a number was read from), as nearly every word
  // is, gives true and the statement the word starts (null for none);
  // otherwise false and the word, to be looked up by its text.
  bool next_statement(const TStatement*& statement, std::string_view& word) {
    const std::size_t k = following;
    if (!stands_before(k)) {
      word = search_word();
      if (!last_whole) return false;
      statement = statements[following - 1];
      return true;
    }
    pass_word(k);
    statement = statements[k];
    return true;
  }
  // Whether the word just read may hold an index: false only for a whole
  // word of the text without a '['.
  bool last_word_may_hold_index() const {
    return !last_whole || words->indexed[following - 1] != nullptr;
  }
  // The word just read taken apart at its indices, when it is a whole word
  // of the text that holds one after cutting it to `chars` characters (the
  // name or the formula size); null otherwise.
  TIndexedName* indexed_last_word(std::size_t chars) const {
    if (!last_whole) return nullptr;
    const std::size_t k = following - 1;
    return chars < words->cut[k].size() ? words->indexed_names[k].get() : words->indexed[k].get();
  }
  std::optional<std::vector<TDeclaration>>& declared() { return words->declared; }
  // The hint, fuzzy hint and memory of the word just read, when it is a
  // whole word; null otherwise.
  TVarlist::THint* hint_of_last_word() const {
    return last_whole && remembering ? &words->hints[following - 1] : nullptr;
  }
  // The word just read parsed as a formula, when it is a whole word and
  // `formula` is its text (not a text made from it); null otherwise.
  TFormula* formula_of_last_word(std::string_view formula) const {
    if (!last_whole) return nullptr;
    const std::size_t k = following - 1;
    const std::string_view word = words->cut[k];
    if (formula.data() != word.data() || formula.size() != word.size()) return nullptr;
    TFormula* parsed = words->formulas[k].get();
    return parsed != nullptr ? parsed : parse_word(k);
  }
  CVList::Hint* fuzzy_hint_of_last_word() const {
    return last_whole && remembering ? &words->fuzzy_hints[following - 1] : nullptr;
  }
  TWordMemory* memory_of_last_word() const {
    return last_whole && !memories.empty() ? &memories[following - 1] : nullptr;
  }
  // From the end of the word just read, reads on to the word that ends an
  // IF part (ELSE at its level or ENDIF, nested IFs counted) and gives it with
  // the words read; nothing, reader unmoved, elsewhere or when none follows.
  struct TSkipped {
    std::string_view word;
    int words;
  };
  std::optional<TSkipped> skip_if_part();
  TReaderPlace place() const { return {pos, following, end, last_whole}; }
  void restore(const TReaderPlace& place) {
    pos = place.pos;
    following = place.following;
    end = place.end;
    last_whole = place.last_whole;
  }
  // When the word just read opens a comment that closes further on, reads on
  // past the closing word and gives the number of words that took;
  // otherwise nothing, and the comment must be read word by word.
  std::optional<int> skip_closed_comment();
  // A number by the stream's floating-point extraction (it may end inside a
  // word); nothing when no number stands there.
  std::optional<float> next_number();
  // An integer by the stream's integer extraction (it stops at the first
  // character that is no digit); nothing when no integer stands there or it
  // does not fit an int.
  std::optional<int> next_integer();
  // True once a read has reached the end of the text; a jump clears it.
  bool at_end() const { return end; }
  std::size_t position() const { return pos; }
  void seek(std::size_t position) {
    pos = std::min(position, text.size());
    end = false;
  }
  // The same, with the number of words before `position` as a hint that
  // lets the next read take the following word without a search.
  void seek(std::size_t position, int words_before_position) {
    seek(position);
    following = static_cast<std::size_t>(std::max(words_before_position, 0));
  }
  // Number of words of the text that end at or before `position`.
  int words_before(std::size_t position) const;
  // Moves to the place reached by reading `count` words from the start.
  void skip_from_start(int count);
  // Where the first word `keyword` directly followed by `name` stands, as a
  // search from the start finds it (each `keyword` takes the word after it,
  // matching or not): the words read up to the name, or every word of the
  // text when there is no such pair.
  TDeclarationPlace declaration_place(std::string_view keyword, std::string_view name);
  // Moves just past the name of a declaration, or to the end of the text
  // when there is none.
  void move_past(const TDeclarationPlace& declaration);

 private:
  std::shared_ptr<TScriptWords> words;
  std::string_view text;  // words->text
  // The parts of the word list read at nearly every word, at hand (the list
  // keeps its size); `memories` is empty when they are not handed out.
  std::span<const std::uint32_t> ends;
  std::span<const std::string_view> cut;
  std::span<const TStatement* const> statements;
  std::span<TWordMemory> memories;
  std::size_t pos = 0;
  bool end = false;
  std::size_t following = 0;  // the word that probably comes next
  bool last_whole = false;    // the last word read was following - 1
  bool remembering = true;    // hints and memories of words are handed out

  // Whether word k is the next word, the read position at the end of the word before.
  bool stands_before(std::size_t k) const {
    return k != 0 && k < ends.size() && ends[k - 1] == pos;
  }
  // Moves the read position past word k, the next word.
  void pass_word(std::size_t k) {
    pos = ends[k];
    following = k + 1;
    last_whole = true;
    end = pos == text.size();
  }
  // Parses word i as a formula, once.
  TFormula* parse_word(std::size_t i) const;
  std::string_view search_word();
  std::optional<float> plain_number();
  template <class TNumber>
  std::optional<TNumber> extracted();
};

// Everything one run works on. Statement handlers read their operands through
// the counted read operations and end the run with stop().
class TScriptRun : public TDivisionByZeroListener {
 public:
  TScriptRun(TEvalContext& context, std::string_view text, std::unique_ptr<TVarlist> vars);
  TScriptRun(const TScriptRun&) = delete;
  TScriptRun& operator=(const TScriptRun&) = delete;
  ~TScriptRun() = default;

  TEvalContext& Context;  // memories and buffers of the run
  // The context's streams: the script writes to out(), the fuzzy library
  // reports to errors().
  std::ostream& out() const;
  std::ostream* errors() const;

  std::unique_ptr<TVarlist> Vars;          // the script's variables
  std::unique_ptr<TControlList> Controls;  // labels, procedures and open constructs
  // Parameter sets, fuzzy variables, operators and rules. Shared so that the
  // evaluation tree can keep a link that lapses when the rule set is replaced
  // or the run ends.
  std::shared_ptr<RuleSet> Rules;
  std::unique_ptr<TEvalTree> Evals;  // handed to the caller at the end
  // Makes `rules` the run's rule set, evaluating through the context's
  // memory of rule evaluations while it caches.
  void use_rules(std::shared_ptr<RuleSet> rules);
  bool uncombined_reported = false;  // tree results left uncombined were reported
  // The rule table of the fuzzy statements as the script named it ("empty":
  // none named yet, also when a file of that name exists), and the file
  // that name was found as, which the table is loaded from.
  std::string tablename = "empty";
  std::string table_path;
  // The name to open for reading a file the script names: beside the
  // domain file when it is not in the working folder (read_path.h).
  std::string read_path(const std::string& name) const;
  // The same with what stat(2) said of the file, for readers that keep
  // what they read by the file's status.
  TReadFile locate_read_file(const std::string& name) const;
  // The name to open for writing a file the script names: in the output
  // folder when one is set (read_path.h).
  std::string write_path(const std::string& name) const;
  // The rule table's words as this run last loaded them (null: load again).
  // A run checks the file once and again only after it wrote a file itself,
  // rather than for every statement that generates rules.
  std::shared_ptr<const TRuleTable> table;
  // The run's rule table: `table`, loaded again when null or while the
  // context does not cache (then the file is checked every time). A
  // reference: copying the link would take two atomic operations.
  const std::shared_ptr<const TRuleTable>& rule_table();
  int number_of_tokens = 0;  // words read so far
  int branch = 0;            // innermost IF: 1 taken, -1 not taken, 0 none
  int if_cascade = 0;
  int for_cascade = 0;
  int loop_cascade = 0;
  int proc_cascade = 0;
  TScriptReader reader;

  // Counted reads, inline as they run for nearly every word: every word
  // read adds one to number_of_tokens.
  std::string_view read_word() {
    ++number_of_tokens;
    return reader.next_word();
  }
  // A word cut to the name size.
  std::string read_name() { return std::string(fit(read_word(), script_limits::kNameChars)); }
  using TNameWord = ::TNameWord;
  TNameWord read_name_word() { return read_word_cut(script_limits::kNameChars); }
  TNameWord read_formula_word() { return read_word_cut(script_limits::kFormulaChars); }
  TNameWord read_word_cut(std::size_t chars) {
    const std::string_view text = fit(read_word(), chars);
    return {text, reader.last_word_may_hold_index(), reader.indexed_last_word(chars)};
  }
  std::optional<float> read_number();
  std::optional<int> read_integer();
  // A word read as the keyword of a statement: see TScriptReader::next_statement.
  bool read_statement(const TStatement*& statement, std::string_view& word) {
    ++number_of_tokens;
    return reader.next_statement(statement, word);
  }
  // The operands kept at the keyword of `memory`, the reader moved past them
  // as reading them moves it; null when none are kept there.
  const TStatementOperands* kept_operands(const TWordMemory* memory) {
    return memory != nullptr ? kept(memory->operands) : nullptr;
  }
  // The same for any record of operands that notes where reading them left
  // the reader (`after`) and how many words that took (`words_read`).
  template <class TOperands>
  const TOperands* kept(const std::unique_ptr<TOperands>& operands) {
    if (operands == nullptr) return nullptr;
    reader.restore(operands->after);
    number_of_tokens += operands->words_read;
    return operands.get();
  }
  // Operands read word by word, into this room first, emptied before each
  // statement reads, so a kept record holds only what its statement read
  // (no hint of a run gone by).
  TStatementOperands operands_read;
  // The same for the operands of FUZZYCOMPARE and FUZZYCONCAT.
  TFuzzyOperands fuzzy_operands_read;
  // Keeps operands_read, read since `words_before` words, at the keyword of
  // `memory` when they were whole words of the text, as the last one shows;
  // gives the kept copy, or else operands_read.
  const TStatementOperands& keep_operands(TWordMemory* memory, int words_before);
  // Continues reading at `position`; the count becomes the words before it.
  void jump_to(std::size_t position);
  // The same when the number of words before `position` is known.
  void jump_to(std::size_t position, int words_before_position) {
    reader.seek(position, words_before_position);
    number_of_tokens = words_before_position;
  }

  // A variable hint for the name just read: the hint of its place in the
  // text, so that a statement met again finds its variable at once.
  TVarlist::THint& name_hint() {
    if (TVarlist::THint* hint = reader.hint_of_last_word()) return *hint;
    unplaced_hint = {};
    return unplaced_hint;
  }
  // Finds the variable `name`, resolved from `word`, through the word's
  // hint. A word without an index names the same variable every time.
  TVariable* find_named(const TNameWord& word, std::string_view name, TVarlist::THint& hint) {
    return word.may_hold_index ? Vars->find(name, hint) : Vars->find_named(name, hint);
  }
  // The same for the rule set's fuzzy variable of that name.
  CVList::Hint& fuzzy_name_hint() {
    if (CVList::Hint* hint = reader.fuzzy_hint_of_last_word()) return *hint;
    unplaced_fuzzy_hint = {};
    return unplaced_fuzzy_hint;
  }

  // Resolves the index expressions of a name word (the result cut to the
  // name size) or a formula word. A word the text shows to have no index
  // stays as it is without a search; one taken apart computes its indices
  // only (the view is then valid until that word is resolved again); any
  // other text with a '[' is resolved in `storage`.
  std::string_view resolve_name_view(const TNameWord& word, std::string& storage) {
    return fit(resolve_formula_view(word, storage), script_limits::kNameChars);
  }
  std::string_view resolve_formula_view(const TNameWord& word, std::string& storage) {
    if (!word.may_hold_index) return word.text;
    if (word.indexed != nullptr) return word.indexed->resolve(*Vars);
    if (word.text.find('[') == std::string_view::npos) return word.text;
    storage.assign(word.text);
    return Vars->real_name(storage);
  }
  // Computes a formula against Vars; `indexed`: the word it may come from.
  // The formula is mostly the word read last, parsed once.
  float compute(std::string_view formula, TIndexedName* indexed = nullptr) {
    if (indexed != nullptr && formula.data() == indexed->resolved().data()) {
      return indexed->compute(*Vars);
    }
    TFormula* parsed = reader.formula_of_last_word(formula);
    return parsed != nullptr ? parsed->compute(*Vars) : compute_formula(formula, *Vars);
  }
  // The parse of the formula word just read into `operands`, kept with them
  // when the statement computes the word as it stands (no index in it).
  void keep_parse(TStatementOperands& operands) {
    if (operands.formula.indexed == nullptr) {
      operands.parsed = reader.formula_of_last_word(operands.formula.text);
    }
  }
  // Computes the formula a statement made of its operands' formula word:
  // through the parse kept with them, or else as compute() does.
  float compute(const TStatementOperands& operands, std::string_view formula) {
    return operands.parsed != nullptr ? operands.parsed->compute(*Vars)
                                      : compute(formula, operands.formula.indexed);
  }

  // The message naming what the run has made too many of, once it holds
  // more of anything than a run may make; nothing otherwise.
  std::optional<std::string> size_limit_passed() const;
  // Ends the run; the message, if any, is printed between line breaks.
  void stop();
  void stop(std::string_view message);
  // The same with " at token #<count>" after the message, the words read so
  // far: the messages of statements that cannot go on. Rare, so out of line.
  [[gnu::noinline]] void stop_at_token(std::string_view message);
  bool stopped() const { return halted; }
  // A division by zero in the run's store ends the run at once: the
  // statement in progress goes on without a word (the context's streams
  // are muted until the run ends) and no other statement runs.
  void divided_by_zero() override;
  bool divided() const { return division; }

  // Room for a formula a statement builds, kept from one statement to the next.
  std::string built_formula;
  // Rooms for the texts a statement resolves its operands into (see
  // resolve_name_view), kept from one statement to the next: strings made
  // and dropped in every statement would cost more than the rare texts they
  // hold. A statement gives each operand it resolves a room of its own.
  std::string rooms[3];

 private:
  bool halted = false;
  bool division = false;
  TVarlist::THint unplaced_hint;  // for words that are not whole words of the text
  CVList::Hint unplaced_fuzzy_hint;
};

// The statement families; each lives in its own file.
std::span<const TStatement> core_statements();
std::span<const TStatement> control_statements();
std::span<const TStatement> fuzzy_statements();
std::span<const TStatement> evaltree_statements();

// The operands of a LET or SET, name =|: formula, read after its keyword
// and kept there; operands kept before are taken through kept_operands(),
// so this runs once per keyword, out of line. When the separator is
// neither, the run stops with the message "Error: '= or :' missing in "
// `keyword` name `separator` word.
[[gnu::noinline]] const TStatementOperands* read_assignment_operands(TScriptRun& run,
                                                                     std::string_view keyword,
                                                                     std::string_view separator);

// Skips a comment after its opening word: nested comments end with the
// closing word that balances every opening word.
void skip_comment(TScriptRun& run);

// Evaluation-tree service of DELETE EVALTREE, provided with the tree statements:
// removes the tree's variable and frees the tree; false when no tree exists.
bool delete_evaltree(TScriptRun& run);

// `v` with `decimals` digits after the point (0 to 6), as printf's "%.*f"
// writes it.
std::string fixed_decimals(float v, int decimals);
// The same, appended to `text`.
void append_fixed_decimals(std::string& text, float v, int decimals);
