// The host's side of an engine server: starts `quillbar engine-server LIB`
// as a child process and talks to it over two pipes. Everything an engine
// can do wrong (die, hang, babble) comes back as a failure text; nothing
// here throws or blocks without a deadline.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/position.h"
#include "os.h"

namespace host {

struct EngineConfig {
  std::string library;                // path of the engine library
  std::string server_program;         // a quillbar binary; empty: this program
  std::string workdir;                // the server's working directory; empty: ours
  std::string settings_dir;           // private XDG_CONFIG_HOME; empty: the user's
  std::vector<std::string> commands;  // enginecommand lines sent after start-up
};

struct MoveRequest {
  qb::Position position;
  int side = qb::BLACK;
  double maxtime = 1.0;
  int info = 0;
  int moreinfo = 0;
  double stop_after = 0;     // seconds, then the host sets playnow (0: never)
  double give_up_after = 0;  // seconds, then the engine counts as hung
};

// The engine's own hard limit under a fixed time is three times the move
// time; past it (plus a second) the host asks for the move at once, and
// hang_timeout seconds later it gives the engine up as hung.
constexpr double FIXED_TIME_HARD_FACTOR = 3.0;
constexpr double STOP_SLACK = 1.0;
// For a single move asked by a player: generous, since the first move also
// loads the engine's data.
constexpr double ONE_MOVE_HANG_TIMEOUT = 60;
void limit_fixed_time_move(MoveRequest& request, double hang_timeout);

struct MoveReply {
  bool ok = false;
  std::string failure;   // why not ok: "crashed (signal 11: ...)", ...
  int result = 3;        // getmove's result code
  qb::Position after{};  // the board the engine returned
  std::string status;    // its status text
  double seconds = 0;    // wall time of the call
};

struct CommandReply {
  bool ok = false;   // false when the engine did not answer
  int result = 0;    // enginecommand's return value
  std::string text;  // reply text, or the failure
};

struct BestMoves {
  bool ok = false;
  std::string failure;
  int result = 0;
  std::vector<std::pair<qb::Position, int>> moves;  // successor and score
  std::string text;
};

using StatusListener = std::function<void(const std::string&)>;

class EngineProcess {
 public:
  EngineProcess() = default;
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;
  ~EngineProcess() { close(); }

  // Starts the server and sends its start-up commands; on failure `error`
  // says why and the process is gone.
  bool start(const EngineConfig& config, std::string& error);
  bool running() const { return server_.running(); }
  const std::string& name() const { return name_; }

  MoveReply getmove(const MoveRequest& request, const StatusListener& on_status = {});
  BestMoves best_moves(const qb::Position& p, int side, double maxtime, int margin, int min_depth,
                       const StatusListener& on_status = {});
  CommandReply command(const std::string& text, double timeout = COMMAND_TIMEOUT);
  // "Move now" from another thread while getmove waits: the engine plays
  // the best move it has found so far.
  void request_stop();

  // Asks the server to quit, then makes sure it has.
  void close();

  static constexpr double START_TIMEOUT = 30;
  static constexpr double COMMAND_TIMEOUT = 30;
  static constexpr double QUIT_GRACE = 2;  // seconds a server gets to leave or die

 private:
  enum class Read { LINE, TIMEOUT, CLOSED };
  bool send(const std::string& line);
  Read read_line(std::string& line, double seconds_left);
  // Closes the pipes and reaps the server, killing it when it has not left
  // within `grace` seconds; says how it ended.
  std::string end_and_describe(double grace = QUIT_GRACE);

  os::ChildProcess server_;
  std::mutex write_mutex_;  // request_stop writes from another thread
  std::string pending_;     // bytes read past the last line
  std::string name_;
};

}  // namespace host
