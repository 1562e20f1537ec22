// Read-only files through C runtime descriptors; each read names its offset
// in an OVERLAPPED record on the synchronous handle, so threads read one
// file at once.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/shared.h"
#include "platform/windows/win.h"

namespace qb::platform {

int open_read_only(const std::string& path) {
  int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  struct _stat64 st {};
  if (fd >= 0 && (::_fstat64(fd, &st) != 0 || !(st.st_mode & _S_IFREG))) {
    ::_close(fd);
    return NOT_REGULAR;
  }
  return fd;
}
bool file_size(int fd, uint64_t& bytes) {
  long long size = ::_filelengthi64(fd);
  bytes = uint64_t(size);
  return size >= 0;
}
void close_file(int fd) { ::_close(fd); }
bool read_at(int fd, void* buf, uint64_t bytes, uint64_t offset) {
  HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  auto* p = static_cast<char*>(buf);
  while (bytes) {
    OVERLAPPED at{};  // the offset; the handle itself stays synchronous
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD wanted = bytes < (1u << 30) ? DWORD(bytes) : DWORD(1u << 30), got = 0;
    if (!ReadFile(file, p, wanted, &got, &at) || got == 0) return false;
    p += got;
    bytes -= got;
    offset += got;
  }
  return true;
}

}  // namespace qb::platform
