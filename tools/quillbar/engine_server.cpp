// engine-server: loads one engine library and serves it over stdin/stdout
// (engine_protocol.h). Each engine runs in a process of its own, so engines
// never share state and a crashing engine takes only its own process down.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "board/fen.h"
#include "command_line.h"
#include "commands.h"
#include "engine_protocol.h"
#include "interface/exports.h"
#include "os.h"

namespace host {
namespace {

constexpr size_t TEXT_SIZE = 4096;  // the host's text buffers
constexpr auto STATUS_POLL = std::chrono::milliseconds(100);
constexpr auto EXIT_GRACE = std::chrono::seconds(5);
constexpr int32_t HOST_BLACK = 2;  // getmove's colour: 1 is White, anything else Black
constexpr int32_t HOST_WHITE = 1;

struct Exports {
  decltype(&::getmove) getmove = nullptr;
  decltype(&::enginecommand) enginecommand = nullptr;
  decltype(&::enginename) enginename = nullptr;
  decltype(&::get_best_moves) get_best_moves = nullptr;
};

// Protocol output. The engine's own prints go to stderr: fd 1 is moved away
// before the library is loaded.
class Channel {
 public:
  explicit Channel(FILE* out) : out_(out) {}
  void send(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  }

 private:
  FILE* out_;
  std::mutex mutex_;
};

// Requests waiting for the main thread. "stop" never waits: the reader sets
// the playnow flag itself, since the main thread is inside getmove.
class Inbox {
 public:
  void push(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
    ready_.notify_one();
  }
  std::string pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return !lines_.empty(); });
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::string> lines_;
};

int32_t g_playnow = 0;  // the host's stop flag, shared with the engine

void set_playnow(int32_t value) { std::atomic_ref<int32_t>(g_playnow).store(value); }

void read_requests(Inbox& inbox) {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "stop") set_playnow(1);
    else inbox.push(line);
  }
  // The host is gone: stop any search, leave, and make sure of it even when
  // the engine does not return.
  set_playnow(1);
  inbox.push("quit");
  std::this_thread::sleep_for(EXIT_GRACE);
  std::_Exit(0);
}

// The engine writes the status text while it searches; a copy is read every
// poll and sent when it changed. The buffer has no lock (the engine takes
// none), so a copy may catch a line half-written; the next poll mends it.
std::string text_of(const char* buffer) {
  char copy[TEXT_SIZE];
  std::memcpy(copy, buffer, TEXT_SIZE);
  copy[TEXT_SIZE - 1] = 0;
  return copy;
}

class StatusWatch {
 public:
  StatusWatch(Channel& out, const char* buffer)
      : thread_([this, &out, buffer] {
          std::string last;
          std::unique_lock<std::mutex> lock(mutex_);
          while (!done_) {
            wake_.wait_for(lock, STATUS_POLL, [&] { return done_; });
            std::string now = text_of(buffer);
            if (now != last && !done_) out.send("status " + escape_text(now));
            last = now;
          }
        }) {}
  ~StatusWatch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

bool read_number(const std::string& word, double& out) {
  char* end = nullptr;
  out = std::strtod(word.c_str(), &end);
  return !word.empty() && !*end;
}

bool read_number(const std::string& word, int32_t& out) {
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  out = int32_t(v);
  return !word.empty() && !*end;
}

void serve_getmove(const Exports& ex, Channel& out, const std::string& args) {
  std::vector<std::string> w;
  std::string fen;
  double maxtime;
  int32_t info, moreinfo;
  if (!split_words(args, 3, w, fen) || !read_number(w[0], maxtime) || !read_number(w[1], info) ||
      !read_number(w[2], moreinfo))
    return out.send("error getmove wants MAXTIME INFO MOREINFO FEN");
  auto position = qb::parse_fen(fen);
  if (!position) return out.send("error cannot read the position " + escape_text(fen));

  int32_t board[8][8] = {};
  qb::to_host_board(position->position, board);
  static char status[TEXT_SIZE];
  std::memset(status, 0, sizeof status);
  set_playnow(0);
  int32_t result;
  {
    StatusWatch watch(out, status);
    result = ex.getmove(board, position->side == qb::WHITE ? HOST_WHITE : HOST_BLACK, maxtime, status,
                        &g_playnow, info, moreinfo);
  }
  qb::Position after = qb::from_host_board(board);
  out.send("move " + std::to_string(result) + " " + qb::position_text(after, qb::Side(position->side ^ 1)) +
           " " + escape_text(text_of(status)));
}

void serve_bestmoves(const Exports& ex, Channel& out, const std::string& args) {
  if (!ex.get_best_moves) return out.send("error the engine does not export get_best_moves");
  std::vector<std::string> w;
  std::string fen;
  double maxtime;
  int32_t margin, min_depth;
  if (!split_words(args, 3, w, fen) || !read_number(w[0], maxtime) || !read_number(w[1], margin) ||
      !read_number(w[2], min_depth))
    return out.send("error bestmoves wants MAXTIME MARGIN MINDEPTH FEN");
  auto position = qb::parse_fen(fen);
  if (!position) return out.send("error cannot read the position " + escape_text(fen));

  static qb::HostMoveList list;
  int32_t scores[qb::HOST_MOVELIST_SIZE] = {};
  static char text[TEXT_SIZE];
  std::memset(&list, 0, sizeof list);
  std::memset(text, 0, sizeof text);
  set_playnow(0);
  int32_t ret;
  {
    StatusWatch watch(out, text);
    ret = ex.get_best_moves(&position->position, position->side, maxtime, text, &g_playnow, 0, margin, &list,
                            scores, min_depth);
  }
  int count = list.count < 0 ? 0 : list.count > qb::HOST_MOVELIST_SIZE ? qb::HOST_MOVELIST_SIZE : list.count;
  std::string line = "bestmoves " + std::to_string(ret) + " " + std::to_string(count);
  for (int i = 0; i < count; ++i) {
    line.append(" ").append(qb::position_text(list.moves[i], qb::Side(position->side ^ 1)));
    line.append(" ").append(std::to_string(scores[i]));
  }
  line.append(" ").append(escape_text(text_of(text)));
  out.send(line);
}

void serve_command(const Exports& ex, Channel& out, const std::string& text) {
  static char reply[TEXT_SIZE];
  std::memset(reply, 0, sizeof reply);
  int32_t result = ex.enginecommand(unescape_text(text).c_str(), reply);
  out.send("reply " + std::to_string(result) + " " + escape_text(text_of(reply)));
}

template <class F>
bool resolve(void* lib, const char* name, F& fn) {
  fn = reinterpret_cast<F>(os::find_symbol(lib, name));
  return fn != nullptr;
}

}  // namespace
}  // namespace host

int run_engine_server(const Args& args) {
  using namespace host;
  std::string library;
  CLI::App app{
      "Serves one engine library on standard input and output, for the host's other "
      "commands (internal).",
      "quillbar engine-server"};
  cli::describe(app, "usage: quillbar engine-server LIBRARY");
  app.add_option("library", library, "engine library")->required();
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  FILE* protocol = os::take_standard_output();
  if (!protocol) {
    std::perror("engine-server");
    return 1;
  }
  Channel out(protocol);

  std::string why;
  void* lib = os::load_library(library, why);
  if (!lib) {
    out.send("fatal cannot load " + escape_text(library) + ": " + escape_text(why));
    return 1;
  }
  Exports ex;
  if (!resolve(lib, "getmove", ex.getmove) || !resolve(lib, "enginecommand", ex.enginecommand)) {
    out.send("fatal " + escape_text(library) + " does not export getmove and enginecommand");
    return 1;
  }
  resolve(lib, "enginename", ex.enginename);
  resolve(lib, "get_best_moves", ex.get_best_moves);

  std::string name = library;
  if (ex.enginename) {
    static char buf[TEXT_SIZE];
    ex.enginename(buf);
    buf[TEXT_SIZE - 1] = 0;
    name = buf;
  }
  out.send("ready " + escape_text(name));

  // Never destroyed: the reader thread may still be pushing while the
  // process exits after "quit".
  Inbox& inbox = *new Inbox;
  std::thread(read_requests, std::ref(inbox)).detach();
  while (true) {
    std::string line = inbox.pop();
    size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (verb == "quit") return 0;
    if (verb == "getmove") serve_getmove(ex, out, rest);
    else if (verb == "bestmoves") serve_bestmoves(ex, out, rest);
    else if (verb == "command") serve_command(ex, out, rest);
    else if (!verb.empty()) out.send("error unknown request " + escape_text(verb));
  }
}
