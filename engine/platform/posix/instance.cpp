// Instance numbers on POSIX: engine n holds an exclusive flock on
// ${XDG_RUNTIME_DIR:-/tmp}/Quillbar-English_sem<n>.lock for as long as it is
// loaded. The kernel drops the lock when the process ends, however it ends,
// so a crashed engine never keeps its number. The files themselves stay:
// removing a lock file while another process opens it would let two engines
// hold "the same" number.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_env.h"

namespace qb::platform {
namespace {

int g_lock_fd = -1;
int g_instance = -1;

std::string lock_path(int n) {
  std::string dir = posix::env_text("XDG_RUNTIME_DIR");
  if (dir.empty()) dir = "/tmp";
  return dir + "/Quillbar-English_sem" + std::to_string(n) + ".lock";
}

}  // namespace

int claim_instance(int limit) {
  if (g_lock_fd >= 0) return g_instance;
  for (int n = 0; n < limit; ++n) {
    int fd = ::open(lock_path(n).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EACCES || errno == EPERM || errno == ELOOP) continue;  // another user's
      return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      g_lock_fd = fd;
      g_instance = n;
      return n;
    }
    int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) return -1;  // locks unavailable here
  }
  return -1;
}

void release_instance() {
  if (g_lock_fd < 0) return;
  ::close(g_lock_fd);
  g_lock_fd = -1;
  g_instance = -1;
}

}  // namespace qb::platform
