// What a batch command needs around the domain: its own working folder,
// console output caught, outputs written whole, and the progress line.
#include "batch_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <system_error>
#include <vector>

#include "text_join.h"

namespace {

namespace fs = std::filesystem;

// The start of the messages about a log folder that cannot be used.
constexpr const char* kCannotUse = "cannot use the log folder ";

// The progress line is drawn again after this long at the earliest.
constexpr std::chrono::milliseconds kRedrawInterval(100);

std::string SystemError() {
  return std::strerror(errno);
}

// A new file of a name no other file has, beside `path`; -1 when none can be
// made. `name` gets its name.
int CreateTemporaryBeside(const fs::path& path, std::string& name) {
  // A name of a folder entry holds at most 255 bytes; the output's own name
  // is cut so that the dot and the suffix fit beside it.
  constexpr std::size_t kMaxEntryBytes = 255;
  constexpr std::string_view kSuffix = ".XXXXXX";
  const std::string own = path.filename().string().substr(0, kMaxEntryBytes - 1 - kSuffix.size());
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::string pattern = (folder / Joined(".", own, kSuffix)).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd >= 0) name = pattern;
  return fd;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// Where temporary folders go: the first of the variables the C++ library
// looks at for it that is set and not empty, /tmp otherwise. The variable is
// named in messages, so that a user learns where a bad folder comes from.
struct CTemporaryBase {
  std::string sFolder;
  std::string sVariable;  // empty for the default
};

CTemporaryBase TemporaryBase() {
  for (const char* variable : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* folder = std::getenv(variable);
    if (folder != nullptr && *folder != '\0') return {folder, variable};
  }
  return {"/tmp", ""};
}

// The temporary log folder that a signal ending the program removes first,
// while a CLogFolder holds one. Signal handlers can reach nothing else.
std::atomic<const char*> gFolderToRemove = nullptr;
static_assert(std::atomic<const char*>::is_always_lock_free, "read in signal handlers");
// The temporary file of an output that holds room on the disk, likewise.
std::atomic<const char*> gFileToRemove = nullptr;

void OnEndingSignal(int signal) {
  EndBySignal(signal);
}

// Sends the signals that end the program at once to EndBySignal: Ctrl-C,
// SIGTERM, SIGHUP and SIGPIPE (a reader that stops early, `domtarn evaluate
// ... | head`).
void HandleEndingSignals(std::optional<CSignalHandlers>& handlers) {
  handlers.emplace(std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP, SIGPIPE}, OnEndingSignal, 0);
}

// Folders nested deeper than this inside a removed folder are left (the
// program makes one level, worker<i>); each level holds one buffer of
// entries on the stack.
constexpr int kMaxRemovedDepth = 16;
// Rounds of removal while other threads still make entries.
constexpr int kRemovalRounds = 100;

bool RemoveEntryAt(int folder, const char* name, int depth) noexcept;

// Removes every entry of the folder open as `folder`, in rounds until one
// finds nothing to remove (entries removed while the folder is read may make
// it skip others).
void EmptyFolderAt(int folder, int depth) noexcept {
  alignas(8) char buffer[2048];
  for (int round = 0; round < kRemovalRounds; ++round) {
    if (::lseek(folder, 0, SEEK_SET) != 0) return;
    bool removed = false;
    for (;;) {
      const ssize_t length = ::getdents64(folder, buffer, sizeof buffer);
      if (length <= 0) break;
      for (ssize_t at = 0; at < length;) {
        unsigned short record = 0;
        std::memcpy(&record, buffer + at + offsetof(struct dirent64, d_reclen), sizeof record);
        const char* name = buffer + at + offsetof(struct dirent64, d_name);
        at += record;
        if (record == 0) return;
        const bool dots =
            name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if (!dots && RemoveEntryAt(folder, name, depth)) removed = true;
      }
    }
    if (!removed) return;
  }
}

// Removes one entry of a folder: a file or link at once, a folder after its
// entries. Linux refuses to unlink a folder with EISDIR, POSIX with EPERM.
bool RemoveEntryAt(int folder, const char* name, int depth) noexcept {
  if (::unlinkat(folder, name, 0) == 0) return true;
  if ((errno != EISDIR && errno != EPERM) || depth >= kMaxRemovedDepth) return false;
  const int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (inner < 0) return false;
  EmptyFolderAt(inner, depth + 1);
  ::close(inner);
  return ::unlinkat(folder, name, AT_REMOVEDIR) == 0;
}

}  // namespace

// --------------------------------------------------------------- signals

CSignalHandlers::CSignalHandlers(std::initializer_list<int> signals, void (*handler)(int),
                                 int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  Install(signals, action);
}

CSignalHandlers::CSignalHandlers(std::initializer_list<int> signals,
                                 void (*handler)(int, siginfo_t*, void*), int flags) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  action.sa_flags = flags | SA_SIGINFO;
  Install(signals, action);
}

void CSignalHandlers::Install(std::initializer_list<int> signals, const struct sigaction& action) {
  struct sigaction installed = action;
  sigemptyset(&installed.sa_mask);
  std::size_t i = 0;
  for (const int signal : signals) {
    if (i == kMaxSignals) break;
    aSignals[i] = signal;
    if (sigaction(signal, nullptr, &aPrevious[i]) == 0 && aPrevious[i].sa_handler != SIG_IGN) {
      aInstalled[i] = sigaction(signal, &installed, nullptr) == 0;
    }
    ++i;
  }
}

CSignalHandlers::~CSignalHandlers() {
  for (std::size_t i = 0; i < kMaxSignals; ++i) {
    if (aInstalled[i]) sigaction(aSignals[i], &aPrevious[i], nullptr);
  }
}

bool RemoveFolderTree(const char* path) noexcept {
  const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return false;
  bool gone = false;
  for (int round = 0; round < kRemovalRounds && !gone; ++round) {
    EmptyFolderAt(folder, 0);
    gone = ::rmdir(path) == 0;
    if (!gone && errno != ENOTEMPTY && errno != EEXIST) break;
  }
  ::close(folder);
  return gone;
}

void EndBySignal(int signal) noexcept {
  const int saved = errno;
  if (const char* file = gFileToRemove.load()) ::unlink(file);
  if (const char* folder = gFolderToRemove.load()) RemoveFolderTree(folder);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  ::raise(signal);
  errno = saved;
}

// ------------------------------------------------------------- log folder

bool CLogFolder::Enter(const fs::path& keep, std::string& error) {
  std::error_code code;
  pPrevious = fs::current_path(code);
  if (code) {
    error = Joined("cannot use the current folder (", code.message(),
                   "); change to a folder that exists");
    return false;
  }
  if (keep.empty()) {
    const CTemporaryBase base = TemporaryBase();
    std::string pattern = (fs::path(base.sFolder) / "domtarn.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      error = Joined("cannot create a temporary folder in ", base.sFolder,
                     base.sVariable.empty() ? "" : Joined(" (", base.sVariable, ")"), ": ",
                     SystemError());
      return false;
    }
    pFolder = pPrevious / pattern;  // TMPDIR may be relative
    bTemporary = true;
    gFolderToRemove = pFolder.c_str();
    HandleEndingSignals(oEndingSignals);
  } else {
    pFolder = keep;
    fs::create_directories(pFolder, code);
    if (code || !fs::is_directory(pFolder)) {
      error = Joined(kCannotUse, pFolder.string(), ": ", code ? code.message() : "not a folder");
      return false;
    }
    // The log files are written there: a folder the user may not write to
    // would lose them without a word.
    if (::access(pFolder.c_str(), W_OK | X_OK) != 0) {
      error = Joined(kCannotUse, pFolder.string(), ": ", SystemError());
      return false;
    }
    // A run clears the folder of an earlier run's logs: two at once would
    // remove and mix each other's files.
    if (!LockKeptFolder()) {
      error = Joined(kCannotUse, pFolder.string(), ": another run uses it");
      return false;
    }
  }
  fs::current_path(pFolder, code);
  if (code) {
    error = Joined(kCannotUse, pFolder.string(), ": ", code.message());
    return false;
  }
  bEntered = true;
  return true;
}

CLogFolder::~CLogFolder() {
  Leave();
}

bool CLogFolder::LockKeptFolder() {
  iLock = ::open(pFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened for the lock is used without it.
  if (iLock < 0) return true;
  return ::flock(iLock, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

void CLogFolder::Leave() {
  std::error_code ignored;
  if (iLock >= 0) ::close(iLock);
  iLock = -1;
  if (bEntered) fs::current_path(pPrevious, ignored);
  if (bTemporary) {
    // A signal that comes meanwhile removes the rest and ends the program.
    fs::remove_all(pFolder, ignored);
    oEndingSignals.reset();
    const char* own = pFolder.c_str();
    gFolderToRemove.compare_exchange_strong(own, nullptr);
  }
  bEntered = false;
  bTemporary = false;
}

// ---------------------------------------------------------- console output

CBoundedLog::CBuffer::CBuffer(const fs::path& file, std::uintmax_t bound)
    : iBound(bound), iLeft(bound) {
  std::error_code code;
  const std::uintmax_t size = fs::file_size(file, code);
  if (!code) iLeft = size < bound ? bound - size : 0;
  fFile.open(file, std::ios::out | std::ios::app);
}

CBoundedLog::CBuffer::int_type CBoundedLog::CBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  return xsputn(&character, 1) == 1 ? c : traits_type::eof();
}

std::streamsize CBoundedLog::CBuffer::xsputn(const char* text, std::streamsize count) {
  const auto wanted = static_cast<std::uintmax_t>(count);
  if (wanted <= iLeft) {
    iLeft -= wanted;
    return fFile.sputn(text, count);
  }
  if (!bCut) {
    bCut = true;
    const std::string cut =
        Joined("\n[the log ends here: it reached its bound of ", iBound, " bytes]\n");
    fFile.sputn(cut.data(), static_cast<std::streamsize>(cut.size()));
  }
  iLeft = 0;
  return count;
}

int CBoundedLog::CBuffer::sync() {
  return fFile.pubsync();
}

CBoundedLog::CBoundedLog(const fs::path& file, std::uintmax_t bound)
    : std::ostream(nullptr), cBuffer(file, bound) {
  rdbuf(&cBuffer);
}

CBoundedLog::~CBoundedLog() {
  flush();
}

CDomainToFile::CDomainToFile(CDomainInstance& domain, const fs::path& file)
    : cDomain(domain), fFile(file) {
  cDomain.SetOutput(fFile, fFile);
}

bool CDomainToFile::Complete() {
  return static_cast<bool>(fFile.flush());
}

CDomainToFile::~CDomainToFile() {
  fFile.flush();
  cDomain.SetOutput(std::cout, std::cerr);
}

// ---------------------------------------------------------- atomic writes

// The link stays and its file gets the text.
fs::path OutputDestination(const fs::path& path, std::string& error) {
  // As many links as the system follows in one path.
  constexpr int kMaxLinks = 40;
  fs::path at = path;
  for (int links = 0; links < kMaxLinks; ++links) {
    std::error_code code;
    if (!fs::is_symlink(at, code)) return at;
    const fs::path target = fs::read_symlink(at, code);
    if (code) return at;
    at = target.is_absolute() ? target : at.parent_path() / target;
  }
  error = std::strerror(ELOOP);
  return {};
}

namespace {

// Whether `destination` may be replaced: it does not exist yet, or it is a
// regular file this user may write. A device, a pipe or a folder is never
// replaced by a file, and a read-only file is not written over.
bool Replaceable(const fs::path& destination, std::string& error) {
  std::error_code code;
  const fs::file_status status = fs::status(destination, code);
  if (!fs::exists(status)) return true;
  if (!fs::is_regular_file(status)) {
    error = "not a regular file";
    return false;
  }
  if (::access(destination.c_str(), W_OK) != 0) {
    error = SystemError();
    return false;
  }
  return true;
}

// A new output gets the usual permissions (mkstemp makes it readable by its
// owner only); one that replaces a file takes that file's mode, and its
// owner where the user may give it.
bool TakePermissions(int fd, const fs::path& destination) {
  struct stat old {};
  if (::stat(destination.c_str(), &old) == 0) {
    // A user may give a file only to themselves: failing to keep another
    // owner is no failure.
    [[maybe_unused]] const int owner_kept = ::fchown(fd, old.st_uid, old.st_gid);
    return ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return ::fchmod(fd, 0666 & ~mask) == 0;
}

}  // namespace

COutputFile::~COutputFile() {
  Discard();
}

bool COutputFile::Open(const fs::path& path, std::uintmax_t room, std::string& error) {
  Discard();
  pDestination = OutputDestination(path, error);
  if (pDestination.empty() || !Replaceable(pDestination, error)) return false;
  iFd = CreateTemporaryBeside(pDestination, sTemporary);
  if (iFd < 0) {
    error = SystemError();
    return false;
  }
  RemoveAtEndingSignal();
  if (room == 0) return true;
  // posix_fallocate gives its error instead of setting errno. Where the file
  // system has no such operation the C library writes the room out itself.
  const int failure = ::posix_fallocate(iFd, 0, static_cast<off_t>(room));
  if (failure == ENOSPC || failure == EFBIG || failure == EDQUOT) {
    error = std::strerror(failure);
    Discard();
    return false;
  }
  bHoldsRoom = failure == 0;
  return true;
}

// A signal that ends the program removes the temporary file. Where a
// termination signal is meant to stop an optimisation instead (and only a
// second one to end the program), that handling stays.
void COutputFile::RemoveAtEndingSignal() {
  const char* none = nullptr;
  if (!gFileToRemove.compare_exchange_strong(none, sTemporary.c_str())) return;
  struct sigaction now {};
  if (sigaction(SIGTERM, nullptr, &now) != 0) return;
  if (now.sa_handler == SIG_DFL || now.sa_handler == OnEndingSignal) {
    HandleEndingSignals(oEndingSignals);
  }
}

bool COutputFile::Commit(const std::string& text, std::string& error) {
  if (!IsOpen()) {
    error = "not opened";
    return false;
  }
  // The text is written from the start of the room; what is left of the
  // room is given back.
  const bool written = TakePermissions(iFd, pDestination) && WriteAll(iFd, text) &&
                       (!bHoldsRoom || ::ftruncate(iFd, static_cast<off_t>(text.size())) == 0) &&
                       ::fsync(iFd) == 0;
  const int closed = ::close(iFd);
  iFd = -1;
  if (!written || closed != 0 || std::rename(sTemporary.c_str(), pDestination.c_str()) != 0) {
    error = SystemError();
    Discard();
    return false;
  }
  Forget();
  return true;
}

void COutputFile::Discard() {
  if (iFd >= 0) ::close(iFd);
  iFd = -1;
  if (!sTemporary.empty()) std::remove(sTemporary.c_str());
  Forget();
}

// The temporary file is no longer this object's: it is in place or gone.
void COutputFile::Forget() {
  oEndingSignals.reset();
  const char* own = sTemporary.c_str();
  gFileToRemove.compare_exchange_strong(own, nullptr);
  sTemporary.clear();
  bHoldsRoom = false;
}

bool WriteFileAtomically(const fs::path& path, const std::string& text, std::string& error) {
  COutputFile file;
  return file.Open(path, 0, error) && file.Commit(text, error);
}

bool CanCreateFileBeside(const fs::path& path, std::string& error) {
  COutputFile file;
  return file.Open(path, 0, error);
}

// ---------------------------------------------------------- progress line

CProgressLine::CProgressLine(bool enabled)
    : bEnabled(enabled), tStart(std::chrono::steady_clock::now()) {}

CProgressLine::~CProgressLine() {
  Finish();
}

void CProgressLine::Update(std::int64_t evaluations, float best, float current) {
  iEvaluations = evaluations;
  fBest = best;
  fCurrent = current;
  if (!bEnabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (bDrawn && now - tLastDraw < kRedrawInterval) return;
  tLastDraw = now;
  Draw();
}

std::string ProgressLineText(std::int64_t evaluations, double seconds, float best, float current,
                             int columns) {
  const double rate = seconds > 0 ? static_cast<double>(evaluations) / seconds : 0;
  std::ostringstream figures;
  figures << Counted(evaluations, "evaluation") << ", " << std::fixed << std::setprecision(0)
          << rate << "/s, best " << std::defaultfloat << std::setprecision(6) << best
          << ", current " << current << ", " << std::fixed << std::setprecision(1) << seconds
          << " s";
  std::string text = figures.str();
  // A line that reached the last column would wrap on some terminals, and
  // the next "\r" would then rewrite only its second part.
  if (columns > 0 && text.size() >= static_cast<std::size_t>(columns)) {
    text.resize(static_cast<std::size_t>(columns - 1));
  }
  return Joined("\r", text, "\x1b[K");
}

int TerminalColumns(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void CProgressLine::Draw() {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - tStart;
  // Asked at every line: the window may have been resized.
  std::cerr << ProgressLineText(iEvaluations, elapsed.count(), fBest, fCurrent,
                                TerminalColumns(STDERR_FILENO))
            << std::flush;
  bDrawn = true;
}

void CProgressLine::Finish() {
  if (!bEnabled || !bDrawn) return;
  Draw();
  std::cerr << '\n' << std::flush;
  bEnabled = false;
}
