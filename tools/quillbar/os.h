// The operating-system services of the host program. posix/ and windows/
// each implement all of it; the rest of the host never tests which.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace host::os {

// The engine library of a build, relative to the build folder.
#ifdef _WIN32
constexpr const char* ENGINE_LIBRARY = "engines/Quillbar64.dll";
#else
constexpr const char* ENGINE_LIBRARY = "engines/libquillbar.so";
#endif

std::string executable_path();  // empty when unknown
std::string host_name();        // "?" when unknown
std::tm local_time(std::time_t t);
// A new folder only this user may use, below the system's temporary folder,
// its name starting with `prefix`; empty on failure.
std::string make_private_temp_dir(const std::string& prefix);

// Starts the user's web browser on `url` (xdg-open, or the shell's
// `start`) without waiting for it; false when it cannot be started.
bool open_in_browser(const std::string& url);

// ---- Terminal.
bool is_terminal(std::FILE* stream);
int terminal_width();  // columns of the terminal on standard output; 0 when unknown
// Lets the terminal on `stream` show colour escape sequences; false when it cannot.
bool enable_colour(std::FILE* stream);

// ---- The engine server's side.
// A stream on the original standard output, for the protocol; standard
// output itself then goes to standard error, so whatever the engine prints
// cannot corrupt the protocol. Null on failure.
std::FILE* take_standard_output();
void* load_library(const std::string& path, std::string& error);
void* find_symbol(void* library, const char* name);

// ---- A program started with its standard input and output on pipes.
class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // ends the program at once if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // args[0] is the program. `workdir` empty: ours. `settings_dir` non-empty
  // gives the program a private settings folder where the system has one
  // per process (XDG_CONFIG_HOME); the Windows registry has none.
  bool start(const std::vector<std::string>& args, const std::string& workdir,
             const std::string& settings_dir, std::string& error);
  bool running() const;

  bool write(const std::string& data);
  enum class Read { DATA, TIMEOUT, CLOSED };
  // Appends what arrives within `timeout_ms` to `out`.
  Read read(std::string& out, int timeout_ms);

  // Closes the pipes, gives the program `grace` seconds to leave, kills it
  // when it has not, and says how it ended: "exited", "exited with code 1",
  // "crashed (...)", "stopped answering and was killed", "is not running".
  std::string finish(double grace);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace host::os
