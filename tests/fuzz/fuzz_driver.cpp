// libFuzzer driver of one fuzz target; the build names the target. The
// driver runs every input in a fresh temporary working directory, with
// standard input empty, and as the unprivileged user "nobody" when started
// as root, so no file name an input makes up can reach the rest of the
// machine. With DOMTARN_FUZZ_NO_CACHE set (to anything) the scripts run
// with the engine's caches off; with DOMTARN_FUZZ_COMPARE set, with and
// without them, and a difference is a finding.
#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_entry.h"

namespace {

constexpr uid_t kNobody = 65534;

const fuzz::TTarget* target = nullptr;

void leave_root() {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
    std::perror("cannot drop root privileges");
    std::abort();
  }
  // Changing the user makes the process undumpable, which would keep the
  // leak checker from attaching to it.
  prctl(PR_SET_DUMPABLE, 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  leave_root();
  if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();
  const fuzz::TCacheMode mode =
      std::getenv("DOMTARN_FUZZ_COMPARE") != nullptr    ? fuzz::TCacheMode::kCompare
      : std::getenv("DOMTARN_FUZZ_NO_CACHE") != nullptr ? fuzz::TCacheMode::kOff
                                                        : fuzz::TCacheMode::kOn;
  static fuzz::TWorkspace workspace(fuzz::default_fixtures(), mode);
  target = fuzz::find_target(DOMTARN_FUZZ_TARGET);
  if (target == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  target->run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
