// One batch command's run on a domain file.
#include "batch_run.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "commands.h"
#include "read_path.h"
#include "roster_fill.h"
#include "text_join.h"
#include "text_width.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "domtarn";
// The domain reader's messages about the evaluation script: it could not be
// read (missing or too long), and it is missing.
constexpr const char* kScriptFailed = "Failed to read StaticDataFile";
constexpr const char* kScriptNotFound = "couldn't find static data file";
constexpr const char* kScriptFile = "static data file";
// Lines of a script's messages shown on standard error, and their length.
constexpr std::size_t kShownScriptLines = 20;
constexpr std::size_t kShownLineChars = 1000;
// Bytes of disk room taken for an output roster beyond its size.
constexpr std::uintmax_t kReservedMargin = 4096;

// The next line of `in`, cut to kShownLineChars characters (with " ..."
// after them) so that a script that prints one endless line takes no more
// memory than that; false at the end.
bool ReadShownLine(std::istream& in, std::string& line) {
  std::array<char, kShownLineChars + 1> buffer{};
  in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  const std::streamsize got = in.gcount();
  if (got == 0 && !in) return false;
  const bool longer = in.fail() && !in.eof();
  const bool ended = !in.fail() && !in.eof();  // the line break was read too
  line.assign(buffer.data(), static_cast<std::size_t>(ended ? got - 1 : got));
  if (longer) {
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    line += " ...";
  }
  return true;
}

// Why a path names no regular file: "no such file", "not a file", or the
// system's reason where it is neither (a loop of links, a name too long, a
// path through a file), its first letter in lower case like the others; empty
// for a regular file.
std::string NoFileCause(const fs::path& path) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (fs::is_regular_file(status)) return {};
  if (!code || code == std::errc::no_such_file_or_directory) {
    return fs::exists(status) ? "not a file" : "no such file";
  }
  std::string cause = code.message();
  if (!cause.empty())
    cause[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(cause[0])));
  return cause;
}

// Why the evaluation script `shown` (the path as the user would type it,
// `path` the same made absolute) cannot be read: the path, unless it is the
// script's own name, and the cause, so that a roster moved away from its
// script says where the script was looked for.
std::string ScriptNotRead(const std::string& script, const fs::path& shown, const fs::path& path) {
  std::string cause = NoFileCause(path);
  if (cause.empty())
    cause = ::access(path.c_str(), R_OK) != 0 ? std::strerror(errno) : "unreadable";
  const std::string where = shown.string() == script ? "" : shown.string() + ": ";
  return "cannot read the evaluation script " + script + " (" + where + cause + ")";
}

// The same for a FILE that is a link, whose script was looked for beside the
// file the link leads to as well, in `other`.
std::string ScriptNotRead(const std::string& script, const fs::path& shown, const fs::path& path,
                          const fs::path& other) {
  std::error_code code;
  const fs::path beside_target = other / script;
  if (other.empty() || fs::exists(beside_target, code)) return ScriptNotRead(script, shown, path);
  return ScriptNotRead(script, shown, path) + ", nor beside the file the link leads to (" +
         beside_target.string() + ")";
}

int CannotWrite(const std::string& shown, const std::string& error) {
  std::cerr << kProgram << ": cannot write " << shown << ": " << error << '\n';
  return kExitCannotCreate;
}

// The reader names the file by the path it opened; messages name it as typed.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A file without the header of a domain data file.
constexpr const char* kNotDomainFile = "not a domain data file";
// The fault line after the reader's own message of what stopped it.
constexpr const char* kNotUsable = "not a usable domain data file (see above)";

// The reader's messages without those about the evaluation script.
std::string WithoutScriptLines(const std::string& messages) {
  std::istringstream lines(messages);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line == kScriptFailed || line.find(kScriptFile) != std::string::npos) continue;
    kept.append(line).append(1, '\n');
  }
  return kept;
}

// The reader's two lines for a record whose class name is not the one it
// reads ("error", then the name found and the name expected), as one line
// that says so; every other line stays.
std::string ClassNamesExplained(const std::string& messages, const std::string& shown) {
  std::istringstream lines(messages);
  std::string said;
  for (std::string line; std::getline(lines, line);) {
    std::string names;
    const std::streampos next = lines.tellg();
    if (line == "error" && std::getline(lines, names)) {
      std::istringstream pair(names);
      std::string found, expected, rest;
      if (pair >> found >> expected && !(pair >> rest)) {
        said += Joined(kProgram, ": ", shown, ": warning: a record headed ", found, " where a ",
                       expected, " belongs, read as one\n");
        continue;
      }
      lines.clear();
      lines.seekg(next);
    }
    said.append(line).append(1, '\n');
  }
  return said;
}

// A text as a message quotes it: at most 20 characters, "..." for the rest.
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kChars = 20;
  const std::string_view shown = FirstCharacters(text, kChars);
  return std::string(shown) + (shown.size() < text.size() ? "..." : "");
}

// The line of the text after the schedule, and its first word.
std::string TextAfterSchedule(const fs::path& file, const CShiftSchedulingDomain& domain) {
  std::ifstream in(file, std::ios::binary);
  in.seekg(domain.GetTextAfterSchedule());
  std::string word;
  in >> word;
  return Joined("the text after the schedule is not read (line ", domain.GetTextAfterScheduleLine(),
                ": '", Excerpt(word), "')");
}

// Where the reader stopped, for the line that refuses the file: the messages
// of counts that do not fit name no line.
std::string StoppedAt(const CShiftSchedulingDomain& domain) {
  const long long line = domain.GetReadStopLine();
  return line > 0 ? Joined(" at line ", line) : "";
}

// Groups of one name, whose rows and ratings cannot be told apart.
void WarnOfRepeatedNames(const CGroupVector& groups, std::vector<std::string>& warnings) {
  std::set<std::string> names, repeated;
  for (const CGroup& group : groups) {
    const std::string name = group.GetName();
    if (!names.insert(name).second && repeated.insert(name).second) {
      warnings.push_back("more than one group is named " + name +
                         ": their rows and ratings cannot be told apart");
    }
  }
}

// Names as long as a name may be: a longer one in the file was cut there.
template <class Records>
void WarnOfCutNames(const Records& records, const char* kind, std::vector<std::string>& warnings) {
  for (const auto& record : records) {
    const std::string_view name = record.GetName();
    if (name.size() < kNamestrChars) continue;
    warnings.push_back(Joined("the name of ", kind, " ", Excerpt(name), " has ", kNamestrChars,
                              " bytes, as many as a name keeps: a longer one was cut there"));
  }
}

// Shift lengths and required counts below 0.
void WarnOfNegativeShifts(const CShiftVector& shifts, std::vector<std::string>& warnings) {
  for (const CShift& shift : shifts) {
    if (shift.GetLength() < 0) {
      std::ostringstream hours;
      hours << shift.GetLength();
      warnings.push_back(Joined("shift ", shift.GetName(), " lasts ", hours.str(), " hours"));
    }
    if (shift.GetShiftsRequired() < 0) {
      warnings.push_back(Joined("shift ", shift.GetName(), " is required on ",
                                shift.GetShiftsRequired(), " days"));
    }
  }
}

// Plan cells of shifts the domain lacks, which no count of the plan takes in.
void WarnOfUnknownPlanShifts(const CShiftSchedulingDomain& domain,
                             std::vector<std::string>& warnings) {
  const COperatingMatrix& plan = domain.GetOperating();
  for (std::size_t day = 0; day < plan.size(); ++day) {
    for (const COperating& cell : plan[day]) {
      const int shift = cell.GetShift();
      if (shift >= 0 && static_cast<std::size_t>(shift) < domain.GetShifts().size()) continue;
      warnings.push_back(Joined("the operating plan names shift ", shift,
                                ", which the domain does not have (day ", day + 1, ")"));
    }
  }
}

// A plan count that is no whole number of weeks, of which the reader takes
// the whole weeks: the days past them are read as what follows the plan.
void WarnOfPlanNotInWholeWeeks(const CShiftSchedulingDomain& domain,
                               std::vector<std::string>& warnings) {
  const int days = domain.GetPlanDaysCounted();
  if (days <= 0 || days % 7 == 0) return;
  warnings.push_back(Joined("the operating plan's count line gives ", days,
                            " days, and the reader takes whole weeks: ", days / 7 * 7, " days"));
}

// What the reader takes but a planner would hardly mean, text after the
// schedule (which is dropped) first.
std::vector<std::string> DomainWarnings(const CShiftSchedulingDomain& domain,
                                        const fs::path& file) {
  std::vector<std::string> warnings;
  if (domain.GetTextAfterSchedule() >= 0) warnings.push_back(TextAfterSchedule(file, domain));
  WarnOfCutNames(domain.GetGroups(), "group", warnings);
  WarnOfCutNames(domain.GetShifts(), "shift", warnings);
  WarnOfRepeatedNames(domain.GetGroups(), warnings);
  WarnOfNegativeShifts(domain.GetShifts(), warnings);
  WarnOfPlanNotInWholeWeeks(domain, warnings);
  WarnOfUnknownPlanShifts(domain, warnings);
  return warnings;
}

// What the reader took of a file before it stopped: a count line that does
// not match the records after it makes the reader stop in a later part,
// and the groups and shifts it took show where the counting went wrong.
std::string TakenBeforeStop(const CShiftSchedulingDomain& domain) {
  const auto names = [](const auto& records) {
    std::vector<std::string> listed;
    for (const auto& record : records) listed.emplace_back(record.GetName());
    return listed.empty() ? "" : " (" + NamesListed(listed) + ")";
  };
  std::string taken = Joined("the script name ", domain.GetStaticDataFileName());
  const int weeks = domain.GetLengthOfCycle();
  if (weeks <= 0) return taken;
  return Joined(taken, ", a cycle of ", Counted(weeks, "week"), " (rows of ", 7 * weeks, " days), ",
                Counted(static_cast<long long>(domain.GetGroups().size()), "group"),
                names(domain.GetGroups()), " and ",
                Counted(static_cast<long long>(domain.GetShifts().size()), "shift"),
                names(domain.GetShifts()));
}

// The folder of the file a link FILE leads to, when that is another than
// the link's; empty otherwise.
fs::path LinkedFolder(const fs::path& file) {
  std::error_code code;
  const fs::path folder = fs::canonical(file, code).parent_path();
  return code || folder == fs::weakly_canonical(file.parent_path(), code) ? fs::path() : folder;
}

// Whether a file begins with the byte-order mark some editors put before
// UTF-8 text. Only a regular file is opened: a pipe would wait for a writer.
bool StartsWithByteOrderMark(const fs::path& file) {
  std::error_code code;
  if (!fs::is_regular_file(file, code)) return false;
  std::ifstream in(file, std::ios::binary);
  char start[3] = {};
  in.read(start, sizeof start);
  return in.gcount() == 3 && std::string_view(start, 3) == "\xEF\xBB\xBF";
}

// A path below the folder of FILE as the user would type it: from FILE's
// folder as FILE was typed; any other path as it is.
std::string ShownPath(const std::string& path, const fs::path& folder, const std::string& file) {
  const fs::path relative = fs::path(path).lexically_relative(folder);
  if (!fs::path(path).is_absolute() || relative.empty() || *relative.begin() == "..") return path;
  return (fs::path(file).parent_path() / relative).string();
}

}  // namespace

fs::path CBatchRun::Absolute(const std::string& path) {
  std::error_code ignored;
  return path.empty() ? fs::path() : fs::absolute(path, ignored).lexically_normal();
}

std::string DomainFault(CShiftSchedulingDomain& domain) {
  const std::size_t groups = domain.GetGroups().size();
  const std::size_t shifts = domain.GetShifts().size();
  const CIntMatrix& schedule = domain.GetSchedule();
  // Every domain data file starts with its header and its script's name.
  if (*domain.GetStaticDataFileName() == '\0') return kNotDomainFile;
  if (domain.GetLengthOfCycle() <= 0) return "the cycle has no weeks";
  if (groups == 0) return "the domain has no groups";
  if (shifts == 0) return "the domain has no shifts";
  if (schedule.size() != groups) return "the schedule does not have one row per group";
  const auto days = static_cast<std::size_t>(7 * domain.GetLengthOfCycle());
  for (std::size_t group = 0; group < groups; ++group) {
    const std::vector<int>& row = schedule[group];
    if (row.size() != days) return "a schedule row does not cover the whole cycle";
    for (std::size_t day = 0; day < days; ++day) {
      const int shift = row[day];
      if (shift >= 0 && static_cast<std::size_t>(shift) < shifts) continue;
      return "the schedule names shift " + std::to_string(shift) + ", which the domain does not " +
             "have (group " + domain.GetGroups()[group].GetName() + ", day " +
             std::to_string(day + 1) + ")";
    }
  }
  return {};
}

int CBatchRun::Refuse(int status, const std::string& messages, const std::string& fault) const {
  std::cerr << ClassNamesExplained(Replaced(messages, pFile.string(), cOptions.sFile),
                                   cOptions.sFile);
  if (!fault.empty()) std::cerr << kProgram << ": " << cOptions.sFile << ": " << fault << '\n';
  return status;
}

std::unique_ptr<CShiftSchedulingDomain> CBatchRun::ReadDomain(const fs::path& folder,
                                                              std::string& messages) const {
  CDomainSettings settings = cOptions.cSettings;
  settings.sInputFolder = folder.string();
  std::unique_ptr<CShiftSchedulingDomain> domain = CreateDomain(settings);
  std::ostringstream text;
  domain->SetOutput(text, std::cerr);
  domain->Read(pFile.string());
  domain->SetOutput(std::cout, std::cerr);
  messages = text.str();
  return domain;
}

// A FILE that is a link to a domain file elsewhere has its script looked for
// beside the link first, then beside the file the link leads to.
void CBatchRun::ReadBesideLinkTarget(std::string& messages) {
  const fs::path folder = LinkedFolder(pFile);
  if (folder.empty()) return;
  std::string found;
  std::unique_ptr<CShiftSchedulingDomain> domain = ReadDomain(folder, found);
  if (found.find(kScriptNotFound) != std::string::npos) return;
  pInputFolder = folder;
  pDomain = std::move(domain);
  messages = std::move(found);
}

int CBatchRun::Open(bool needScript) {
  pFile = Absolute(cOptions.sFile);
  std::error_code code;
  if (const std::string cause = NoFileCause(pFile); !cause.empty()) {
    std::cerr << kProgram << ": " << cOptions.sFile << ": " << cause << '\n';
    return kExitNoInput;
  }
  if (const std::uintmax_t size = fs::file_size(pFile, code); !code && size > kMaxInputFileBytes) {
    std::cerr << kProgram << ": " << cOptions.sFile << ": larger than the "
              << (kMaxInputFileBytes >> 20) << " MiB a domain data file may hold\n";
    return kExitDataError;
  }
  if (::access(pFile.c_str(), R_OK) != 0) {
    std::cerr << kProgram << ": cannot read " << cOptions.sFile << ": " << std::strerror(errno)
              << '\n';
    return kExitNoInput;
  }
  // Only an evaluation writes log files.
  std::string error;
  if (needScript && !cFolder.Enter(Absolute(cOptions.sLogs), error)) {
    std::cerr << kProgram << ": " << error << '\n';
    return kExitCannotCreate;
  }
  pInputFolder = pFile.parent_path();
  std::string messages;
  pDomain = ReadDomain(pInputFolder, messages);
  if (messages.find(kScriptNotFound) != std::string::npos) ReadBesideLinkTarget(messages);
  const std::string fault = DomainFault(*pDomain);
  // A domain that cannot be used makes its script of no concern. Where the
  // reader said what stopped it, what is missing after that (a schedule
  // emptied, shifts never reached) would mislead: the line says no more
  // than that the file is not usable.
  if (!fault.empty()) {
    std::string said = WithoutScriptLines(messages);
    if (StartsWithByteOrderMark(pFile)) {
      said += Joined(kProgram, ": ", cOptions.sFile,
                     ": the file begins with a UTF-8 byte-order mark, which the reader does not "
                     "take; save it without one\n");
    }
    const bool told = !said.empty() && fault != kNotDomainFile;
    return Refuse(kExitDataError, said,
                  told ? Joined(kNotUsable, "; before it stopped", StoppedAt(*pDomain),
                                ", the reader took ", TakenBeforeStop(*pDomain))
                       : fault);
  }
  if (needScript && messages.find(kScriptFailed) != std::string::npos) {
    // A script that is there but too long for the script buffer is bad data.
    // The reader's own lines about the script give way to one that says it.
    const bool missing = messages.find(kScriptNotFound) != std::string::npos;
    const std::string script = pDomain->GetStaticDataFileName();
    return Refuse(missing ? kExitNoInput : kExitDataError, WithoutScriptLines(messages),
                  missing ? ScriptNotRead(script, fs::path(cOptions.sFile).parent_path() / script,
                                          pInputFolder / script, LinkedFolder(pFile))
                          : "the evaluation script " + script + " holds more than " +
                                std::to_string(CDomainInstance::kStaticDataChars) + " characters");
  }
  // A command that does not evaluate has no use for the script.
  Refuse(0, needScript ? messages : WithoutScriptLines(messages), "");
  for (const std::string& warning : DomainWarnings(*pDomain, pFile)) {
    std::cerr << kProgram << ": " << cOptions.sFile << ": warning: " << warning << '\n';
  }
  return kExitSuccess;
}

namespace {

// Whether a script text has the word INPUT, the statement that reads a word
// from standard input.
bool ReadsStandardInput(const char* script) {
  std::istringstream words{std::string(script != nullptr ? script : "")};
  for (std::string word; words >> word;) {
    if (word == "INPUT") return true;
  }
  return false;
}

}  // namespace

int CBatchRun::Evaluate() {
  // The script's INPUT prints no prompt, and what the script prints goes to
  // the log: without a word, a terminal would only seem to hang.
  if (::isatty(STDIN_FILENO) != 0 && ReadsStandardInput(pDomain->GetStaticData())) {
    std::cerr << kProgram << ": the evaluation script " << pDomain->GetStaticDataFileName()
              << " reads words from standard input (INPUT), at every evaluation: type them,"
                 " or give them from a file with <\n";
  }
  const fs::path log = cFolder.Path() / kConsoleLogFile;
  std::error_code code;
  const std::uintmax_t logged_before = fs::exists(log, code) ? fs::file_size(log, code) : 0;
  {
    CDomainToFile console(*pDomain, log);
    pDomain->Evaluate();
    CheckLog(console);
  }
  // What the script printed before it divided by zero shows where it did.
  ShowScriptMessages(log, code ? 0 : logged_before);
  WarnOfByteOrderMarks();
  if (pDomain->DividedByZero()) EndAtDivisionByZero();
  if (!pDomain->GetEvalData().empty()) return kExitSuccess;
  std::cerr << kProgram << ": " << cOptions.sFile << ": the evaluation script "
            << pDomain->GetStaticDataFileName() << " rated no constraint\n";
  return kExitDataError;
}

// The script, and the files it read in its first evaluation (its rule
// table, imported files), are read word by word: a byte-order mark that an
// editor put before the text becomes part of the first word, and the
// messages that follow would not say why.
void CBatchRun::WarnOfByteOrderMarks() const {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  constexpr std::string_view kSaveWithout =
      " begins with a UTF-8 byte-order mark, which is read as part of its first word; save it "
      "without one\n";
  if (std::string_view(pDomain->GetStaticData()).starts_with(kByteOrderMark)) {
    std::cerr << kProgram << ": " << cOptions.sFile << ": the evaluation script "
              << pDomain->GetStaticDataFileName() << kSaveWithout;
  }
  for (const std::string& name : pDomain->GetFilesRead()) {
    if (!StartsWithByteOrderMark(name)) continue;
    std::cerr << kProgram << ": " << cOptions.sFile << ": "
              << ShownPath(name, pInputFolder, cOptions.sFile) << ", which the script reads,"
              << kSaveWithout;
  }
}

// The log files other than the console log are written whole each time,
// without a word of failure: a disk left without room shows they may not be.
void CBatchRun::CheckLog(CDomainToFile& log) {
  std::error_code code;
  const bool room = fs::space(LogFolder(), code).available > 0 || code;
  if ((log.Complete() && room) || bLogLossSaid) return;
  bLogLossSaid = true;
  std::cerr << kProgram << ": warning: the disk of the log files is full: "
            << (cOptions.sLogs.empty() ? "the messages of the run"
                                       : "the log files in --logs " + cOptions.sLogs)
            << " may be incomplete\n";
}

// A script's messages (errors in formulas, unknown names, what it PRINTs
// or MEMDUMPs) go to the console log with everything the evaluation prints.
// They are shown once, from the first evaluation, on standard error: the
// lines the evaluation added to the log in their order, empty ones left
// out, a line repeated at once shown once with its count, the first few.
// The domain's lines about constraints of branches the repair does not know
// are left out: they are not the script's, and optimize says it in one line.
void CBatchRun::ShowScriptMessages(const fs::path& log, std::uintmax_t from) const {
  std::ifstream file(log);
  file.seekg(static_cast<std::streamoff>(from));
  std::vector<std::pair<std::string, long long>> lines;
  long long more = 0;
  for (std::string line; ReadShownLine(file, line);) {
    if (line.empty() || line.starts_with(CShiftSchedulingDomain::kNoRepairKind)) continue;
    if (!lines.empty() && more == 0 && lines.back().first == line) {
      ++lines.back().second;
    } else if (lines.size() < kShownScriptLines) {
      lines.emplace_back(std::move(line), 1);
    } else {
      ++more;
    }
  }
  if (lines.empty()) return;
  std::cerr << kProgram << ": " << cOptions.sFile << ": the evaluation script "
            << pDomain->GetStaticDataFileName() << " printed:\n";
  for (const auto& [text, times] : lines) {
    std::cerr << text;
    if (times > 1) std::cerr << " (" << times << " times)";
    std::cerr << '\n';
  }
  if (more > 0) {
    std::cerr << "... and " << Counted(more, "line") << " more"
              << (cOptions.sLogs.empty() ? " (--logs DIR keeps them in DIR/console.log)"
                                         : " in the console log")
              << '\n';
  }
}

void CBatchRun::EndAtDivisionByZero() {
  std::cerr << kProgram << ": " << cOptions.sFile << ": the evaluation script "
            << pDomain->GetStaticDataFileName()
            << " divided by zero; the run ended there and wrote nothing\n";
  cReservedOutput.Discard();
  cFolder.Leave();
  // A command that wrote nothing does not report success: a script that
  // divides by zero makes its domain file unusable, as one that rates
  // nothing does.
  ::EndAtDivisionByZero(kExitDataError);
}

CRosterGrid CBatchRun::Grid() const {
  return MakeRosterGrid(*pDomain);
}

std::vector<CRatedConstraint> CBatchRun::Ratings() const {
  return MakeRatedConstraints(pDomain->GetEvalData());
}

int CBatchRun::WriteOutput(const fs::path& path, const std::string& shown,
                           const std::string& text) {
  std::string error;
  if (WriteFileAtomically(path, text, error)) return kExitSuccess;
  return CannotWrite(shown, error);
}

int CBatchRun::ReserveOutput(const fs::path& path, const std::string& shown) {
  std::ostringstream roster;
  pDomain->Write(roster);
  // Another roster of the domain differs in its cells only, and a cell may
  // take another digit; the margin covers far more.
  const std::uintmax_t size = roster.str().size();
  const std::uintmax_t room = size + size / 4 + kReservedMargin;
  std::string error;
  if (cReservedOutput.Open(path, room, error)) return kExitSuccess;
  return CannotWrite(shown, error);
}

int CBatchRun::WriteReservedOutput(const std::string& shown, const std::string& text) {
  std::string error;
  if (cReservedOutput.Commit(text, error)) return kExitSuccess;
  return CannotWrite(shown, error);
}
