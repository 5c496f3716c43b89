// Writing a whole file in place, with the system's own calls: a stream opens
// the file emptied, which is what the in-place write avoids.
#include "domtarn_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <ctime>

namespace {

// Closes a file descriptor when it goes out of scope.
class CDescriptor {
 public:
  explicit CDescriptor(int fd) : fd(fd) {}
  CDescriptor(const CDescriptor&) = delete;
  CDescriptor& operator=(const CDescriptor&) = delete;
  ~CDescriptor() {
    if (fd >= 0) ::close(fd);
  }
  int Get() const { return fd; }

 private:
  int fd;
};

// Holds SIGPIPE back from this thread while it lives: a write to a pipe
// whose reader is gone then fails (EPIPE) like any failed write here,
// instead of ending the program with the roster the user has not saved.
class CBrokenPipeHeld {
 public:
  CBrokenPipeHeld() {
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &before);
  }
  CBrokenPipeHeld(const CBrokenPipeHeld&) = delete;
  CBrokenPipeHeld& operator=(const CBrokenPipeHeld&) = delete;
  ~CBrokenPipeHeld() {
    // The signal a failed write raised waits; it is taken before the old
    // mask comes back.
    const timespec none{};
    while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
  }

 private:
  sigset_t pipe{};
  sigset_t before{};
};

// Whether the open regular file has room for `length` bytes, taken now
// where it grows (its size `size`), so that a full disk leaves the old
// contents whole instead of half written over.
bool HasRoomFor(int fd, std::size_t length, long long size) {
  if (static_cast<unsigned long long>(size) >= length) return true;
  const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(length));
  return error != ENOSPC && error != EDQUOT && error != EFBIG;
}

// Writes `text` with `write_at(data, length, offset)` from offset 0 on, as
// far as it goes; gives the bytes written.
template <class WriteAt>
std::size_t WriteAll(std::string_view text, const WriteAt& write_at) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write_at(text.data() + written, text.size() - written, written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  return written;
}

// Writes `text` from the start of the open file and cuts the file to what
// was written when it was longer (`size`, -1: unknown). A file without room
// for the text keeps its old contents. A pipe, a terminal or a device (a
// file that is no regular file, known only when `size` is unknown) takes
// the text where it stands, as a stream would write it. Like every failure
// of these writes, a failure to write or cut is not reported.
void WriteFromStart(int fd, std::string_view text, long long size) {
  if (size < 0) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
      const CBrokenPipeHeld held;
      WriteAll(text, [fd](const char* data, std::size_t length, std::size_t) {
        return ::write(fd, data, length);
      });
      return;
    }
    if (!HasRoomFor(fd, text.size(), status.st_size)) return;
  } else if (!HasRoomFor(fd, text.size(), size)) {
    return;
  }
  const std::size_t written =
      WriteAll(text, [fd](const char* data, std::size_t length, std::size_t offset) {
        return ::pwrite(fd, data, length, static_cast<off_t>(offset));
      });
  if (size >= 0 && static_cast<unsigned long long>(size) <= written) return;
  const int cut = ::ftruncate(fd, static_cast<off_t>(written));
  static_cast<void>(cut);
}

int OpenForWriting(const char* name) {
  return ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

}  // namespace

bool ReplaceFileContents(const char* name, std::string_view text) {
  const CDescriptor file(OpenForWriting(name));
  if (file.Get() < 0) return false;
  WriteFromStart(file.Get(), text, -1);
  return true;
}

bool CRewrittenFile::Replace(const std::string& name, std::string_view text) {
  long long size = 0;
  if (!Open(name, size)) return false;
  WriteFromStart(fd, text, size);
  return true;
}

bool CRewrittenFile::Open(const std::string& name, long long& size) {
  struct stat status {};
  // A file open before is written again while its name leads to that same
  // regular file.
  if (fd >= 0 && name == sName && ::stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
      status.st_dev == device && status.st_ino == inode) {
    size = status.st_size;
    return true;
  }
  Close();
  fd = OpenForWriting(name.c_str());
  if (fd < 0) return false;
  sName = name;
  size = -1;
  // Without the identity (no file has inode 0), the next write opens the
  // name again.
  device = inode = 0;
  if (::fstat(fd, &status) == 0) {
    device = status.st_dev;
    inode = status.st_ino;
  }
  return true;
}

void CRewrittenFile::Close() {
  if (fd >= 0) ::close(fd);
  fd = -1;
}
