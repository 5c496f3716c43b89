// Export of the domain as named script variables: into a variable store before
// every evaluation, and as the domain variables file.
//
// One walk over the domain (VisitVariables) fixes the names and their order;
// the store and the file each format what the walk hands them. Names and
// numbers are formatted into stack buffers, since the export runs once for
// every evaluation the optimizer makes. The names depend on the sizes of the
// domain's tables alone, so an export into an empty store is a copy of the
// store the latest export of the same sizes filled, brought up to date where
// values changed.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "domtarn.h"
#include "domtarn_text.h"
#include "expint.h"
#include "inter_context.h"

namespace {

// A variable's name: a prefix, up to two bracketed indices and a suffix, as
// "plan[" 2 "][" 13 "]" or "groups[" 0 "].name"; formatted only for the
// sinks that need it.
struct CName {
  std::string_view prefix;
  int first = -1;  // none when negative
  int second = -1;
  std::string_view suffix;

  std::string_view Format(CTextBuffer& out) const {
    out << prefix;
    if (first >= 0) out << first;
    if (second >= 0) out << "][" << second;
    out << suffix;
    return out.View();
  }
};

// A name between double quotes. The name is cut so that both quotes fit in a
// formula text of the variable store.
std::string Quoted(std::string_view name) {
  std::string text;
  text.reserve(script_limits::kFormulaChars);
  text += '"';
  text += fit(name, script_limits::kFormulaChars - 2);
  text += '"';
  return text;
}

// Fills a variable store: integers and floats keep their value, floats get a
// formula with six decimals, names a quoted formula and the value 0.
class StoreSink {
 public:
  explicit StoreSink(TVarlist& vars) : vars(vars) {}
  void Int(const CName& name, int value) {
    CTextBuffer formula;
    formula << value;
    Insert(name, formula.View(), static_cast<float>(value));
  }
  void Float(const CName& name, float value) {
    CTextBuffer formula;
    formula.Fixed(value);
    Insert(name, formula.View(), value);
  }
  void Text(const CName& name, std::string_view text) { Insert(name, Quoted(text), 0); }

 private:
  void Insert(const CName& name, std::string_view formula, float value) {
    CTextBuffer text;
    vars.insert(name.Format(text), formula, value);
  }
  TVarlist& vars;
};

// Brings a store that holds the variables of an earlier export of the same
// shape up to date, as the store sink would have inserted them. A number's
// formula is a function of its value, so a variable whose value is the same
// bit for bit keeps its formula; only an int beyond the floats' exact range
// may differ from the one its value was rounded from, and is written anew.
// Values are compared with `values`, the store's values in its order, so
// that the store itself is read only where a value changed. Texts are
// compared before quoting and substitution (`texts`, the texts the store's
// quoted formulas came from); a changed one is substituted at once, which
// reads only the store's names, all there. The rows of the groups whose
// inputs did not change since the store's last update (not marked in
// `changed_groups`), and so neither did their values, are passed over unread.
class UpdateSink {
 public:
  // `changed` receives the positions of the variables written anew.
  UpdateSink(TVarlist& vars, std::vector<float>& values, std::vector<std::string>& texts,
             const std::vector<bool>& changed_groups, std::vector<std::size_t>& changed)
      : vars(vars), values(values), texts(texts), changed_groups(changed_groups), changed(changed) {
    changed.clear();
  }
  bool PassOver(std::size_t group, std::size_t variables) {
    if (group >= changed_groups.size() || changed_groups[group]) return false;
    next += variables;
    return true;
  }
  void Int(const CName&, int value) {
    constexpr int kExact = 1 << 24;
    const auto v = static_cast<float>(value);
    if (Same(v) && value > -kExact && value < kExact) {
      ++next;
      return;
    }
    CTextBuffer formula;
    formula << value;
    Update(formula.View(), v);
  }
  void Float(const CName&, float value) {
    if (Same(value)) {
      ++next;
      return;
    }
    CTextBuffer formula;
    formula.Fixed(value);
    Update(formula.View(), value);
  }
  void Text(const CName&, std::string_view text) {
    if (text_count < texts.size() && texts[text_count] == text) {
      ++text_count;
      ++next;
      return;
    }
    if (text_count == texts.size()) texts.emplace_back();
    texts[text_count++] = text;
    std::string formula = Quoted(text);
    Update(vars.substitute(formula), 0);
  }

 private:
  bool Same(float value) const {
    return std::bit_cast<std::uint32_t>(values[next]) == std::bit_cast<std::uint32_t>(value);
  }
  void Update(std::string_view formula, float value) {
    TVariable& var = vars.get(next);
    vars.set_formula(var, formula);
    var.set_value(value);
    var.set_comp(value == 0.0f ? 0 : 1);
    values[next] = value;
    changed.push_back(next++);
  }
  TVarlist& vars;
  std::vector<float>& values;
  std::vector<std::string>& texts;
  const std::vector<bool>& changed_groups;
  std::vector<std::size_t>& changed;
  std::size_t next = 0;
  std::size_t text_count = 0;
};

// Counts the variables of an export.
class CountSink {
 public:
  void Int(const CName&, int) { ++count; }
  void Float(const CName&, float) { ++count; }
  void Text(const CName&, std::string_view) { ++count; }
  std::size_t Count() const { return count; }

 private:
  std::size_t count = 0;
};

// Collects the lines of the domain variables file and counts them.
class FileSink {
 public:
  void Int(const CName& name, int value) {
    CTextBuffer number;
    number << value;
    Line(name, number.View(), number.View());
  }
  void Float(const CName& name, float value) {
    CTextBuffer number;
    number.General(value);
    Line(name, number.View(), number.View());
  }
  void Text(const CName& name, std::string_view text) { Line(name, Quoted(text), "0"); }

  std::size_t Count() const { return count; }
  const std::string& Lines() const { return lines; }

 private:
  void Line(const CName& name, std::string_view formula, std::string_view value) {
    CTextBuffer text;
    ((((lines += name.Format(text)) += ' ') += formula) += ' ') += value;
    lines += '\n';
    ++count;
  }
  std::string lines;
  std::size_t count = 0;
};

// Whether the sink passes over the `variables` of one group's row in the
// table being visited; only a sink with PassOver can.
template <class Sink>
bool PassesOver(Sink& sink, std::size_t group, std::size_t variables) {
  if constexpr (requires { sink.PassOver(group, variables); }) {
    return sink.PassOver(group, variables);
  } else {
    return false;
  }
}

}  // namespace

template <class Sink>
void CShiftSchedulingDomain::VisitVariables(Sink& sink) const {
  const auto index = [](std::size_t i) { return static_cast<int>(i); };
  sink.Int(CName{"LengthOfCycle", -1, -1, ""}, LengthOfCycle);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    sink.Text(CName{"groups[", index(g), -1, "].name"}, groups[g].GetName());
    sink.Int(CName{"groups[", index(g), -1, "].members"}, groups[g].GetMembers());
  }
  for (std::size_t k = 0; k < shifts.size(); ++k) {
    sink.Text(CName{"shifts[", index(k), -1, "].name"}, shifts[k].GetName());
    sink.Float(CName{"shifts[", index(k), -1, "].length"}, shifts[k].GetLength());
  }
  for (std::size_t g = 0; g < schedule.size(); ++g) {
    if (PassesOver(sink, g, schedule[g].size())) continue;
    for (std::size_t d = 0; d < schedule[g].size(); ++d) {
      sink.Int(CName{"plan[", index(g), index(d), "]"}, schedule[g][d]);
    }
  }
  for (std::size_t g = 0; g < c_diff.size(); ++g) {
    if (PassesOver(sink, g, c_diff[g].size())) continue;
    for (std::size_t i = 0; i < c_diff[g].size(); ++i) {
      sink.Float(CName{"c_diff[", index(g), index(i), "]"}, c_diff[g][i]);
    }
  }
  for (std::size_t g = 0; g < c_work.size(); ++g) {
    if (PassesOver(sink, g, c_work[g].size())) continue;
    for (std::size_t w = 0; w < c_work[g].size(); ++w) {
      sink.Float(CName{"c_work[", index(g), index(w), "]"}, c_work[g][w]);
    }
  }
  for (std::size_t g = 0; g < c_shiftblocks.size(); ++g) {
    const std::vector<CShiftBlock>& blocks = c_shiftblocks[g];
    if (PassesOver(sink, g, 1 + 2 * blocks.size())) continue;
    sink.Int(CName{"c_numberofblocks[", index(g), -1, "]"}, static_cast<int>(blocks.size()));
    for (std::size_t j = 0; j < blocks.size(); ++j) {
      sink.Int(CName{"c_shiftblocks[", index(g), index(j), "].start"}, blocks[j].start);
      sink.Int(CName{"c_shiftblocks[", index(g), index(j), "].size"}, blocks[j].size);
    }
  }
  for (std::size_t g = 0; g < c_freeweekends.size(); ++g) {
    if (PassesOver(sink, g, 1)) continue;
    sink.Float(CName{"c_freeweekends[", index(g), -1, "]"}, c_freeweekends[g]);
  }
  for (std::size_t g = 0; g < c_badweekends.size(); ++g) {
    if (PassesOver(sink, g, c_badweekends[g].size())) continue;
    for (std::size_t w = 0; w < c_badweekends[g].size(); ++w) {
      sink.Int(CName{"c_badweekends[", index(g), index(w), "]"}, c_badweekends[g][w]);
    }
  }
}

// The sizes that fix the names VisitVariables hands out, in its order.
void CShiftSchedulingDomain::ExportShape(std::vector<std::size_t>& shape) const {
  shape.clear();
  const auto rows = [&shape](const auto& table) {
    shape.push_back(table.size());
    for (const auto& row : table) shape.push_back(row.size());
  };
  shape.push_back(groups.size());
  shape.push_back(shifts.size());
  rows(schedule);
  rows(c_diff);
  rows(c_work);
  rows(c_shiftblocks);
  shape.push_back(c_freeweekends.size());
  rows(c_badweekends);
}

void CShiftSchedulingDomain::InitializeVariables(TVarlist* vars) {
  ComputeConstraintVars();
  if (vars == nullptr) return;
  // The store is sized for the export and the variables the script adds
  // (as many as the last run's store held, at least 64), so that filling it
  // moves nothing.
  const std::size_t before = vars->number();
  const auto room = [this](std::size_t exported) {
    constexpr std::size_t kMinScriptVariablesRoom = 64;
    const std::size_t seen = cEvalContext->store_size;
    return std::max(kMinScriptVariablesRoom, seen > exported ? seen - exported : 0);
  };
  PendingFileTemplate.reset();
  PendingFileStore = nullptr;
  // Without caching no template is used or kept.
  const bool caching = GetCaching();
  if (before == 0 && caching) {
    ExportShape(Shape);
    const auto same = std::find_if(ExportTemplates.begin(), ExportTemplates.end(),
                                   [this](const CExportTemplate& t) { return t.shape == Shape; });
    if (same != ExportTemplates.end()) {
      NoteChangedGroups(same->inputs, Computed.lengths, false, ExportChangedGroups);
      UpdateSink sink(*same->store, same->values, same->texts, ExportChangedGroups,
                      ChangedVariables);
      VisitVariables(sink);
      RefreshFileText(*same);
      vars->copy_from(*same->store, room(same->store->number()));
      PendingFileTemplate = static_cast<std::size_t>(same - ExportTemplates.begin());
      PendingFileStore = vars;
      return;
    }
  }
  CountSink count;
  VisitVariables(count);
  const std::size_t exported = before + count.Count();
  vars->reserve(exported + room(exported));
  StoreSink sink(*vars);
  VisitVariables(sink);
  vars->substitute_all();
  if (before != 0 || !caching) return;
  // Identified by the memory, the store's names (and those of its template
  // and the template's copies) carry what their index substitutions gave
  // from run to run.
  vars->set_formula_memory(&cEvalContext->formulas);
  // The new template's file text is made now, for this evaluation's file and
  // for the exports of its shape that follow.
  const std::size_t kept = KeepExportTemplate(*vars, room(vars->number()));
  ChangedVariables.clear();
  RefreshFileText(ExportTemplates[kept]);
  PendingFileTemplate = kept;
  PendingFileStore = vars;
}

// A bounded number of shapes is kept; a new one replaces the oldest. Random
// repair moves the roster back and forth between a dozen or so shapes (block
// counts of the teams), which sixteen templates hold; eight kept too few, and
// most exports then filled the store name by name.
std::size_t CShiftSchedulingDomain::KeepExportTemplate(const TVarlist& vars, std::size_t room) {
  constexpr std::size_t kMaxTemplates = 16;
  auto store = std::make_shared<TVarlist>();
  // The copy's index is sized for the room, so that copies of the copy are.
  store->copy_from(vars, room);
  std::vector<float> values(vars.number());
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = vars.get(i).get_value();
  CExportTemplate kept_template{Shape, std::move(store), std::move(values), {}, {}, {}, Computed};
  if (ExportTemplates.size() < kMaxTemplates) {
    ExportTemplates.push_back(std::move(kept_template));
    return ExportTemplates.size() - 1;
  }
  const std::size_t kept = NextTemplate;
  ExportTemplates[kept] = std::move(kept_template);
  NextTemplate = (NextTemplate + 1) % kMaxTemplates;
  return kept;
}

char* CShiftSchedulingDomain::CFileText::Room(std::size_t chars) {
  if (capacity < chars) {
    data = std::make_unique_for_overwrite<char[]>(chars);
    capacity = chars;
    size = 0;
  }
  return data.get();
}

// A new template's text is made whole, once; after that only the changed
// lines are formatted, and the runs of lines between them are copied.
void CShiftSchedulingDomain::RefreshFileText(CExportTemplate& t) {
  const TVarlist& store = *t.store;
  const std::size_t room = VariablesFileRoom(store.number());
  char* const first = FileScratch.Room(room);
  char* const last = first + room;
  // The text written becomes the template's; its old buffer takes the next.
  const auto take_written = [&](const char* out) {
    FileScratch.size = static_cast<std::size_t>(out - first);
    std::swap(FileScratch, t.file_text);
  };
  if (t.line_ends.size() != store.number()) {
    t.line_ends.clear();
    char* out = PutCountLine(first, store.number());
    for (std::size_t i = 0; i < store.number(); ++i) {
      out = PutVariableLine(out, last, store.get(i));
      t.line_ends.push_back(static_cast<std::size_t>(out - first));
    }
    take_written(out);
    return;
  }
  if (ChangedVariables.empty()) return;
  const char* const old = t.file_text.data.get();
  const std::size_t head = PutCountLine(first, store.number()) - first;
  char* out = first;
  std::size_t copied = 0;     // old text up to here is in place
  std::size_t next_line = 0;  // lines before it have their new ends
  std::ptrdiff_t shift = 0;   // new minus old offsets of the lines copied
  for (const std::size_t i : ChangedVariables) {
    // The line before, when written anew just now, holds its new end.
    const std::size_t start = i == 0 ? head : next_line == i ? copied : t.line_ends[i - 1];
    out = copy_text(out, std::string_view(old + copied, start - copied));
    for (; next_line < i; ++next_line) t.line_ends[next_line] += shift;
    out = PutVariableLine(out, last, store.get(i));
    copied = t.line_ends[i];
    t.line_ends[i] = static_cast<std::size_t>(out - first);
    shift = static_cast<std::ptrdiff_t>(t.line_ends[i]) - static_cast<std::ptrdiff_t>(copied);
    next_line = i + 1;
  }
  out = copy_text(out, std::string_view(old + copied, t.file_text.size - copied));
  for (; next_line < t.line_ends.size(); ++next_line) t.line_ends[next_line] += shift;
  take_written(out);
}

void CShiftSchedulingDomain::WriteExportedVariablesFile(const TVarlist& vars) {
  const bool kept = PendingFileTemplate && PendingFileStore == &vars &&
                    *PendingFileTemplate < ExportTemplates.size() &&
                    ExportTemplates[*PendingFileTemplate].store->number() == vars.number();
  if (kept) {
    WriteVariablesFileText(ExportTemplates[*PendingFileTemplate].file_text.View());
  } else {
    WriteVariablesFile(vars);
  }
  PendingFileTemplate.reset();
  PendingFileStore = nullptr;
}

void CShiftSchedulingDomain::WriteVariables(const std::string& filename) {
  std::ofstream file(filename);
  if (!file) return;
  WriteVariables(static_cast<std::ostream&>(file));
}

// The head line carries the number of lines that follow, so the lines are
// collected first and written behind it in one piece.
void CShiftSchedulingDomain::WriteVariables(std::ostream& out) {
  ComputeConstraintVars();
  FileSink sink;
  VisitVariables(sink);
  out << "/ #: " << sink.Count() << " / " << '\n';
  out << sink.Lines();
}
