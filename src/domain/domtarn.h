// The shift-scheduling domain: shift kinds, staff groups, operating plan,
// the cyclic schedule, the domain data file and the evaluation script text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <ios>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base.h"
#include "domtarn_file.h"
#include "evaltree_constraint.h"
#include "random_draws.h"
#include "seed_source.h"

class TEvalContext;
struct TRunLimits;
class TVariable;
class TVarlist;

// A shift kind: its name, its length in hours, and on how many days of one
// cycle every group must work it. Schedule entry k refers to shift k; shift 0
// is the day off.
class CShift : public CBase {
 public:
  CShift(const char* name, int length, int shiftsrequired);

  void Read(std::istream& in) override;
  void Write(std::ostream& out) const override;

  void SetName(std::string_view text) { name = CutName(text); }
  const char* GetName() const { return name.c_str(); }
  void SetLength(float hours) { length = hours; }
  float GetLength() const { return length; }
  void SetShiftsRequired(int count) { shiftsrequired = count; }
  int GetShiftsRequired() const { return shiftsrequired; }

 private:
  std::string name;
  float length;
  int shiftsrequired;
};

// A staff group; group g works row g of the schedule.
class CGroup : public CBase {
 public:
  CGroup(const char* name, int members);

  void Read(std::istream& in) override;
  void Write(std::ostream& out) const override;

  void SetName(std::string_view text) { name = CutName(text); }
  const char* GetName() const { return name.c_str(); }
  void SetMembers(int count) { members = count; }
  int GetMembers() const { return members; }

 private:
  std::string name;
  int members;
};

// One cell of the operating plan. Stored and written back, never consulted.
class COperating : public CBase {
 public:
  COperating();

  // Reads the three numbers whatever version the header carries.
  void Read(std::istream& in) override;
  void Write(std::ostream& out) const override;

  void SetShift(int value) { shift = value; }
  int GetShift() const { return shift; }
  void SetLevel(int value) { level = value; }
  int GetLevel() const { return level; }
  void SetNumber(int value) { number = value; }
  int GetNumber() const { return number; }

 private:
  int shift = 0;
  int level = 0;
  int number = 0;
};

// A run of consecutive working days of one group.
struct CShiftBlock {
  int start = 0;
  int size = 0;
};

// One cell of the schedule: row (group) and column (day).
struct CPosition {
  int group = 0;
  int day = 0;
};

using CIntMatrix = std::vector<std::vector<int>>;
using CFloatMatrix = std::vector<std::vector<float>>;
using CFloatVector = std::vector<float>;
using CShiftBlockMatrix = std::vector<std::vector<CShiftBlock>>;
using CPositionMatrix = std::vector<std::vector<CPosition>>;
using COperatingMatrix = std::vector<std::vector<COperating>>;
using CShiftVector = std::vector<CShift>;
using CGroupVector = std::vector<CGroup>;

// A candidate schedule together with the evaluation script that rates it.
class CDomainInstance : public CBase {
 public:
  // Size of the script buffer, terminating NUL included.
  static constexpr std::size_t kStaticDataBytes = 65535;
  static constexpr std::size_t kStaticDataChars = kStaticDataBytes - 1;
  // Every evaluation leaves its variables in this file of the output folder.
  static constexpr const char* kVariablesFileName = "test2.dat";

  CDomainInstance();
  ~CDomainInstance() override;
  CDomainInstance(const CDomainInstance&) = delete;
  CDomainInstance& operator=(const CDomainInstance&) = delete;

  // Whether evaluations use the engine's caches (on at first). Off, every
  // evaluation computes everything anew and gives the same results, slower;
  // the export of the domain variables is then made whole every time too.
  void SetCaching(bool enabled);
  bool GetCaching() const;
  // How much each script run may do and make (inter_context.h); harnesses
  // under instrumentation lower the limits to keep every input quick.
  void SetRunLimits(const TRunLimits& limits);

  // Where the domain writes: its messages, the printouts of its script
  // runs and its optimizer's progress go to `out`, the fuzzy library's
  // messages to `err`. Until set, everything written is dropped: who makes
  // a domain decides where it speaks (the program gives it the console).
  void SetOutput(std::ostream& out, std::ostream& err);
  std::ostream& GetOutput() const;
  std::ostream& GetErrors() const;

  // Header and script file name; loads the script named there.
  void Read(std::istream& in) override;
  void Write(std::ostream& out) const override;

  // Rates the schedule by running the script; returns the evaluation, or -1
  // when no evaluation has ever produced a rated constraint. A script that
  // divides by zero prints the message and stops at once; the evaluation
  // then returns -1 at once too, keeps the results of the evaluation before
  // and DividedByZero() tells it, until the next evaluation. Whoever
  // evaluates is to stop then as well.
  virtual float Evaluate();
  bool DividedByZero() const { return bDividedByZero; }
  // Applies the next repair move at (group, day); false when none is left.
  virtual bool Repair(int group, int day, int& start, int& start2) = 0;
  // Fills a fresh variable store with the domain's variables.
  virtual void InitializeVariables(TVarlist* vars) = 0;
  // Derives the cells to repair from the sorted evaluation list.
  virtual void ComputeRepairStarts() = 0;

  // Replaces the script text. A text longer than the buffer is refused with a
  // message and the earlier text kept; returns whether the text was taken.
  bool SetStaticData(std::string_view text);
  char* GetStaticData() { return pStaticData.get(); }
  const char* GetStaticData() const { return pStaticData.get(); }
  void SetStaticDataFileName(std::string_view name) { StaticDataFileName = CutName(name); }
  const char* GetStaticDataFileName() const { return StaticDataFileName.c_str(); }
  // Loads the script text from the file named by StaticDataFileName.
  bool ReadStaticData();

  float GetEvaluation() const { return evaluation; }
  // The sorted rated constraints of the last evaluation.
  ConstraintEvaluations& GetEvalData();
  CIntMatrix& GetSchedule() { return schedule; }
  const CIntMatrix& GetSchedule() const { return schedule; }
  // Replaces the schedule; the evaluation results keep describing the old one.
  void SetSchedule(CIntMatrix other) { schedule = std::move(other); }
  CPositionMatrix& GetRepairPositions() { return repairstarts; }
  const CPositionMatrix& GetRepairPositions() const { return repairstarts; }

  // The folder the domain file was read from: relative names of the files
  // the domain and its script read (the script, rule tables, imports) that
  // are not found in the working folder are looked for there. Empty: the
  // working folder only.
  void SetInputFolder(std::string folder);
  const std::string& GetInputFolder() const;
  // The folder the files the domain, its script and the optimizer write go
  // to ("test2.dat", exports, "error.dat", ...), and where the files read
  // are looked for first. Empty (the default): the working folder. Domains
  // working at once in one process need folders of their own.
  void SetOutputFolder(std::string folder);
  const std::string& GetOutputFolder() const;
  // The name to open for writing `name`, in the output folder.
  std::string OutputPath(const std::string& name) const;
  // The files the evaluations so far have read besides the script (rule
  // tables, imports), as opened: relative ones to the working folder.
  const std::set<std::string>& GetFilesRead() const;

 protected:
  // Every memory and buffer of the script runs of this domain; declared
  // first, so that it goes last, after everything that may point into it.
  std::unique_ptr<TEvalContext> cEvalContext;
  CIntMatrix schedule;
  CPositionMatrix repairstarts;
  // The sorted rated constraints of the last evaluation: in the tree's
  // compact form (RatedConstraints) until the list is asked for, and from
  // then on in EvalData. After every evaluation the optimizer reads their
  // ratings and the worst few only, which the Rated... operations give
  // from where the constraints are.
  ConstraintEvaluations EvalData;
  TRatedConstraints RatedConstraints;
  bool EvalDataPending = false;
  std::size_t RatedCount() const;
  float RatedValue(std::size_t k) const;
  std::string_view RatedBranch(std::size_t k) const;
  std::string_view RatedFormula(std::size_t k) const;
  // Writes the store to the variables file "test2.dat", as every evaluation does.
  void WriteVariablesFile(const TVarlist& vars);
  // The same for the store InitializeVariables has just filled; a domain that
  // kept the file's text for it writes that.
  virtual void WriteExportedVariablesFile(const TVarlist& vars) { WriteVariablesFile(vars); }
  // Parts of the variables file: room enough for a store of that many
  // variables, the count line, one variable's line (a line break first), and
  // the writing of a whole text.
  static std::size_t VariablesFileRoom(std::size_t variables);
  static char* PutCountLine(char* out, std::size_t variables);
  static char* PutVariableLine(char* out, char* last, const TVariable& var);
  void WriteVariablesFileText(std::string_view text);
  // The script text: a fixed buffer, always NUL-terminated, empty at first.
  std::unique_ptr<char[]> pStaticData;
  std::string StaticDataFileName;
  float evaluation = 0;
  bool bDividedByZero = false;
  // The lines of the variables file are written here; it only grows.
  std::string sVariablesFile;
  // The variables file, kept open from one evaluation to the next.
  CRewrittenFile cVariablesFile;
};

class CDomainFileReader;

// The one concrete domain: cyclic shift schedules for groups of staff.
class CShiftSchedulingDomain : public CDomainInstance {
 public:
  CShiftSchedulingDomain();

  // Loads or stores the domain data file of that name. A file that cannot be
  // opened is passed over without a message.
  void Read(const std::string& filename);
  void Write(const std::string& filename) const;
  void Read(std::istream& in) override;
  void Write(std::ostream& out) const override;
  // Where in the stream read last text follows the schedule; -1 when none
  // does or reading stopped before the schedule's end. The reader takes no
  // more than the schedule, so such text is for the caller to point out.
  std::streamoff GetTextAfterSchedule() const { return TextAfterSchedule; }
  // The line (from 1) of that text; 0 when there is none or the stream
  // could not tell.
  long long GetTextAfterScheduleLine() const { return TextAfterScheduleLine; }
  // The line (from 1) of the stream read last where the reader stopped
  // before the schedule's end: of the word it could not take, of the end of
  // the text, or of a count that does not fit; 0 when it read the whole
  // schedule or the stream could not tell.
  long long GetReadStopLine() const { return ReadStopLine; }
  // The number of operating plan days the count line gave, of which the
  // reader takes whole weeks; -1 before the plan was reached.
  int GetPlanDaysCounted() const { return PlanDaysCounted; }

  bool Repair(int group, int day, int& start, int& start2) override;
  void InitializeVariables(TVarlist* vars) override;
  void ComputeRepairStarts() override;
  // The constraint kinds (branch texts) whose cells ComputeRepairStarts
  // finds in the roster; a constraint of any other branch counts in the
  // evaluation but gives the optimizer no cell to try.
  static constexpr std::string_view kRepairedKinds[] = {"DIFFHOURS", "WORKINGHOURS", "SHIFTBLOCKS",
                                                        "FREEWEEKENDS", "BADWEEKENDS"};
  static bool IsRepairedKind(std::string_view branch) {
    return std::find(std::begin(kRepairedKinds), std::end(kRepairedKinds), branch) !=
           std::end(kRepairedKinds);
  }
  // What ComputeRepairStarts prints, followed by the branch and a line end,
  // for each worst constraint of another branch it passes over.
  static constexpr std::string_view kNoRepairKind = "No repair positions function for constraint: ";
  void WriteExportedVariablesFile(const TVarlist& vars) override;

  // The domain variables file: every exported variable with its value.
  void WriteVariables(const std::string& filename);
  void WriteVariables(std::ostream& out);

  // Exchanges the entries of two cells and prints the exchange on one line.
  // Cells outside the schedule are left alone.
  void Swap(int group1, int day1, int group2, int day2);
  // The open scan of one repair step; each domain keeps its own four.
  struct CScanState {
    int iLoopBegin = -1;    // the day at which the open scan ends (-1: none open)
    bool bFirstTry = true;  // partner scan starts right after the scan day
    int iLastGroup = 0;     // first group (or pair) examined at the scan day
  };

  int GetLengthOfCycle() const { return LengthOfCycle; }
  CShiftVector& GetShifts() { return shifts; }
  const CShiftVector& GetShifts() const { return shifts; }
  CGroupVector& GetGroups() { return groups; }
  const CGroupVector& GetGroups() const { return groups; }
  COperatingMatrix& GetOperating() { return operating; }
  const COperatingMatrix& GetOperating() const { return operating; }

  // Where the seeds of the repair starts' random choices come from; the
  // clock unless set.
  void SetSeedSource(const CSeedSource& source) { Seeds = source; }
  // The domain's own random generator, which the repair starts and the
  // optimizer working on this domain draw from.
  CRandomDraws& GetRandomDraws() { return Draws; }

 protected:
  // Whether every group works each shift as often as required and the
  // weekday cover and pairing rules hold on every day.
  bool CheckPlan() const;

  // The constraint variables, recomputed from the schedule. Within
  // ComputeConstraintVars, with caching on, only for the groups whose row
  // changed since the last computation (random repair changes one or two
  // rows at a time); the others keep their values.
  void ComputeConstraintVars();
  void ComputeConstraintVars_DIFFHOURS();
  void ComputeConstraintVars_WORKINGHOURS();
  void ComputeConstraintVars_SHIFTBLOCKS();
  void ComputeConstraintVars_FREEWEEKENDS();
  void ComputeConstraintVars_BADWEEKENDS();

  // Each appends at most one list of cells to repair for one rated constraint;
  // the formula names the group and the week or block in brackets.
  void ComputeRepairStart_DIFFHOURS(std::string_view formula);
  void ComputeRepairStart_WORKINGHOURS(std::string_view formula);
  void ComputeRepairStart_SHIFTBLOCKS(std::string_view formula);
  void ComputeRepairStart_FREEWEEKENDS(std::string_view formula);
  void ComputeRepairStart_BADWEEKENDS(std::string_view formula);

  // The four repair moves, chosen by the weekday of the repaired cell.
  bool RepairStep1(int group, int day, int& start);
  bool RepairStep2(int group, int day, int& start);
  bool RepairStep3(int group, int day, int& start, int& start2);
  bool RepairStep4(int group, int day, int& start, int& start2);

  COperatingMatrix operating;
  CShiftVector shifts;
  CGroupVector groups;
  int LengthOfCycle = 0;

  CFloatMatrix c_diff;
  CFloatMatrix c_work;
  CShiftBlockMatrix c_shiftblocks;
  CFloatVector c_freeweekends;
  CIntMatrix c_badweekends;

  // What the values computed for each group come from: its schedule row
  // (empty for a group without one), the shift lengths and the cycle length.
  struct CGroupInputs {
    std::vector<std::vector<int>> rows;
    std::vector<float> lengths;
    int cycle = -1;
  };
  // Marks in `changed` the groups whose inputs differ from `kept` (every
  // group when `all`, or when the lengths, the cycle length or the number of
  // groups differ), and brings `kept` up to date.
  void NoteChangedGroups(CGroupInputs& kept, const std::vector<float>& lengths, bool all,
                         std::vector<bool>& changed) const;
  // What the constraint variables were last computed from, and which rows
  // differ from it in the computation under way (empty outside it).
  CGroupInputs Computed;
  std::vector<bool> ChangedRows;

 private:
  // The parts in file order; false at the first that stops the reader.
  bool ReadParts(CDomainFileReader& reader);
  bool ReadCycleLength(CDomainFileReader& reader);
  bool ReadGroups(CDomainFileReader& reader);
  bool ReadShifts(CDomainFileReader& reader);
  bool ReadOperatingPlan(CDomainFileReader& reader);
  bool ReadScheduleRows(CDomainFileReader& reader);

  // Working hours of group g in week w, summed in day order.
  float HoursOfWeek(std::size_t g, int week) const;
  // Notes which groups' constraint variables ComputeConstraintVars must
  // compute anew: all, unless the last computation was made from the same
  // shift lengths, cycle length and number of groups.
  void NoteChangedRows();
  bool RowChanged(std::size_t g) const { return g >= ChangedRows.size() || ChangedRows[g]; }
  // Whether group g works on day d; missing cells count as free.
  bool Works(std::size_t g, int day) const;
  // Weeks of the cycle that row g of the schedule reaches into: the cycle
  // length for a complete row, fewer when a read stopped early.
  int WeeksHeld(std::size_t g) const;
  // Hands every domain variable, in export order, to the sink.
  template <class Sink>
  void VisitVariables(Sink& sink) const;
  // The table sizes that fix the exported names and their order.
  void ExportShape(std::vector<std::size_t>& shape) const;
  // Keeps a copy of a store filled by an export into an empty store, for
  // the exports of the same shape (Shape) that follow, with an index sized
  // for `room` more variables.
  // Gives the place of the template kept.
  std::size_t KeepExportTemplate(const TVarlist& vars, std::size_t room);
  // Whether (group, day) lies in the cycle and every schedule row covers the
  // whole cycle, so repair scans may read any day of any row.
  bool IsRepairableCell(int group, int day) const;
  // Both groups of two pairs exchange their entries of `day` and `j`.
  void SwapPairs(int pair, int other, int day, int j);

  CSeedSource Seeds;
  CRandomDraws Draws;

  // Names the file being read in messages about malformed input; empty when
  // the domain is read from a bare stream.
  std::string ReadSourceName;
  std::streamoff TextAfterSchedule = -1;
  long long TextAfterScheduleLine = 0;
  long long ReadStopLine = 0;
  int PlanDaysCounted = -1;
  // The generator seeded with `seed` and drawn once: the draw.
  int SeededDraw(unsigned seed);
  // The last draw of the repair-start pass under way; none outside a pass.
  struct CDraw {
    bool drawn = false;
    unsigned seed = 0;
    int value = 0;
  };
  std::optional<CDraw> RepairDraw;
  CScanState cScanStates[4];
  CScanState& StepState(int step) { return cScanStates[step - 1]; }

  // A text in a buffer that grows without filling its new room, so that a
  // text written over it and the one it replaces can trade buffers.
  struct CFileText {
    // Room for `chars` characters; the text is lost when the buffer grows.
    char* Room(std::size_t chars);
    std::string_view View() const { return {data.get(), size}; }
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;
  };
  // Per shape, the store as the latest export of that shape filled it. An
  // export of a known shape brings it up to date, writing only what
  // changed, and copies it.
  struct CExportTemplate {
    std::vector<std::size_t> shape;
    std::shared_ptr<TVarlist> store;
    std::vector<float> values;       // the store's values, in its order
    std::vector<std::string> texts;  // before quoting and substitution
    // The variables file of the store, once made, and where each line ends.
    CFileText file_text;
    std::vector<std::size_t> line_ends;
    // What the store's computed values came from at its last update.
    CGroupInputs inputs;
  };
  // The groups whose values changed since the last update of the template
  // the export under way brings up to date.
  std::vector<bool> ExportChangedGroups;
  // Brings a template's variables file up to date with the variables
  // ChangedVariables names, reusing the lines of the others.
  void RefreshFileText(CExportTemplate& t);
  std::vector<std::size_t> ChangedVariables;  // positions, ascending
  CFileText FileScratch;                      // the next file text is written here
  // The template whose file text belongs to the store the latest export
  // filled, and that store; none after a full export.
  std::optional<std::size_t> PendingFileTemplate;
  const TVarlist* PendingFileStore = nullptr;
  std::vector<CExportTemplate> ExportTemplates;
  std::size_t NextTemplate = 0;    // the one a new shape replaces
  std::vector<std::size_t> Shape;  // of the latest export, kept for its room
};
