// The program's entry point. A first argument that names a batch command
// runs that command (commands.h). Otherwise the program is the console
// menu: it reads the command-line options, then owns the run's domain and
// optimizer and forwards each menu item to one of their operations.
#include <cctype>
#include <cstddef>
#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "domain_setup.h"
#include "domtarn.h"
#include "optimize.h"
#include "options.h"

namespace {

// Longest file name the menu accepts (the name buffer holds one more
// character for its terminator). Longer names are refused, not cut, so a
// file is never written under a name the user did not type.
constexpr std::size_t kFileNameChars = 255;

class CMenu {
 public:
  CMenu(const COptimizeLimits& limits, const CDomainSettings& settings)
      : pDomain(CreateDomain(settings)), optimizer(pDomain.get()), domain(*pDomain) {
    optimizer.SetLimits(limits);
    optimizer.SetSeedSource(SeedSourceOf(settings));
  }

  // Shows the menu and performs items until Quit or the end of input.
  int Run();

 private:
  enum class Input { kOk, kRefused, kEnd };

  static void ShowMenu();
  static Input ReadChoice(int& choice);
  static Input ReadFileName(std::string& name);

  // Declared in this order so the domain is built first and destroyed last,
  // after the optimizer that points to it.
  std::unique_ptr<CShiftSchedulingDomain> pDomain;
  COptimize optimizer;
  CShiftSchedulingDomain& domain;
};

void CMenu::ShowMenu() {
  std::cout << "DomTARN++ - Shift scheduling" << std::endl << std::endl;
  for (const char* item : kMenuItems) std::cout << item << std::endl;
  std::cout << std::endl << "Hit number key to choose an item." << std::endl;
}

// Text that is not a number counts as choice 0, an illegal one; the rest of
// its line is dropped so the next read waits for new input. Input ends only
// where nothing but white space is left: a last word without a line end,
// such as a number too large for int, is answered like any other.
CMenu::Input CMenu::ReadChoice(int& choice) {
  choice = 0;
  if ((std::cin >> std::ws).eof()) return Input::kEnd;
  if (std::cin >> choice) return Input::kOk;
  choice = 0;
  std::cin.clear();
  std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  return Input::kOk;
}

// Reads one word, at most one character more than allowed, so an endless
// word never fills memory; a longer word is dropped up to its end.
CMenu::Input CMenu::ReadFileName(std::string& name) {
  std::cout << "Filename: ";
  if (!(std::cin >> std::setw(kFileNameChars + 1) >> name)) return Input::kEnd;
  if (name.size() <= kFileNameChars) return Input::kOk;
  while (std::cin.peek() != std::char_traits<char>::eof() &&
         !std::isspace(static_cast<unsigned char>(std::cin.peek()))) {
    std::cin.get();
  }
  std::cout << "File name too long (limit is " << kFileNameChars << " characters)" << std::endl;
  return Input::kRefused;
}

int CMenu::Run() {
  for (;;) {
    int choice = 0;
    ShowMenu();
    if (ReadChoice(choice) == Input::kEnd) return 0;
    std::string name;
    switch (choice) {
      case 1:
      case 2:
      case 5: {
        const Input input = ReadFileName(name);
        if (input == Input::kEnd) return 0;
        if (input == Input::kRefused) break;
        if (choice == 1) domain.Read(name);
        if (choice == 2) domain.Write(name);
        if (choice == 5) domain.WriteVariables(name);
        break;
      }
      case 3:
        optimizer.RepairDeep();
        if (optimizer.DividedByZero()) EndAtDivisionByZero();
        break;
      case 4:
        optimizer.RepairRandom();
        if (optimizer.DividedByZero()) EndAtDivisionByZero();
        break;
      case 6:
        return 0;
      default:
        std::cout << "Illegal choice" << std::endl;
        break;
    }
  }
}

// The help and the version must reach their reader: a full disk or a
// closed standard output is an error, as for the batch commands.
int CheckedStandardOutput() {
  std::cout.flush();
  if (std::cout) return kExitSuccess;
  std::cerr << "domtarn: cannot write the standard output\n";
  return kExitIoError;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 1 && IsCommandName(argv[1])) return RunCommand(argc, argv);
  std::vector<std::string_view> args;
  for (int index = 1; index < argc; ++index) args.emplace_back(argv[index]);
  const CProgramOptions options = ParseOptions(args);
  switch (options.eAction) {
    case CProgramOptions::Action::kHelp:
      WriteUsage(std::cout);
      return CheckedStandardOutput();
    case CProgramOptions::Action::kVersion:
      WriteVersion(std::cout);
      return CheckedStandardOutput();
    case CProgramOptions::Action::kUsageError:
      WriteUsageError(std::cerr, options.sError);
      return kUsageErrorStatus;
    case CProgramOptions::Action::kRun:
      break;
  }
  CDomainSettings settings;
  settings.oSeed = options.oSeed;
  settings.bNoCache = options.bNoCache;
  CMenu menu({options.iMaxEvaluations, options.dTimeLimit}, settings);
  return menu.Run();
}
