// Files, folders and the user's documents folder on POSIX systems.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_env.h"

namespace qb::platform {

namespace posix {

std::string env_text(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string home_directory() {
  std::string home = env_text("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return "";
}

bool make_directories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    make_directory(path.substr(0, slash));
  return make_directory(path);
}

}  // namespace posix

// The documents folder as desktop systems name it; the log lives below it.
std::string documents_folder() {
  std::string documents = posix::env_text("XDG_DOCUMENTS_DIR");
  if (!documents.empty()) return documents;
  std::string home = posix::home_directory();
  return home.empty() ? "" : home + "/Documents";
}

bool make_directory(const std::string& path) {
  if (path.empty()) return false;
  if (mkdir(path.c_str(), 0777) == 0) return true;
  struct stat info;
  return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool path_exists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::string current_directory() {
  std::vector<char> buffer(256);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string join_path(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == DIR_SEP) return dir + name;
  return dir + DIR_SEP + name;
}

}  // namespace qb::platform
