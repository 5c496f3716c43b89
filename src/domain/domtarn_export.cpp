// Export of the domain as named script variables: into a variable store before
// every evaluation, and as the domain variables file.
//
// One walk over the domain (VisitVariables) fixes the names and their order;
// the store and the file each format what the walk hands them. Names and
// numbers are formatted into stack buffers, since the export runs once for
// every evaluation the optimizer makes.
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>

#include "domtarn.h"
#include "domtarn_text.h"
#include "expint.h"

namespace {

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
  void Int(std::string_view name, int value) {
    CTextBuffer formula;
    formula << value;
    vars.insert(name, formula.View(), static_cast<float>(value));
  }
  void Float(std::string_view name, float value) {
    CTextBuffer formula;
    formula.Fixed(value);
    vars.insert(name, formula.View(), value);
  }
  void Text(std::string_view name, std::string_view text) { vars.insert(name, Quoted(text), 0); }

 private:
  TVarlist& vars;
};

// Collects the lines of the domain variables file and counts them.
class FileSink {
 public:
  void Int(std::string_view name, int value) {
    CTextBuffer number;
    number << value;
    Line(name, number.View(), number.View());
  }
  void Float(std::string_view name, float value) {
    CTextBuffer number;
    number.General(value);
    Line(name, number.View(), number.View());
  }
  void Text(std::string_view name, std::string_view text) { Line(name, Quoted(text), "0"); }

  std::size_t Count() const { return count; }
  const std::string& Lines() const { return lines; }

 private:
  void Line(std::string_view name, std::string_view formula, std::string_view value) {
    ((((lines += name) += ' ') += formula) += ' ') += value;
    lines += '\n';
    ++count;
  }
  std::string lines;
  std::size_t count = 0;
};

}  // namespace

template <class Sink>
void CShiftSchedulingDomain::VisitVariables(Sink& sink) const {
  sink.Int("LengthOfCycle", LengthOfCycle);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int gi = static_cast<int>(g);
    sink.Text((CTextBuffer() << "groups[" << gi << "].name").View(), groups[g].GetName());
    sink.Int((CTextBuffer() << "groups[" << gi << "].members").View(), groups[g].GetMembers());
  }
  for (std::size_t k = 0; k < shifts.size(); ++k) {
    const int ki = static_cast<int>(k);
    sink.Text((CTextBuffer() << "shifts[" << ki << "].name").View(), shifts[k].GetName());
    sink.Float((CTextBuffer() << "shifts[" << ki << "].length").View(), shifts[k].GetLength());
  }
  for (std::size_t g = 0; g < schedule.size(); ++g) {
    for (std::size_t d = 0; d < schedule[g].size(); ++d) {
      CTextBuffer name;
      name << "plan[" << static_cast<int>(g) << "][" << static_cast<int>(d) << "]";
      sink.Int(name.View(), schedule[g][d]);
    }
  }
  for (std::size_t g = 0; g < c_diff.size(); ++g) {
    for (std::size_t i = 0; i < c_diff[g].size(); ++i) {
      CTextBuffer name;
      name << "c_diff[" << static_cast<int>(g) << "][" << static_cast<int>(i) << "]";
      sink.Float(name.View(), c_diff[g][i]);
    }
  }
  for (std::size_t g = 0; g < c_work.size(); ++g) {
    for (std::size_t w = 0; w < c_work[g].size(); ++w) {
      CTextBuffer name;
      name << "c_work[" << static_cast<int>(g) << "][" << static_cast<int>(w) << "]";
      sink.Float(name.View(), c_work[g][w]);
    }
  }
  for (std::size_t g = 0; g < c_shiftblocks.size(); ++g) {
    const int gi = static_cast<int>(g);
    const std::vector<CShiftBlock>& blocks = c_shiftblocks[g];
    sink.Int((CTextBuffer() << "c_numberofblocks[" << gi << "]").View(),
             static_cast<int>(blocks.size()));
    for (std::size_t j = 0; j < blocks.size(); ++j) {
      const int ji = static_cast<int>(j);
      CTextBuffer start;
      start << "c_shiftblocks[" << gi << "][" << ji << "].start";
      sink.Int(start.View(), blocks[j].start);
      CTextBuffer size;
      size << "c_shiftblocks[" << gi << "][" << ji << "].size";
      sink.Int(size.View(), blocks[j].size);
    }
  }
  for (std::size_t g = 0; g < c_freeweekends.size(); ++g) {
    sink.Float((CTextBuffer() << "c_freeweekends[" << static_cast<int>(g) << "]").View(),
               c_freeweekends[g]);
  }
  for (std::size_t g = 0; g < c_badweekends.size(); ++g) {
    for (std::size_t w = 0; w < c_badweekends[g].size(); ++w) {
      CTextBuffer name;
      name << "c_badweekends[" << static_cast<int>(g) << "][" << static_cast<int>(w) << "]";
      sink.Int(name.View(), c_badweekends[g][w]);
    }
  }
}

void CShiftSchedulingDomain::InitializeVariables(TVarlist* vars) {
  ComputeConstraintVars();
  if (vars == nullptr) return;
  // The store is sized for the export and the variables the script adds,
  // as the previous export counted them, so that filling it moves nothing.
  constexpr std::size_t kScriptVariablesRoom = 64;
  const std::size_t before = vars->number();
  vars->reserve(before + LastExportCount + kScriptVariablesRoom);
  StoreSink sink(*vars);
  VisitVariables(sink);
  LastExportCount = vars->number() - before;
  vars->substitute_all();
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
