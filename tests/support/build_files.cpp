#include "support/build_files.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/windows/win.h"
#else
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace qbtest {

std::string engine_library_path() { return engines_file(ENGINE_LIBRARY); }

#ifdef _WIN32

namespace {

std::string this_program() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

// The build lays the programs out together, the engines folder among them.
std::string build_dir() {
  std::string program = this_program();
  return program.substr(0, program.find_last_of("\\/") + 1);
}

}  // namespace

std::string engines_file(const std::string& name) { return build_dir() + "engines\\" + name; }

std::string build_program(const std::string& name) { return build_dir() + name + ".exe"; }

SharedLibrary::SharedLibrary(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {}

SharedLibrary::~SharedLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* SharedLibrary::symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

int run_quietly(const std::string& command) { return std::system((command + " >NUL 2>&1").c_str()); }

int run_this_program(const std::string& gtest_filter) {
  std::string command = "\"";
  command += this_program();
  command += "\" --gtest_filter=";
  command += gtest_filter;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
}

#else

std::string engines_file(const std::string& name) { return std::string(QB_ENGINE_DIR) + "/" + name; }

std::string build_program(const std::string& name) { return std::string(QB_BINARY_DIR) + "/" + name; }

SharedLibrary::SharedLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

void* SharedLibrary::symbol(const char* name) const { return dlsym(handle_, name); }

int run_quietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

int run_this_program(const std::string& gtest_filter) {
  std::string program = "/proc/self/exe";
  std::string filter = "--gtest_filter=" + gtest_filter;
  char* argv[] = {program.data(), filter.data(), nullptr};
  pid_t child;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

#endif

}  // namespace qbtest
