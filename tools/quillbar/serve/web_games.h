// The open games of `quillbar serve`, one engine process each. A game's
// engine runs on the game's own worker thread; what it reports (search
// progress, its move, a failure) goes into the game's event list, which the
// page reads as a stream. An engine that crashes or hangs loses only its
// game's process: the failure is told to the page and the next request
// starts a fresh engine.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine_process.h"
#include "web_game.h"

namespace host::web {

using Clock = std::chrono::steady_clock;

struct Event {
  long id = 0;
  std::string type;  // "status", "move", "failure"
  Json data;
};

struct GameSlot {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Event> events;  // the latest few; older ones are dropped
  long next_event = 1;
  bool engine_busy = false;  // a search or an analysis holds the engine
  bool closed = false;
  int listeners = 0;  // open event streams
  Clock::time_point last_used = Clock::now();
  EngineProcess engine;  // touched only by the holder of engine_busy
  std::thread worker;

  void post(const std::string& type, Json data);  // with the mutex held
};

struct ServeSettings {
  EngineConfig engine;
  int max_games = 4;
  double idle_seconds = 300;
  double hang_timeout = 20;  // seconds past "move now" before an engine counts as hung
};

class GameTable {
 public:
  explicit GameTable(const ServeSettings& settings) : settings_(settings) {}
  ~GameTable();

  // A new game's id, or empty when `max_games` are open ("busy").
  std::string open();
  std::shared_ptr<GameSlot> find(const std::string& id);
  void close(const std::string& id);
  // Ends the games whose page has gone for longer than the idle time.
  void close_idle();
  size_t size();

  // Starts the engine's move on the game's worker. False with a reason
  // when the engine is already busy.
  bool think(GameSlot& slot, const GameRecord& game, double seconds, bool new_game, std::string& error);
  void move_now(GameSlot& slot);
  // Scores every legal move (get_best_moves); waits for the answer.
  Json analyse(GameSlot& slot, const GameRecord& game, double seconds, int margin, int& status);

 private:
  // Makes sure the slot's engine runs; false with the reason.
  bool ensure_engine(GameSlot& slot, std::string& error);
  void end(const std::shared_ptr<GameSlot>& slot);
  void play_move(GameSlot& slot, const MoveRequest& request);

  ServeSettings settings_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<GameSlot>> games_;
};

std::string random_id();

}  // namespace host::web
