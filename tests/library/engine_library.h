// The engine as a host sees it: the shared library loaded at run time
// (LoadLibrary on Windows, dlopen elsewhere), its exports found by name.
#pragma once

#include <string>

namespace qbtest {

// The engine library of this build: build/engines/libquillbar.so, or
// engines\Quillbar64.dll beside the test program on Windows.
std::string engine_library_path();

class EngineLibrary {
 public:
  explicit EngineLibrary(const std::string& path = engine_library_path());
  ~EngineLibrary();  // unloads it
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

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

// Runs this test program again as a second process with the given
// --gtest_filter, in the same private folders; returns its exit code.
int run_this_program(const std::string& gtest_filter);

}  // namespace qbtest
