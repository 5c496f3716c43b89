// The shift-scheduling domain: records, the domain data file, the script
// text and the plan test.
#include "domtarn.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "domtarn_file.h"
#include "expint.h"
#include "read_path.h"

// ---------------------------------------------------------------- records

CShift::CShift(const char* name, int length, int shiftsrequired)
    : CBase("CShift", 1),
      name(CutName(name)),
      length(static_cast<float>(length)),
      shiftsrequired(shiftsrequired) {}

// On a failed stream the values are stored as the stream delivers them:
// a number that does not convert becomes 0, values after it stay as they were.
void CShift::Read(std::istream& in) {
  CBase::Read(in);
  if (classversion != 1) return;
  std::string word = name;
  float hours = length;
  int required = shiftsrequired;
  in >> word >> hours >> required;
  SetName(word);
  SetLength(hours);
  SetShiftsRequired(required);
}

void CShift::Write(std::ostream& out) const {
  CBase::Write(out);
  out << name << space << length << space << shiftsrequired << std::endl;
}

CGroup::CGroup(const char* name, int members)
    : CBase("CGroup", 1), name(CutName(name)), members(members) {}

void CGroup::Read(std::istream& in) {
  CBase::Read(in);
  if (classversion != 1) return;
  std::string word = name;
  int count = members;
  in >> word >> count;
  SetName(word);
  SetMembers(count);
}

void CGroup::Write(std::ostream& out) const {
  CBase::Write(out);
  out << name << space << members << std::endl;
}

COperating::COperating() : CBase("COperating", 1) {}

void COperating::Read(std::istream& in) {
  CBase::Read(in);
  in >> shift >> level >> number;
}

void COperating::Write(std::ostream& out) const {
  CBase::Write(out);
  out << shift << space << level << space << number << std::endl;
}

// ------------------------------------------------------- domain instance

// The constructor, the destructor and the caching switch live with the
// tree hand-over (domtarn_tree.cpp), which sees the evaluation context.

bool CDomainInstance::SetStaticData(std::string_view text) {
  if (text.size() > kStaticDataChars) {
    GetOutput() << "CDomainInstance: static data text holds more than " << kStaticDataChars
                << " characters" << std::endl;
    return false;
  }
  std::copy(text.begin(), text.end(), pStaticData.get());
  pStaticData[text.size()] = '\0';
  return true;
}

// The file is read in binary mode so that every character, line ends
// included, reaches the buffer unchanged. A file too long for the buffer is
// refused as a whole rather than cut, so a script never runs half-loaded.
bool CDomainInstance::ReadStaticData() {
  const std::string path =
      resolve_read_path(StaticDataFileName, GetInputFolder(), GetOutputFolder());
  std::ifstream file;
  // Only the buffer's size is read, whatever the file's.
  if (is_input_file(path, UINTMAX_MAX)) file.open(path, std::ios::binary);
  if (!file.is_open()) {
    GetOutput() << "CDomainInstance: couldn't find static data file" << std::endl;
    return false;
  }
  std::string text(kStaticDataBytes, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto length = static_cast<std::size_t>(file.gcount());
  if (length > kStaticDataChars) {
    GetOutput() << "CDomainInstance: static data file " << StaticDataFileName << " holds more than "
                << kStaticDataChars << " characters" << std::endl;
    return false;
  }
  text.resize(length);
  return SetStaticData(text);
}

void CDomainInstance::Read(std::istream& in) {
  CBase::Read(in);
  if (classversion != 1) return;
  std::string word;
  if (!(in >> word)) return;
  SetStaticDataFileName(word);
  if (!ReadStaticData()) GetOutput() << "Failed to read StaticDataFile" << std::endl;
}

void CDomainInstance::Write(std::ostream& out) const {
  CBase::Write(out);
  out << StaticDataFileName << std::endl;
}

// ------------------------------------------------------ domain data file

// Reads the tokens of a domain data file and reports the first one that is
// missing or malformed with one line naming the file, the line of the file
// and the word found there. Once the stream has failed every further read
// fails too, so each reader stops at its first failed check and never loops
// on a dead stream.
class CDomainFileReader {
 public:
  CDomainFileReader(std::istream& in, std::ostream& out, const std::string& source)
      : in(in), out(out), source(source) {}

  std::istream& in;
  std::ostream& out;

  // Prints the problem and returns false, so callers can `return Fail(...)`.
  bool Fail(const std::string& problem) const {
    out << (source.empty() ? std::string("Domain data") : "Domain file " + source) << ": "
        << problem << '\n';
    return false;
  }
  // After a failed read: "line N: expected WHAT, found 'WORD'", or "expected
  // WHAT, but the file ends" when nothing but white space was left.
  bool Expect(const std::string& what) {
    if (in) return true;
    if (in.eof()) return Fail("expected " + what + ", but the file ends");
    in.clear();
    const std::streampos at = WordStart(in.tellg());
    std::string word;
    in >> word;
    stop = at;
    in.setstate(std::ios::failbit);
    const std::string found = ", found '" + Cut(word) + "'";
    const std::optional<std::size_t> line = LineAt(at);
    if (!line) return Fail("expected " + what + found);
    return Fail("line " + std::to_string(*line) + ": expected " + what + found);
  }

  // A count group is a marker word, a second marker word, the count and a
  // third marker word. The markers are skipped unchecked; they are read whole
  // and dropped, so their length does not matter.
  bool Count(int& count, const std::string& what) {
    std::string marker;
    count = 0;
    in >> marker >> marker >> count >> marker;
    return Expect("the number of " + what);
  }

  // The line, counted from 1, of a position of the stream, which is left
  // failed; nothing when the stream cannot go back to count (a pipe).
  std::optional<std::size_t> LineAt(std::streampos at) {
    if (at == std::streampos(-1)) return std::nullopt;
    in.clear();
    if (!in.seekg(0)) return std::nullopt;
    std::size_t line = 1;
    std::array<char, 1 << 16> chunk;
    for (std::streamoff left = at; left > 0 && in;) {
      in.read(chunk.data(), std::min<std::streamoff>(left, chunk.size()));
      line += static_cast<std::size_t>(std::count(chunk.data(), chunk.data() + in.gcount(), '\n'));
      left -= in.gcount();
    }
    in.setstate(std::ios::failbit);
    return line;
  }
  // Where the reader stopped: at the word a read could not take, or where
  // the stream stands (at the end of the text, or after the count whose
  // value stopped it); -1 for a stream that cannot tell.
  std::streamoff StopOffset() {
    if (stop != std::streampos(-1)) return stop;
    in.clear();
    return in.tellg();
  }

 private:
  const std::string& source;
  std::streampos stop = -1;

  // Where the word that failed to read begins, the stream moved there: a
  // number too large for its field is read whole before it fails (the
  // stream then stands at the white space after it), a word that is no
  // number not at all (the stream stands at its first character).
  std::streampos WordStart(std::streampos at) {
    constexpr int kLongestWord = 4096;
    if (at == std::streampos(-1)) return at;
    if (const int c = in.peek(); c != std::char_traits<char>::eof() && !std::isspace(c)) {
      return at;
    }
    std::streampos start = at;
    for (int back = 0; back < kLongestWord && start > 0; ++back) {
      if (!in.seekg(start - std::streamoff(1))) break;
      const int c = in.peek();
      if (c == std::char_traits<char>::eof() || std::isspace(c)) break;
      start -= std::streamoff(1);
    }
    in.clear();
    in.seekg(start);
    return start;
  }
  // A word as the message shows it: the first 40 bytes of a long one, not
  // cut inside a character, and "..." after them.
  static std::string Cut(const std::string& word) {
    constexpr std::size_t kShown = 40;
    if (word.size() <= kShown) return word;
    std::size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) --end;
    return word.substr(0, end) + "...";
  }
};

namespace {

// 7 × LengthOfCycle days must fit in an int.
constexpr int kMaxCycleWeeks = INT_MAX / 7;
// Every evaluation exports each cell of the schedule as a script variable,
// so a schedule of more cells than a run may hold variables could never be
// rated; refusing it on reading also keeps a large file from taking
// gigabytes at every evaluation.
constexpr std::int64_t kMaxScheduleCells = script_limits::kMaxVariables;

void WriteCountLine(std::ostream& out, std::size_t count) {
  out << "/* #: " << count << " */ " << '\n';
}

// Reads `count` records into `list`, each starting from a copy of `blank`.
// Lists grow one record at a time, so an absurd count costs nothing before
// the stream runs dry. A record cut short is not appended. `what` and
// `where` name the record in the message, as in "cell 3 of operating plan
// day 1", counted from 1 as a reader of the file counts.
template <class Record>
bool ReadRecords(CDomainFileReader& reader, int count, const Record& blank,
                 std::vector<Record>& list, const std::string& what,
                 const std::string& where = "") {
  for (int i = 0; i < count; ++i) {
    Record record = blank;
    record.SetMessages(&reader.out);
    record.Read(reader.in);
    record.SetMessages(nullptr);  // the reader's stream need not outlive the record
    if (!reader.Expect(what + " " + std::to_string(i + 1) + where)) return false;
    list.push_back(record);
  }
  return true;
}

}  // namespace

CShiftSchedulingDomain::CShiftSchedulingDomain() {
  SetClassName("CShiftSchedulingDomain");
}

// A file that does not open is passed over without a word. One that opens
// but is no regular file (a folder, a pipe, a device, which could block or
// never end) or is larger than any roster is refused with a line that says
// so, since nothing of it is read.
void CShiftSchedulingDomain::Read(const std::string& filename) {
  if (!is_input_file(filename)) {
    std::error_code error;
    const auto status = std::filesystem::status(filename, error);
    if (error || !std::filesystem::exists(status)) return;
    GetOutput() << "Domain file " << filename << ": "
                << (std::filesystem::is_regular_file(status)
                        ? "larger than the " + std::to_string(kMaxInputFileBytes >> 20) +
                              " MiB a domain data file may hold"
                        : std::string("not a regular file"))
                << '\n';
    return;
  }
  std::ifstream file(filename);
  if (!file) return;
  ReadSourceName = filename;
  Read(static_cast<std::istream&>(file));
  ReadSourceName.clear();
}

// The records flush their lines as they write them; into a file that would
// cost a system call per line, so the text is made whole first and written
// at once, in place (the optimizer rewrites "error.dat" after every pass).
void CShiftSchedulingDomain::Write(const std::string& filename) const {
  std::ostringstream text;
  Write(static_cast<std::ostream&>(text));
  ReplaceFileContents(filename.c_str(), text.view());
}

// Each part replaces its list only when its turn comes, so a stop leaves the
// parts read so far, the entries of the part being read up to the stop, and
// the earlier contents of the parts after it.
void CShiftSchedulingDomain::Read(std::istream& in) {
  CDomainFileReader reader(in, GetOutput(), ReadSourceName);
  TextAfterSchedule = -1;
  TextAfterScheduleLine = 0;
  ReadStopLine = 0;
  PlanDaysCounted = -1;
  CDomainInstance::Read(in);
  if (!ReadParts(reader)) {
    ReadStopLine = reader.LineAt(reader.StopOffset()).value_or(0);
    return;
  }
  if (in >> std::ws; in.good()) {
    TextAfterSchedule = in.tellg();
    TextAfterScheduleLine = reader.LineAt(TextAfterSchedule).value_or(0);
  }
}

bool CShiftSchedulingDomain::ReadParts(CDomainFileReader& reader) {
  return reader.Expect("the header line and the script file name") && ReadCycleLength(reader) &&
         ReadGroups(reader) && ReadShifts(reader) && ReadOperatingPlan(reader) &&
         ReadScheduleRows(reader);
}

// A cycle of no weeks has no days to schedule, and 7 × weeks must not
// overflow, so only 1 .. kMaxCycleWeeks is taken.
bool CShiftSchedulingDomain::ReadCycleLength(CDomainFileReader& reader) {
  std::string word;
  int weeks = 0;
  reader.in >> word >> weeks;
  if (!reader.Expect("the cycle length after the word LengthOfCycle")) return false;
  if (weeks < 1 || weeks > kMaxCycleWeeks) {
    return reader.Fail("cycle length " + std::to_string(weeks) + " is not between 1 and " +
                       std::to_string(kMaxCycleWeeks) + " weeks");
  }
  LengthOfCycle = weeks;
  return true;
}

bool CShiftSchedulingDomain::ReadGroups(CDomainFileReader& reader) {
  groups.clear();
  int count = 0;
  if (!reader.Count(count, "groups")) return false;
  return ReadRecords(reader, count, CGroup("NONAME", 0), groups, "group record");
}

bool CShiftSchedulingDomain::ReadShifts(CDomainFileReader& reader) {
  shifts.clear();
  int count = 0;
  if (!reader.Count(count, "shifts")) return false;
  return ReadRecords(reader, count, CShift("NONAME", 0, 0), shifts, "shift record");
}

// A plan shorter than one week (an empty one included) has no week count
// that could divide the cycle, so it is refused like a plan that does not fit.
bool CShiftSchedulingDomain::ReadOperatingPlan(CDomainFileReader& reader) {
  operating.clear();
  int planDays = 0;
  if (!reader.Count(planDays, "operating plan days")) return false;
  PlanDaysCounted = planDays;
  const int weeks = planDays / 7;
  if (weeks <= 0 || LengthOfCycle % weeks != 0) {
    GetOutput() << "Operation plan cycle should be divisor of the shift schedule cycle" << '\n';
    return false;
  }
  for (int day = 0; day < 7 * weeks; ++day) {
    const std::string dayText = "operating plan day " + std::to_string(day + 1);
    int cells = 0;
    if (!reader.Count(cells, "cells of " + dayText)) return false;
    std::vector<COperating> cellsOfDay;
    if (!ReadRecords(reader, cells, COperating(), cellsOfDay, "cell", " of " + dayText)) {
      return false;
    }
    operating.push_back(std::move(cellsOfDay));
  }
  return true;
}

bool CShiftSchedulingDomain::ReadScheduleRows(CDomainFileReader& reader) {
  schedule.clear();
  int rows = 0;
  if (!reader.Count(rows, "schedule rows")) return false;
  if (rows < 0 || static_cast<std::size_t>(rows) != groups.size()) {
    GetOutput() << "Shift schedule does not allocate for each group" << '\n';
    return false;
  }
  const int days = 7 * LengthOfCycle;
  if (std::int64_t{rows} * days > kMaxScheduleCells) {
    return reader.Fail("a schedule of " + std::to_string(rows) + " x " + std::to_string(days) +
                       " cells (groups x days) is larger than the " +
                       std::to_string(kMaxScheduleCells) + " cells a domain may hold");
  }
  for (int i = 0; i < rows; ++i) {
    const std::string rowText = "schedule row " + std::to_string(i + 1);
    int entries = 0;
    if (!reader.Count(entries, "entries of " + rowText)) return false;
    if (entries != days) {
      GetOutput() << "Shift schedule does not allocate for entire cycle length in group #" << i
                  << '\n';
      return false;
    }
    std::vector<int> row;
    for (int d = 0; d < days; ++d) {
      int entry = 0;
      reader.in >> entry;
      if (!reader.Expect("entry " + std::to_string(d + 1) + " of " + rowText)) return false;
      row.push_back(entry);
    }
    schedule.push_back(std::move(row));
  }
  return true;
}

void CShiftSchedulingDomain::Write(std::ostream& out) const {
  CDomainInstance::Write(out);
  out << "LengthOfCycle" << space << LengthOfCycle << '\n';
  WriteCountLine(out, groups.size());
  for (const CGroup& group : groups) out << group;
  out << '\n';
  WriteCountLine(out, shifts.size());
  for (const CShift& shift : shifts) out << shift;
  out << '\n';
  WriteCountLine(out, operating.size());
  for (const std::vector<COperating>& day : operating) {
    WriteCountLine(out, day.size());
    for (const COperating& cell : day) out << cell;
    out << '\n';
  }
  WriteCountLine(out, schedule.size());
  for (const std::vector<int>& row : schedule) {
    WriteCountLine(out, row.size());
    for (int entry : row) out << entry << space;
    out << std::endl;
  }
}

// ------------------------------------------------------------- plan test

namespace {

// Counts, per shift index, the entries handed in; entries outside the shift
// list are not counted. The table has room for shifts 0 and 1 even when the
// domain has fewer, so the weekday rules can read them as zero.
class ShiftCounter {
 public:
  explicit ShiftCounter(std::size_t shiftCount)
      : shiftCount(shiftCount), counts(std::max<std::size_t>(shiftCount, 2), 0) {}
  void Reset() { std::fill(counts.begin(), counts.end(), 0); }
  void Add(int entry) {
    if (entry >= 0 && static_cast<std::size_t>(entry) < shiftCount) ++counts[entry];
  }
  int operator[](std::size_t shift) const { return counts[shift]; }

 private:
  std::size_t shiftCount;
  std::vector<int> counts;
};

}  // namespace

// Groups are paired 0 with 1, 2 with 3, and so on. With an odd number of
// groups the last one has no partner and is left out of the pairing rule,
// as the repair moves leave it out of their pair searches.
bool CShiftSchedulingDomain::CheckPlan() const {
  const std::size_t groupCount = groups.size();
  const auto days = static_cast<std::size_t>(7 * LengthOfCycle);
  // A schedule that lacks rows or days cannot meet the plan; testing this
  // first keeps every access below inside the schedule.
  if (schedule.size() < groupCount) return false;
  for (std::size_t g = 0; g < groupCount; ++g) {
    if (schedule[g].size() < days) return false;
  }
  ShiftCounter counter(shifts.size());
  for (std::size_t g = 0; g < groupCount; ++g) {
    counter.Reset();
    for (std::size_t d = 0; d < days; ++d) counter.Add(schedule[g][d]);
    for (std::size_t k = 0; k < shifts.size(); ++k) {
      if (counter[k] != shifts[k].GetShiftsRequired()) return false;
    }
  }
  for (std::size_t d = 0; d < days; ++d) {
    counter.Reset();
    for (std::size_t g = 0; g < groupCount; ++g) counter.Add(schedule[g][d]);
    const std::size_t weekday = d % 7;
    if (weekday <= 2 && (counter[0] != 1 || counter[1] != 5)) return false;
    if (weekday == 3 || weekday == 4) {
      if (counter[0] != 2 || counter[1] != 4) return false;
      for (std::size_t g = 0; g + 1 < groupCount; g += 2) {
        if (schedule[g][d] != schedule[g + 1][d]) return false;
      }
    }
  }
  return true;
}
