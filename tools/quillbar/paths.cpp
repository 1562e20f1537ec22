#include "paths.h"

#include <filesystem>

namespace host {

namespace fs = std::filesystem;

std::string executable_dir() {
  std::string exe = os::executable_path();
  return exe.empty() ? "" : fs::path(exe).parent_path().string();
}

EngineLocation locate_engine(const std::string& requested) {
  std::error_code ec;
  if (!requested.empty()) {
    // dlopen searches the system paths for a bare name; a file the user
    // sees in the working directory is meant instead.
    if (requested.find('/') == std::string::npos && fs::exists(requested, ec)) return {"./" + requested, ""};
    // A library inside an engines folder runs beside it, so that it finds
    // its own weights and book there: two copies of the engine folder with
    // different data can then play each other.
    fs::path folder = fs::path(requested).parent_path();
    if (folder.filename() == "engines" && fs::exists(requested, ec))
      return {fs::absolute(requested, ec).string(), fs::absolute(folder, ec).parent_path().string()};
    return {requested, ""};
  }
  if (fs::exists(DEFAULT_ENGINE, ec)) return {DEFAULT_ENGINE, ""};
  std::string dir = executable_dir();
  if (!dir.empty() && fs::exists(fs::path(dir) / DEFAULT_ENGINE, ec))
    return {(fs::path(dir) / DEFAULT_ENGINE).string(), dir};
  return {DEFAULT_ENGINE, ""};
}

std::string find_data_file(const std::string& relative) {
  std::error_code ec;
  if (fs::exists(relative, ec)) return relative;
  std::string dir = executable_dir();
  if (!dir.empty() && fs::exists(fs::path(dir) / relative, ec)) return (fs::path(dir) / relative).string();
  return relative;
}

}  // namespace host
