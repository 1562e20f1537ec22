// Test helpers: the engine as a host sees it (the shared library, loaded
// with dlopen), and running a piece of a test in a fresh child process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "interface/base/host_text.h"

namespace qbtest {

struct CommandResult {
  std::string reply;
  int32_t result;
};

class EngineLibrary {
 public:
  EngineLibrary();  // loads build/engines/libquillbar.so
  ~EngineLibrary();
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;
  template <class F>
  F* function(const char* name) const {
    return reinterpret_cast<F*>(symbol(name));
  }

  CommandResult command(const std::string& text) const;
  std::string name() const;
  void unload();

 private:
  void* handle_ = nullptr;
};

std::string engine_library_path();

// Runs `body` in a forked child and returns what it returned, or a text
// starting with "child failed" when the child did not end normally.
std::string run_in_child(const std::function<std::string()>& body);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

}  // namespace qbtest
