#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "board/fen.h"
#include "engine_protocol.h"
#include "paths.h"

extern char** environ;

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t MAX_LINE = 1 << 20;  // a server sending more without a newline is broken
constexpr double BEST_MOVES_GRACE = 60.0;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string number_text(double v, const char* format = "%.17g") {
  char buf[40];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// The environment for a server, with a private settings folder when asked.
std::vector<std::string> server_environment(const EngineConfig& config) {
  std::vector<std::string> env;
  const std::string key = "XDG_CONFIG_HOME=";
  for (char** e = environ; *e; ++e) {
    if (!config.settings_dir.empty() && std::strncmp(*e, key.c_str(), key.size()) == 0) continue;
    env.push_back(*e);
  }
  if (!config.settings_dir.empty()) env.push_back(key + config.settings_dir);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

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

bool EngineProcess::start(const EngineConfig& config, std::string& error) {
  close();
  static bool pipes_safe = [] {  // a dead server must not kill the host
    signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)pipes_safe;

  std::string program = config.server_program.empty() ? executable_path() : config.server_program;
  if (program.empty()) {
    error = "cannot find the quillbar program to run the engine in";
    return false;
  }
  int to_child[2], from_child[2];
  // Close-on-exec, so servers started by other threads never hold our ends.
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
  if (!config.workdir.empty()) posix_spawn_file_actions_addchdir_np(&actions, config.workdir.c_str());
  std::vector<std::string> args = {program, "engine-server", config.library};
  std::vector<std::string> env = server_environment(config);
  std::vector<char*> argv = pointers(args), envp = pointers(env);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_child[0]);
  ::close(from_child[1]);
  if (rc != 0) {
    ::close(to_child[1]);
    ::close(from_child[0]);
    error = "cannot start " + program + ": " + std::strerror(rc);
    return false;
  }
  pid_ = pid;
  to_server_ = to_child[1];
  from_server_ = from_child[0];
  pending_.clear();

  std::string line;
  Read r = read_line(line, START_TIMEOUT);
  if (r == Read::LINE && line.rfind("ready ", 0) == 0) {
    name_ = unescape_text(line.substr(6));
  } else {
    if (r == Read::LINE && line.rfind("fatal ", 0) == 0) error = unescape_text(line.substr(6));
    else if (r == Read::LINE) error = "unexpected greeting '" + line + "'";
    else if (r == Read::TIMEOUT) error = "no answer after " + number_text(START_TIMEOUT, "%g") + " s";
    std::string how = end_and_describe(r == Read::TIMEOUT ? 0 : QUIT_GRACE);
    if (error.empty()) error = "engine server " + how;
    return false;
  }
  for (const std::string& c : config.commands) {
    CommandReply reply = command(c);
    if (!reply.ok || reply.result == 0) {
      error = "'" + c + "': " + reply.text;
      close();
      return false;
    }
  }
  return true;
}

bool EngineProcess::send(const std::string& line) {
  if (to_server_ < 0) return false;
  std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(to_server_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

EngineProcess::Read EngineProcess::read_line(std::string& line, double seconds_left) {
  auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(std::max(seconds_left, 0.0)));
  while (true) {
    size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return Read::LINE;
    }
    if (from_server_ < 0 || pending_.size() > MAX_LINE) return Read::CLOSED;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Read::TIMEOUT;
    pollfd fd{from_server_, POLLIN, 0};
    int ready = ::poll(&fd, 1, int(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) return Read::CLOSED;
    if (ready <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(from_server_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Read::CLOSED;
    pending_.append(buf, size_t(n));
  }
}

std::string EngineProcess::end_and_describe(double grace) {
  if (to_server_ >= 0) ::close(to_server_);
  if (from_server_ >= 0) ::close(from_server_);
  to_server_ = from_server_ = -1;
  if (pid_ <= 0) return "is not running";
  int status = 0;
  auto start = Clock::now();
  pid_t done = 0;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && seconds_since(start) < grace)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::string how;
  if (done == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    how = "stopped answering and was killed";
  } else {
    how = done > 0 ? describe_exit(status) : "vanished";
  }
  pid_ = -1;
  return how;
}

void EngineProcess::close() {
  if (pid_ <= 0) return;
  send("quit");
  end_and_describe();
}

MoveReply EngineProcess::getmove(const MoveRequest& request, const StatusListener& on_status) {
  MoveReply reply;
  if (!running()) {
    reply.failure = "engine is not running";
    return reply;
  }
  auto start = Clock::now();
  double give_up = request.give_up_after > 0 ? request.give_up_after : HUGE_VAL;
  double stop_at = request.stop_after > 0 ? request.stop_after : HUGE_VAL;
  bool stop_sent = false;
  if (!send("getmove " + number_text(request.maxtime) + " " + std::to_string(request.info) + " " +
            std::to_string(request.moreinfo) + " " +
            qb::position_text(request.position, request.side))) {
    reply.failure = end_and_describe();
    return reply;
  }
  while (true) {
    double now = seconds_since(start);
    if (!stop_sent && now >= stop_at) {
      send("stop");  // a broken pipe shows up as the server closing, below
      stop_sent = true;
    }
    double wait = std::min(give_up, stop_sent ? give_up : stop_at) - now;
    std::string line;
    Read r = read_line(line, wait);
    reply.seconds = seconds_since(start);
    if (r == Read::TIMEOUT) {
      if (reply.seconds < give_up) continue;
      end_and_describe(0);
      reply.failure = "gave no move within " + number_text(give_up, "%g") + " s";
      return reply;
    }
    if (r == Read::CLOSED) {
      reply.failure = end_and_describe();
      return reply;
    }
    std::vector<std::string> w;
    std::string rest;
    if (line.rfind("status ", 0) == 0) {
      if (on_status) on_status(unescape_text(line.substr(7)));
    } else if (line.rfind("move ", 0) == 0 && split_words(line.substr(5), 2, w, rest)) {
      auto after = qb::parse_fen(w[1]);
      if (!after) {
        reply.failure = "returned an unreadable board";
        return reply;
      }
      reply.ok = true;
      reply.result = std::atoi(w[0].c_str());
      reply.after = after->position;
      reply.status = unescape_text(rest);
      return reply;
    } else if (line.rfind("error ", 0) == 0) {
      reply.failure = "engine server: " + unescape_text(line.substr(6));
      return reply;
    }
  }
}

BestMoves EngineProcess::best_moves(const qb::Position& p, int side, double maxtime, int margin,
                                    int min_depth, const StatusListener& on_status) {
  BestMoves out;
  if (!send("bestmoves " + number_text(maxtime) + " " + std::to_string(margin) + " " +
            std::to_string(min_depth) + " " + qb::position_text(p, side))) {
    out.failure = end_and_describe();
    return out;
  }
  auto start = Clock::now();
  double give_up = 10 * maxtime + BEST_MOVES_GRACE;
  while (true) {
    std::string line;
    Read r = read_line(line, give_up - seconds_since(start));
    if (r != Read::LINE) {
      out.failure = end_and_describe();
      return out;
    }
    std::vector<std::string> w;
    std::string rest;
    if (line.rfind("status ", 0) == 0) {
      if (on_status) on_status(unescape_text(line.substr(7)));
    } else if (line.rfind("error ", 0) == 0) {
      out.failure = unescape_text(line.substr(6));
      return out;
    } else if (line.rfind("bestmoves ", 0) == 0 && split_words(line.substr(10), 2, w, rest)) {
      out.result = std::atoi(w[0].c_str());
      int count = std::atoi(w[1].c_str());
      std::vector<std::string> items;
      std::string text;
      if (count < 0 || !split_words(rest, size_t(2 * count), items, text)) {
        out.failure = "unreadable answer";
        return out;
      }
      for (int i = 0; i < count; ++i) {
        auto fen = qb::parse_fen(items[2 * i]);
        if (!fen) {
          out.failure = "unreadable answer";
          return out;
        }
        out.moves.push_back({fen->position, std::atoi(items[2 * i + 1].c_str())});
      }
      out.text = unescape_text(text);
      out.ok = true;
      return out;
    }
  }
}

CommandReply EngineProcess::command(const std::string& text, double timeout) {
  CommandReply out;
  if (!send("command " + escape_text(text))) {
    out.text = "engine " + end_and_describe();
    return out;
  }
  auto start = Clock::now();
  while (true) {
    std::string line;
    Read r = read_line(line, timeout - seconds_since(start));
    if (r != Read::LINE) {
      out.text = "engine " + end_and_describe();
      return out;
    }
    if (line.rfind("reply ", 0) == 0) {
      std::vector<std::string> w;
      std::string rest;
      split_words(line.substr(6), 1, w, rest);
      out.ok = !w.empty();
      out.result = out.ok ? std::atoi(w[0].c_str()) : 0;
      out.text = unescape_text(rest);
      return out;
    }
    if (line.rfind("error ", 0) == 0) {
      out.text = unescape_text(line.substr(6));
      return out;
    }
  }
}

}  // namespace host
