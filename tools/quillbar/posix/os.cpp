// The host program's operating-system services on POSIX systems.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "os.h"

namespace host::os {

std::string executable_path() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : p.string();
}

std::string host_name() {
  char name[256] = "?";
  gethostname(name, sizeof name - 1);
  return name;
}

bool open_in_browser(const std::string& url) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // A grandchild runs the browser, so that nobody has to reap it.
    if (fork() == 0) {
      execlp("xdg-open", "xdg-open", url.c_str(), (char*)nullptr);
      _exit(127);
    }
    _exit(0);
  }
  waitpid(pid, nullptr, 0);
  return true;
}

std::tm local_time(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string make_private_temp_dir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  return mkdtemp(pattern.data()) ? pattern : "";
}

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)); }

int terminal_width() {
  winsize ws{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0) return ws.ws_col;
  return 0;
}

bool enable_colour(std::FILE* stream) { return is_terminal(stream); }

std::FILE* take_standard_output() {
  int protocol_fd = dup(STDOUT_FILENO);
  std::FILE* protocol = protocol_fd >= 0 ? fdopen(protocol_fd, "w") : nullptr;
  if (!protocol || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return nullptr;
  return protocol;
}

void* load_library(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    error = why ? why : "?";
  }
  return library;
}

void* find_symbol(void* library, const char* name) { return dlsym(library, name); }

}  // namespace host::os
