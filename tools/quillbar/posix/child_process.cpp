// A child program on pipes, with posix_spawn, poll and waitpid.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "os.h"

extern char** environ;

namespace host::os {

namespace {

using Clock = std::chrono::steady_clock;

// The environment for a child, with a private settings folder when asked.
std::vector<std::string> child_environment(const std::string& settings_dir) {
  std::vector<std::string> env;
  const std::string key = "XDG_CONFIG_HOME=";
  for (char** e = environ; *e; ++e) {
    if (!settings_dir.empty() && std::strncmp(*e, key.c_str(), key.size()) == 0) continue;
    env.push_back(*e);
  }
  if (!settings_dir.empty()) env.push_back(key + settings_dir);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

// "crashed (signal 11: Segmentation fault)", "exited with code 1".
std::string describe_exit(int status) {
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    return "crashed (signal " + std::to_string(sig) + ": " + strsignal(sig) + ")";
  }
  if (WIFEXITED(status)) {
    int code = WEXITSTATUS(status);
    return code == 0 ? "exited" : "exited with code " + std::to_string(code);
  }
  return "stopped";
}

}  // namespace

struct ChildProcess::State {
  pid_t pid = -1;
  int to_child = -1;
  int from_child = -1;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() { finish(0); }

bool ChildProcess::running() const { return state_->pid > 0; }

bool ChildProcess::start(const std::vector<std::string>& args, const std::string& workdir,
                         const std::string& settings_dir, std::string& error) {
  finish(0);
  static bool pipes_safe = [] {  // a dead child must not kill us
    signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)pipes_safe;

  int to_child[2], from_child[2];
  // Close-on-exec, so children started by other threads never hold our ends.
  if (pipe2(to_child, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    ::close(to_child[0]);
    ::close(to_child[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  if (!workdir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workdir.c_str());
  std::vector<std::string> argv_texts = args;
  std::vector<std::string> env = child_environment(settings_dir);
  std::vector<char*> argv = pointers(argv_texts), envp = pointers(env);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_child[0]);
  ::close(from_child[1]);
  if (rc != 0) {
    ::close(to_child[1]);
    ::close(from_child[0]);
    error = "cannot start " + args[0] + ": " + std::strerror(rc);
    return false;
  }
  state_->pid = pid;
  state_->to_child = to_child[1];
  state_->from_child = from_child[0];
  return true;
}

bool ChildProcess::write(const std::string& data) {
  if (state_->to_child < 0) return false;
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(state_->to_child, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

ChildProcess::Read ChildProcess::read(std::string& out, int timeout_ms) {
  if (state_->from_child < 0) return Read::CLOSED;
  pollfd fd{state_->from_child, POLLIN, 0};
  int ready = ::poll(&fd, 1, timeout_ms);
  if (ready < 0) return errno == EINTR ? Read::TIMEOUT : Read::CLOSED;
  if (ready == 0) return Read::TIMEOUT;
  char buf[4096];
  ssize_t n = ::read(state_->from_child, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return Read::TIMEOUT;
  if (n <= 0) return Read::CLOSED;
  out.append(buf, size_t(n));
  return Read::DATA;
}

std::string ChildProcess::finish(double grace) {
  State& s = *state_;
  if (s.to_child >= 0) ::close(s.to_child);
  if (s.from_child >= 0) ::close(s.from_child);
  s.to_child = s.from_child = -1;
  if (s.pid <= 0) return "is not running";
  int status = 0;
  auto start = Clock::now();
  pid_t done = 0;
  while ((done = waitpid(s.pid, &status, WNOHANG)) == 0 &&
         std::chrono::duration<double>(Clock::now() - start).count() < grace)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::string how;
  if (done == 0) {
    kill(s.pid, SIGKILL);
    waitpid(s.pid, &status, 0);
    how = "stopped answering and was killed";
  } else {
    how = done > 0 ? describe_exit(status) : "vanished";
  }
  s.pid = -1;
  return how;
}

}  // namespace host::os
