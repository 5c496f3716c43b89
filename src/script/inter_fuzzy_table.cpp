// Rule table files: the cache of their words and the word-by-word search
// shared by the rule-generating statements and the evaluation tree.
#include "inter_fuzzy_table.h"

#include <sys/stat.h>

#include <fstream>
#include <unordered_map>

#include "base_text.h"
#include "expint.h"
#include "read_path.h"

namespace {

using TFileStamp = TRuleTableCache::TFileStamp;

TFileStamp stamp_of(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

// Splits the file into words; words longer than a script word are cut.
// False when the file cannot be opened or read, or is no file to read
// (is_input_file). Unformatted reads turn a failed read into the
// stream's bad state; an iterator over the stream's buffer would throw.
bool read_words(const std::string& file_name, std::vector<std::string>& words) {
  // Every word is kept apart, at many times its size: the tables the
  // statements read are a few kilobytes, this is far more.
  constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{8} << 20;
  if (!is_input_file(file_name, kMaxTableBytes)) return false;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return false;
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return false;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_space(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !is_space(text[i])) ++i;
    if (i > start)
      words.emplace_back(
          fit(std::string_view(text).substr(start, i - start), script_limits::kFormulaChars));
  }
  return true;
}

}  // namespace

bool TRuleTableCache::TFileStamp::operator==(const TFileStamp& o) const {
  return device == o.device && inode == o.inode && size == o.size &&
         modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
         changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
}

std::shared_ptr<const TRuleTable> TRuleTable::load(const std::string& file_name, bool remember) {
  auto table = std::make_shared<TRuleTable>();
  table->opened = read_words(file_name, table->words);
  table->remembers = remember;
  return table;
}

std::shared_ptr<const TRuleTable> TRuleTableCache::load(const std::string& file_name) {
  TReadFile file{file_name};
  file.exists = ::stat(file_name.c_str(), &file.status) == 0;
  return load(file);
}

std::shared_ptr<const TRuleTable> TRuleTableCache::load(const TReadFile& file) {
  if (!file.exists) {
    tables.erase(file.path);
    return no_words;
  }
  if (!caching) return TRuleTable::load(file.path, false);
  const TFileStamp stamp = stamp_of(file.status);
  TKept& entry = tables[file.path];
  if (entry.table != nullptr && entry.stamp == stamp) return entry.table;
  entry = {stamp, TRuleTable::load(file.path)};
  return entry.table;
}

bool is_table_keyword(std::string_view word) {
  return word == "CONCAT" || word == "COMPARE" || word == "AND" || word == "OR" || word == "=" ||
         word == "#" || word == "<" || word == ">";
}

std::string_view add_section_rules(TTableReader& table, RuleSet& rules,
                                   const CombinedVariable& first, const CombinedVariable& second,
                                   const CombinedVariable& out, concat_operator op) {
  for (;;) {
    const std::string_view t1 = table.next();
    if (t1.empty() || is_table_keyword(t1)) return t1;
    const std::string_view t2 = table.next();
    const std::string_view t3 = table.next();
    if (!t2.empty() && !t3.empty()) rules.add_ComplexRule(&first, t1, &second, t2, &out, t3, op, 1);
  }
}

bool takes_block_whole(const RuleSet& rules, std::string_view name) {
  if (name.empty() || rules.search(name) >= 0) return false;
  for (int b = 0; b < rules.get_number(); ++b) {
    if (rules.find(b)->get_number() == 0) return false;
  }
  return true;
}

std::string_view TTableReader::next() {
  const std::string_view word = table->word(pos);
  if (pos < table->size()) ++pos;
  return word;
}

namespace {

void append_counted(std::string& key, std::string_view word) {
  const std::size_t size = word.size();
  key.append(reinterpret_cast<const char*>(&size), sizeof size);
  key += word;
}

}  // namespace

bool TTableReader::find_entry(std::string_view keyword,
                              std::initializer_list<std::string_view> names) {
  if (pos != 0) return search_entry(keyword, names);
  const TRuleTable::TFound known = known_entry(keyword, names);
  pos = known.pos;
  return known.found;
}

// The outcome of a search from the start: from the entries found before,
// else from a search, remembered.
TRuleTable::TFound TTableReader::known_entry(std::string_view keyword,
                                             std::initializer_list<std::string_view> names) {
  const auto searched = [&] {
    const bool found = search_entry(keyword, names);
    return TRuleTable::TFound{pos, found};
  };
  if (!table->remembers) return searched();
  std::string& key = table->key;
  key.clear();
  append_counted(key, keyword);
  for (std::string_view name : names) append_counted(key, name);
  const auto known = table->entries.find(std::string_view(key));
  const TRuleTable::TFound result = known != table->entries.end() ? known->second : searched();
  if (known == table->entries.end()) table->entries.emplace(key, result);
  return result;
}

bool TTableReader::search_entry(std::string_view keyword,
                                std::initializer_list<std::string_view> names) {
  while (skip_to(keyword)) {
    // The names are read in order up to the first that differs.
    auto name = names.begin();
    while (name != names.end() && next() == *name) ++name;
    if (name == names.end()) return true;
  }
  return false;
}

bool TTableReader::skip_to(std::string_view word) {
  while (!at_end()) {
    if (next() == word) return true;
  }
  return false;
}
