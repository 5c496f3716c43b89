// Writing a whole file in place, with the system's own calls: a stream opens
// the file emptied, which is what the in-place write avoids.
#include "domtarn_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

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

}  // namespace

bool ReplaceFileContents(const char* name, std::string_view text) {
  const CDescriptor file(::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (file.Get() < 0) return false;
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(file.Get(), text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  // Like every failure of this write, a failure to cut is not reported.
  const int cut = ::ftruncate(file.Get(), static_cast<off_t>(written));
  static_cast<void>(cut);
  return true;
}
