// What a test finds in the build: the libraries of the engines folder,
// loaded as hosts load them (LoadLibrary on Windows, dlopen elsewhere), and
// the programs beside the test programs.
#pragma once

#include <string>

namespace qbtest {

#ifdef _WIN32
constexpr const char* ENGINE_LIBRARY = "Quillbar64.dll";
constexpr const char* DRIVER_LIBRARY = "tbdrv64.dll";
#else
constexpr const char* ENGINE_LIBRARY = "libquillbar.so";
constexpr const char* DRIVER_LIBRARY = "libtbdrv.so";
#endif

// build/engines/<name>; on Windows engines\<name> beside the test program.
std::string engines_file(const std::string& name);
std::string engine_library_path();  // the engine library in engines/

// A program of the build (build/<name>, <name>.exe on Windows).
std::string build_program(const std::string& name);

class SharedLibrary {
 public:
  explicit SharedLibrary(const std::string& path = engine_library_path());
  ~SharedLibrary();  // unloads it
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;  // null when not exported
  template <class F>
  F* function(const char* name) const {
    return reinterpret_cast<F*>(symbol(name));
  }
  void* native_handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
};

// Runs a command line through the system's shell, its output discarded;
// returns the shell's exit status (0 for success).
int run_quietly(const std::string& command);

// Runs this test program again as a second process with the given
// --gtest_filter, in the same private folders; returns its exit code.
int run_this_program(const std::string& gtest_filter);

}  // namespace qbtest
