// Read-only files through POSIX descriptors; pread leaves the shared file
// position alone, so threads read one file at once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/shared.h"

namespace qb::platform {

int open_read_only(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return NOT_REGULAR;
  }
  return fd;
}
bool file_size(int fd, uint64_t& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  bytes = uint64_t(st.st_size);
  return true;
}
void close_file(int fd) { ::close(fd); }
bool read_at(int fd, void* buf, uint64_t bytes, uint64_t offset) {
  auto* p = static_cast<char*>(buf);
  while (bytes) {
    ssize_t got = ::pread(fd, p, bytes, off_t(offset));
    if (got <= 0) return false;
    p += got;
    bytes -= uint64_t(got);
    offset += uint64_t(got);
  }
  return true;
}

}  // namespace qb::platform
