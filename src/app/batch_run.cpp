// One batch command's run on a domain file.
#include "batch_run.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

#include "commands.h"
#include "roster_fill.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "domtarn";
constexpr const char* kScriptMissing = "Failed to read StaticDataFile";

// The reader names the file by the path it opened; messages name it as typed.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
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
  if (domain.GetLengthOfCycle() <= 0) return "the cycle has no weeks";
  if (groups == 0) return "the domain has no groups";
  if (shifts == 0) return "the domain has no shifts";
  if (schedule.size() != groups) return "the schedule does not have one row per group";
  const auto days = static_cast<std::size_t>(7 * domain.GetLengthOfCycle());
  for (const std::vector<int>& row : schedule) {
    if (row.size() != days) return "a schedule row does not cover the whole cycle";
    for (const int shift : row) {
      if (shift < 0 || static_cast<std::size_t>(shift) >= shifts) {
        return "the schedule names a shift the domain does not have";
      }
    }
  }
  return {};
}

int CBatchRun::Refuse(int status, const std::string& messages, const std::string& fault) const {
  std::cerr << Replaced(messages, pFile.string(), cOptions.sFile);
  if (!fault.empty()) std::cerr << kProgram << ": " << cOptions.sFile << ": " << fault << '\n';
  return status;
}

int CBatchRun::Open(bool needScript) {
  pFile = Absolute(cOptions.sFile);
  std::error_code code;
  if (!fs::is_regular_file(pFile, code)) {
    const bool exists = fs::exists(pFile, code);
    std::cerr << kProgram << ": " << cOptions.sFile << ": "
              << (exists ? "not a file" : "no such file") << '\n';
    return kExitNoInput;
  }
  std::string error;
  if (!cFolder.Enter(Absolute(cOptions.sLogs), error)) {
    std::cerr << kProgram << ": cannot use the log folder " << error << '\n';
    return kExitCannotCreate;
  }
  CDomainSettings settings = cOptions.cSettings;
  settings.sInputFolder = pFile.parent_path().string();
  pDomain = CreateDomain(settings);
  std::string messages;
  {
    const CConsoleToText console;
    pDomain->Read(pFile.string());
    messages = console.Text();
  }
  const std::string fault = DomainFault(*pDomain);
  if (!fault.empty()) return Refuse(kExitDataError, messages, fault);
  if (needScript && messages.find(kScriptMissing) != std::string::npos) {
    return Refuse(
        kExitNoInput, messages,
        std::string("cannot read the evaluation script ") + pDomain->GetStaticDataFileName());
  }
  Refuse(0, messages, "");
  return kExitSuccess;
}

int CBatchRun::Evaluate() {
  {
    const CDomainToFile console(*pDomain, cFolder.Path() / kConsoleLogFile);
    pDomain->Evaluate();
    if (pDomain->DividedByZero()) EndAtDivisionByZero();
  }
  if (!pDomain->GetEvalData().empty()) return kExitSuccess;
  std::ifstream log(cFolder.Path() / kConsoleLogFile);
  std::cerr << std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  std::cerr << kProgram << ": " << cOptions.sFile << ": the evaluation script "
            << pDomain->GetStaticDataFileName() << " rated no constraint\n";
  return kExitDataError;
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
  std::cerr << kProgram << ": cannot write " << shown << ": " << error << '\n';
  return kExitCannotCreate;
}
