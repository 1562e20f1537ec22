// Files and folders: the user's documents folder, directory creation and
// probing, the current directory and path joining.
#include <shlobj.h>

#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

std::string documents_folder() {
  char path[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool make_directory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool path_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string current_directory() {
  char path[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof path, path);
  if (length == 0 || length >= sizeof path) return {};
  return std::string(path, length);
}

std::string join_path(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  char last = dir.back();
  if (last == '\\' || last == '/' || last == ':') return dir + name;
  return dir + DIR_SEP + name;
}

}  // namespace qb::platform
