// The rule table of the fuzzy statements: a text file of concatenation and
// comparison entries from which rules are generated, read word by word.
//
// Every evaluation runs the rule-generating statements many times over the
// same table, so an evaluation context keeps the words of each table file
// (TRuleTableCache) and reads them again from disk only when the file's
// size or modification time changed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "expint.h"
#include "read_path.h"
#include "tarnrule.h"

// The words of one rule table file, in file order.
class TRuleTable {
 public:
  // The words of the named file, read now. A file that cannot be read has
  // no words. `remember`: whether the table remembers where its entry
  // searches ended.
  static std::shared_ptr<const TRuleTable> load(const std::string& file_name, bool remember = true);

  // Whether the file could be opened for reading when it was last read.
  bool readable() const { return opened; }
  std::size_t size() const { return words.size(); }
  // The i-th word; an empty word past the end, as a read at the end gives.
  std::string_view word(std::size_t i) const {
    return i < words.size() ? std::string_view(words[i]) : std::string_view();
  }

 private:
  friend class TTableReader;
  bool opened = false;
  bool remembers = true;
  std::vector<std::string> words;
  // Where a search from the start for an entry ended, and whether it found
  // the entry: the statements search the same entries for every rating, and
  // the words never change. Keyed by the keyword and the names, each
  // preceded by its length so that no two lists of words share a key.
  struct TFound {
    std::size_t pos = 0;
    bool found = false;
  };
  mutable std::unordered_map<std::string, TFound, TTextHash, std::equal_to<>> entries;
  mutable std::string key;  // room for the key of a search
};

// The rule tables of one evaluation context by file name, each kept while
// its file is unchanged on disk. With `caching` off every load reads the
// file, and the table remembers no entry search.
class TRuleTableCache {
 public:
  std::shared_ptr<const TRuleTable> load(const std::string& file_name);
  // The same for a file located already, by the status found then.
  std::shared_ptr<const TRuleTable> load(const TReadFile& file);
  void clear() { tables.clear(); }
  bool caching = true;

  // What identifies one version of a file on disk. Any write changes the
  // modification or status-change time, a replaced file also its inode.
  struct TFileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const TFileStamp& o) const;
  };

 private:
  struct TKept {
    TFileStamp stamp;
    std::shared_ptr<const TRuleTable> table;
  };
  std::unordered_map<std::string, TKept> tables;
  std::shared_ptr<const TRuleTable> no_words = std::make_shared<const TRuleTable>();
};

// True for the words that end a section of the table: the entry keywords
// CONCAT and COMPARE and the section words AND, OR, =, #, < and >.
bool is_table_keyword(std::string_view word);

class TTableReader;
// Adds the rules of the rest of a CONCAT section: triples of a term of
// `first`, of `second` and of `out`. Returns the word that ended the
// section (empty at the end of the table).
std::string_view add_section_rules(TTableReader& table, RuleSet& rules,
                                   const CombinedVariable& first, const CombinedVariable& second,
                                   const CombinedVariable& out, concat_operator op);
// Whether a block concluding on `name`, appended whole to the rule set, ends
// as its rules would, added one by one: no block concludes on the name yet,
// so they would gather in a new block at the end, and no empty block stops
// the search for blocks before it.
bool takes_block_whole(const RuleSet& rules, std::string_view name);

// Reads a rule table from its start, one word after the other.
class TTableReader {
 public:
  explicit TTableReader(std::shared_ptr<const TRuleTable> table) : table(std::move(table)) {}

  // The next word; empty at the end of the table.
  std::string_view next();
  bool at_end() const { return pos >= table->size(); }

  // Reads on to the word `keyword` followed by `names` in this order. At the
  // first word that differs from its name, the search goes on with the word
  // after it. True when found; the reader then stands after the last name.
  bool find_entry(std::string_view keyword, std::initializer_list<std::string_view> names);
  // Reads on up to and including the next word equal to `word`; false when
  // the table ends first.
  bool skip_to(std::string_view word);

 private:
  bool search_entry(std::string_view keyword, std::initializer_list<std::string_view> names);
  TRuleTable::TFound known_entry(std::string_view keyword,
                                 std::initializer_list<std::string_view> names);

  std::shared_ptr<const TRuleTable> table;
  std::size_t pos = 0;
};
