#include "engine_process.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "engine_protocol.h"
#include "paths.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t MAX_LINE = 1 << 20;  // a server sending more without a newline is broken
constexpr double BEST_MOVES_GRACE = 60.0;
constexpr double LONGEST_WAIT = 1e7;  // seconds: months, yet far inside the clock's range

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string number_text(double v, const char* format = "%.17g") {
  char buf[40];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

}  // namespace

bool EngineProcess::start(const EngineConfig& config, std::string& error) {
  close();
  std::string program = config.server_program.empty() ? os::executable_path() : config.server_program;
  if (program.empty()) {
    error = "cannot find the quillbar program to run the engine in";
    return false;
  }
  if (!server_.start({program, "engine-server", config.library}, config.workdir, config.settings_dir, error))
    return false;
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
  std::lock_guard<std::mutex> lock(write_mutex_);
  return server_.write(line + "\n");
}

void EngineProcess::request_stop() { send("stop"); }

void limit_fixed_time_move(MoveRequest& request, double hang_timeout) {
  request.stop_after = FIXED_TIME_HARD_FACTOR * request.maxtime + STOP_SLACK;
  request.give_up_after = request.stop_after + hang_timeout;
}

EngineProcess::Read EngineProcess::read_line(std::string& line, double seconds_left) {
  // "No limit" arrives as infinity, which no clock duration holds.
  double wait = std::clamp(seconds_left, 0.0, LONGEST_WAIT);
  auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
  while (true) {
    size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return Read::LINE;
    }
    if (pending_.size() > MAX_LINE) return Read::CLOSED;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Read::TIMEOUT;
    int wait_ms = int(std::min<long long>(left.count(), 1000));
    if (server_.read(pending_, wait_ms) == os::ChildProcess::Read::CLOSED) return Read::CLOSED;
  }
}

std::string EngineProcess::end_and_describe(double grace) {
  std::lock_guard<std::mutex> lock(write_mutex_);
  return server_.finish(grace);
}

void EngineProcess::close() {
  if (!server_.running()) return;
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
            qb::position_text(request.position, qb::Side(request.side)))) {
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
            std::to_string(min_depth) + " " + qb::position_text(p, qb::Side(side)))) {
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
