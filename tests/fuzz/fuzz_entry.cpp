// Entry functions of the fuzz targets for the script interpreter and the
// fuzzy library's readers, the quiet console and the working directory.
#include "fuzz_entry.h"

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "capture.h"
#include "evaltree.h"
#include "expint.h"
#include "inter.h"
#include "inter_context.h"
#include "tarncvar.h"
#include "tarnpara.h"
#include "tarnrule.h"

namespace fuzz {
namespace {

// The variables file, among the fixtures, that holds the store the domain
// exports for the example roster; every script runs over a fresh copy of it.
constexpr std::string_view kDomainStore = "domain.vars";

// Statements per script run. Under the sanitizers the program's own limit
// lets an endless script, or one that nests calls up to their limit, run for
// many seconds; this one ends every script within a fraction of that. The
// nesting limits themselves are covered by the script engine's tests.
constexpr long kStatementLimit = 10'000;

struct TStoredVariable {
  std::string name;
  std::string formula;
  float value;
  int computed;
};

struct TFixture {
  std::string name;
  std::string text;
};

// What the one live workspace provides to the entries.
struct TWorkspaceState {
  std::filesystem::path dir;
  std::vector<TFixture> fixtures;
  std::vector<TStoredVariable> store;
  bool dirty = false;  // a run may have written files
  std::unique_ptr<TEvalContext> context;
  std::unique_ptr<TEvalContext> uncached;  // only to compare
};

TWorkspaceState* workspace = nullptr;

void write_fixtures() {
  for (const TFixture& f : workspace->fixtures) {
    std::ofstream(f.name, std::ios::binary) << f.text;
  }
}

// Empties the directory and puts the fixtures back, when a run may have
// changed them, so every input starts from the same files.
void reset_files() {
  if (!workspace->dirty) return;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(workspace->dir, error)) {
    std::filesystem::remove_all(entry.path(), error);
  }
  write_fixtures();
  workspace->dirty = false;
}

std::unique_ptr<TVarlist> domain_store() {
  auto vars = std::make_unique<TVarlist>();
  for (const TStoredVariable& v : workspace->store) {
    vars->insert(v.name, v.formula, v.value);
    vars->get(vars->number() - 1).set_comp(v.computed);
  }
  return vars;
}

void load_domain_store(const std::string& text) {
  std::istringstream in(text);
  TVarlist vars;
  vars.read(in);
  for (std::size_t i = 0; i < vars.number(); ++i) {
    const TVariable& v = vars.get(i);
    workspace->store.push_back({v.get_name(), v.get_formula(), v.get_value(), v.get_comp()});
  }
}

// ------------------------------------------------------------------ entries

// One run of `text` in `context`, from the fixtures: what it printed, then
// the tree's ratings in their list order.
std::string run_script(TEvalContext& context, const std::string& text) {
  reset_files();
  if (text.find("EXPORT") != std::string::npos) workspace->dirty = true;
  std::ostringstream out;
  context.set_output(out, out);
  {
    TQuietConsole quiet;
    const std::unique_ptr<TEvalTree> tree = interpret(context, text.c_str(), domain_store());
    if (tree != nullptr) {
      out << "\n-- ratings\n";
      for (const ConstraintEvaluation& c : tree->GetConstraintList()) {
        out << c.GetName() << ' ' << c.GetBranch() << ' ' << c.GetValue() << '\n';
      }
      tree->clean_up();
    }
  }
  context.set_output(std::cout, std::cerr);
  return out.str();
}

void run_interpret(std::string_view input) {
  // The program refuses a script that does not fit the script buffer.
  if (input.size() > script_chars() || !stays_inside(input)) return;
  // Like the script buffer, the text ends at its first NUL character.
  const std::string text(input);
  const std::string first = run_script(*workspace->context, text);
  if (workspace->uncached == nullptr) return;
  const std::string again = run_script(*workspace->context, text);
  const std::string computed = run_script(*workspace->uncached, text);
  if (first == computed && again == computed) return;
  std::cerr << "cached and uncached runs differ\n-- cached\n"
            << first << "\n-- cached again\n"
            << again << "\n-- uncached\n"
            << computed << '\n';
  std::abort();
}

void run_ruleset(std::string_view input) {
  std::istringstream in{std::string(input)};
  TQuietConsole quiet;
  RuleSet rules;
  rules.read(in);
  rules.write(std::cout);
  rules.show(std::cout);
  rules.make_ShortString(std::cout);
  // Rule evaluation over what was read: every variable as the output.
  CVList* vars = rules.get_cv_list();
  for (int i = 0; i < vars->get_number(); ++i) rules.evaluate(vars->find(i));
}

void run_varlist(std::string_view input) {
  std::istringstream in{std::string(input)};
  TQuietConsole quiet;
  TVarlist vars;
  vars.read(in);
  vars.write(std::cout);
  vars.show(std::cout);
  vars.substitute_all();
  // Every formula that was read is computed, as a script's use of it would.
  for (std::size_t i = 0; i < vars.number(); ++i) {
    const std::string formula = vars.get(i).get_formula();
    compute_formula(formula, vars);
  }
}

void run_pslist(std::string_view input) {
  std::istringstream in{std::string(input)};
  TQuietConsole quiet;
  PSList sets;
  sets.read(in, &std::cerr);
  sets.write(std::cout);
  sets.show(std::cout);
  // Fuzzy variables generated from each set, fuzzified at its median.
  for (int i = 0; i < sets.get_number(); ++i) {
    CombinedVariable cv(sets.find(i), "v");
    cv.set_value(cv.get_median());
    cv.show(std::cout);
  }
}

}  // namespace

TQuietConsole::TQuietConsole() {
  for (std::size_t i = 0; i < streams.size(); ++i) {
    formats[i].copyfmt(*streams[i]);
    buffers[i] = streams[i]->rdbuf(&null);
  }
  input = std::cin.rdbuf(no_input.rdbuf());
}

TQuietConsole::~TQuietConsole() {
  for (std::size_t i = 0; i < streams.size(); ++i) {
    streams[i]->rdbuf(buffers[i]);
    streams[i]->copyfmt(formats[i]);
    streams[i]->clear();
  }
  std::cin.rdbuf(input);
  std::cin.clear();
}

namespace {

constexpr std::array<TTarget, 6> kTargets{{
    {"interpret", run_interpret},
    {"domain", run_domain},
    {"optimize", run_optimize},
    {"ruleset", run_ruleset},
    {"varlist", run_varlist},
    {"pslist", run_pslist},
}};

}  // namespace

std::span<const TTarget> targets() {
  return kTargets;
}

const TTarget* find_target(std::string_view name) {
  auto it = std::find_if(kTargets.begin(), kTargets.end(),
                         [name](const TTarget& t) { return t.name == name; });
  return it != kTargets.end() ? &*it : nullptr;
}

bool stays_inside(std::string_view input) {
  if (input.find("..") != std::string_view::npos) return false;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] != '/' || (i > 0 && !is_space(input[i - 1]))) continue;
    const bool comment_opener = i + 1 < input.size() && input[i + 1] == '*' &&
                                (i + 2 == input.size() || is_space(input[i + 2]));
    if (!comment_opener) return false;
  }
  return true;
}

std::filesystem::path default_fixtures() {
  return DOMTARN_FUZZ_FIXTURES;
}

std::unique_ptr<TEvalContext> fuzz_context(bool caching) {
  auto context = std::make_unique<TEvalContext>();
  context->set_caching(caching);
  context->limits.statements = kStatementLimit;
  // The console, which the entries silence while they run.
  context->set_output(std::cout, std::cerr);
  return context;
}

TWorkspace::TWorkspace(const std::filesystem::path& fixtures, TCacheMode mode) {
  static TWorkspaceState state;
  state = TWorkspaceState{};
  state.context = fuzz_context(mode != TCacheMode::kOff);
  if (mode == TCacheMode::kCompare) state.uncached = fuzz_context(false);
  workspace = &state;
  for (const auto& entry : std::filesystem::directory_iterator(fixtures)) {
    const std::string name = entry.path().filename().string();
    if (name == kDomainStore) {
      load_domain_store(read_file(entry.path()));
    } else {
      state.fixtures.push_back({name, read_file(entry.path())});
    }
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "domtarn-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::cerr << "cannot create a temporary directory from " << pattern << '\n';
    std::abort();
  }
  dir = pattern;
  state.dir = dir;
  previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  write_fixtures();
}

TCacheMode cache_mode() {
  if (workspace->uncached != nullptr) return TCacheMode::kCompare;
  return workspace->context->caching() ? TCacheMode::kOn : TCacheMode::kOff;
}

void note_files_written() {
  reset_files();
  workspace->dirty = true;
}

TEvalContext& TWorkspace::context() const {
  return *workspace->context;
}

TWorkspace::~TWorkspace() {
  std::error_code error;
  std::filesystem::current_path(previous, error);
  std::filesystem::remove_all(dir, error);
  workspace->context.reset();
  workspace->uncached.reset();
  workspace = nullptr;
}

}  // namespace fuzz
