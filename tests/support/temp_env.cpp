#include "support/temp_env.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace qbtest {
namespace fs = std::filesystem;

const std::string& temp_root() {
  static const std::string root = [] {
    std::string pattern = (fs::temp_directory_path() / "qbtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }();
  return root;
}

std::string make_temp_dir(const std::string& hint) {
  static int counter = 0;
  fs::path dir = fs::path(temp_root()) / (hint + "-" + std::to_string(++counter));
  fs::create_directories(dir);
  return dir.string();
}

void isolate_environment() {
  const std::string& root = temp_root();
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_CONFIG_HOME", make_temp_dir("config").c_str(), 1);
  setenv("XDG_DOCUMENTS_DIR", make_temp_dir("documents").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", make_temp_dir("runtime").c_str(), 1);
}

}  // namespace qbtest
