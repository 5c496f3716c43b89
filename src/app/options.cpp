// Command-line options: reading the arguments and the usage texts.
#include "options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <system_error>

namespace {

constexpr std::string_view kMaxEvaluations = "--max-evaluations";
constexpr std::string_view kTimeLimit = "--time-limit";
constexpr std::string_view kHelp = "--help";
constexpr std::string_view kVersion = "--version";
constexpr std::string_view kNoCache = "--no-cache";

constexpr const char* kUsageLine =
    " [--max-evaluations N] [--time-limit SECONDS] [--help] [--version]";

std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  quoted += text;
  return quoted += "'";
}

// The whole text must be the number: no sign, blanks or trailing characters.
bool ParseEvaluations(std::string_view text, std::int64_t& value) {
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && rest == end && value >= 1;
}

// Decimal or exponent notation; infinity and not-a-number are refused, since
// an unbounded run is what leaving the option out gives.
bool ParseSeconds(std::string_view text, double& value) {
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && rest == end && std::isfinite(value) && value > 0;
}

// Takes the value of one bound; returns the fault, empty when there is none.
std::string TakeBound(std::string_view name, std::string_view value, CProgramOptions& options) {
  const std::string fault = "invalid value " + Quoted(value) + " for " + Quoted(name);
  if (name == kMaxEvaluations) {
    if (ParseEvaluations(value, options.iMaxEvaluations)) return {};
    return fault + ": expected a whole number from 1 to " +
           std::to_string(std::numeric_limits<std::int64_t>::max());
  }
  if (ParseSeconds(value, options.dTimeLimit)) return {};
  return fault + ": expected a number of seconds greater than 0";
}

CProgramOptions Fault(std::string error) {
  CProgramOptions options;
  options.eAction = CProgramOptions::Action::kUsageError;
  options.sError = std::move(error);
  return options;
}

}  // namespace

CProgramOptions ParseOptions(const std::vector<std::string_view>& args) {
  CProgramOptions options;
  for (std::size_t index = 0; index < args.size(); ++index) {
    const std::string_view arg = args[index];
    const std::size_t equals = arg.find('=');
    const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string_view::npos;
    const std::string_view name = inlineValue ? arg.substr(0, equals) : arg;

    if (name == kHelp || name == kVersion) {
      if (inlineValue) return Fault("option " + Quoted(name) + " takes no value");
      options.eAction =
          name == kHelp ? CProgramOptions::Action::kHelp : CProgramOptions::Action::kVersion;
      return options;
    }
    if (name == kNoCache) {
      if (inlineValue) return Fault("option " + Quoted(name) + " takes no value");
      options.bNoCache = true;
      continue;
    }
    if (name != kMaxEvaluations && name != kTimeLimit) {
      if (name.rfind("-", 0) == 0) return Fault("unknown option " + Quoted(arg));
      return Fault("unexpected argument " + Quoted(arg));
    }
    std::string_view value;
    if (inlineValue) {
      value = arg.substr(equals + 1);
    } else if (index + 1 < args.size()) {
      value = args[++index];
    } else {
      return Fault("option " + Quoted(name) + " needs a value");
    }
    std::string fault = TakeBound(name, value, options);
    if (!fault.empty()) return Fault(std::move(fault));
  }
  return options;
}

void WriteUsage(std::ostream& out) {
  out << "Usage: " << kCommandName << kUsageLine << '\n'
      << "\n"
         "Improves cyclic shift rosters. The program shows a menu and reads the menu\n"
         "choices and file names from standard input.\n"
         "\n"
         "Options:\n"
         "  --max-evaluations N   stop every optimization after N evaluations\n"
         "  --time-limit SECONDS  stop every optimization after SECONDS of wall time\n"
         "                        (a decimal number greater than 0)\n"
         "  --no-cache            evaluate without the engine's caches (slower; for checking)\n"
         "  --help                print this text and exit\n"
         "  --version             print the program name and version and exit\n"
         "\n"
         "An optimization that stops keeps the best roster it evaluated and returns\n"
         "to the menu, where item 2 writes it. Ctrl-C during items 3 and 4 stops the\n"
         "optimization the same way; a second Ctrl-C, or Ctrl-C at the menu, ends the\n"
         "program.\n"
         "\n"
         "Menu items:\n";
  for (const char* item : kMenuItems) out << "  " << item << '\n';
}

void WriteVersion(std::ostream& out) {
  out << kProgramName << ' ' << kProgramVersion << '\n';
}

void WriteUsageError(std::ostream& out, const std::string& error) {
  out << kCommandName << ": " << error << '\n'
      << "Usage: " << kCommandName << kUsageLine << '\n'
      << "Try '" << kCommandName << " --help' for more information.\n";
}
