#include "engine_library.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace qbtest {

std::string engine_library_path() { return std::string(QB_ENGINE_DIR) + "/libquillbar.so"; }

EngineLibrary::EngineLibrary() { handle_ = dlopen(engine_library_path().c_str(), RTLD_NOW | RTLD_LOCAL); }

EngineLibrary::~EngineLibrary() { unload(); }

void EngineLibrary::unload() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

void* EngineLibrary::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

CommandResult EngineLibrary::command(const std::string& text) const {
  auto run = function<int32_t(const char*, char*)>("enginecommand");
  char reply[qb::HOST_TEXT_SIZE] = "";
  int32_t result = run ? run(text.c_str(), reply) : -1;
  return {reply, result};
}

std::string EngineLibrary::name() const {
  char text[qb::HOST_TEXT_SIZE] = "";
  if (auto run = function<int32_t(char*)>("enginename")) run(text);
  return text;
}

std::string run_in_child(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "child failed: no pipe";
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    std::string out = body();
    ssize_t ignored = write(fds[1], out.data(), out.size());
    (void)ignored;
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char chunk[4096];
  ssize_t n;
  while ((n = read(fds[0], chunk, sizeof chunk)) > 0) out.append(chunk, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: " + out;
  return out;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qbtest
