#include "support/temp_env.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace qbtest {
namespace fs = std::filesystem;

namespace {

// A fresh directory under the system's temporary folder, made by this call.
std::string make_unique_temp_dir() {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path dir = fs::temp_directory_path() / ("qbtest-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (fs::create_directory(dir, error)) return dir.string();
  }
  throw std::runtime_error("cannot make a temporary directory");
}

}  // namespace

void set_env(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

const std::string& temp_root() {
  static const std::string root = make_unique_temp_dir();
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
  set_env("HOME", root);
  set_env("XDG_CONFIG_HOME", make_temp_dir("config"));
  set_env("XDG_DOCUMENTS_DIR", make_temp_dir("documents"));
  set_env("XDG_RUNTIME_DIR", make_temp_dir("runtime"));
}

}  // namespace qbtest
