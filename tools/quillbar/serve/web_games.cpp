#include "web_games.h"

#include <bit>
#include <cstdlib>
#include <random>

#include "board/fen.h"
#include "engine_game.h"
#include "pdn.h"

namespace host::web {
namespace {

constexpr size_t KEPT_EVENTS = 64;     // a page that falls further behind reloads the state
constexpr int EXCLUDED_SCORE = 11000;  // get_best_moves' mark of a move outside the margin
constexpr auto END_WAIT = std::chrono::seconds(30);
constexpr double MOVE_NOW_SLACK = 0.2;  // seconds past the move time

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Inside the endgame databases a search scores a won position at least
// this much; every position there is a win, a loss or a draw, so a best
// score short of it either way is a draw.
constexpr int DATABASE_WIN = 2000;

std::string database_verdict(int best_score, int side) {
  std::string mover = side_name(side), other = side_name(side ^ 1);
  if (best_score >= DATABASE_WIN) return "endgame database: " + mover + " wins";
  if (best_score <= -DATABASE_WIN) return "endgame database: " + other + " wins";
  return "endgame database: a draw";
}

}  // namespace

std::string random_id() {
  static std::mutex mutex;
  static std::random_device seed;
  static std::mt19937_64 bits(((uint64_t)seed() << 32) ^ seed());
  std::lock_guard<std::mutex> lock(mutex);
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", (unsigned long long)bits());
  return text;
}

void GameSlot::post(const std::string& type, Json data) {
  events.push_back({next_event++, type, std::move(data)});
  while (events.size() > KEPT_EVENTS) events.pop_front();
  last_used = Clock::now();
  changed.notify_all();
}

GameTable::~GameTable() {
  std::map<std::string, std::shared_ptr<GameSlot>> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(games_);
  }
  for (auto& [id, slot] : all) end(slot);
}

std::string GameTable::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (int(games_.size()) >= settings_.max_games) return "";
  std::string id = random_id();
  games_[id] = std::make_shared<GameSlot>();
  return id;
}

std::shared_ptr<GameSlot> GameTable::find(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = games_.find(id);
  if (it == games_.end()) return nullptr;
  std::lock_guard<std::mutex> slot_lock(it->second->mutex);
  it->second->last_used = Clock::now();
  return it->second;
}

size_t GameTable::size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return games_.size();
}

void GameTable::close(const std::string& id) {
  std::shared_ptr<GameSlot> slot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = games_.find(id);
    if (it == games_.end()) return;
    slot = it->second;
    games_.erase(it);
  }
  end(slot);
}

void GameTable::close_idle() {
  std::vector<std::shared_ptr<GameSlot>> idle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = games_.begin(); it != games_.end();) {
      std::lock_guard<std::mutex> slot_lock(it->second->mutex);
      GameSlot& s = *it->second;
      if (s.listeners == 0 && !s.engine_busy && seconds_since(s.last_used) > settings_.idle_seconds) {
        idle.push_back(it->second);
        it = games_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& slot : idle) end(slot);
}

// Stops whatever the engine does, waits for its holder to let go, then
// ends the process.
void GameTable::end(const std::shared_ptr<GameSlot>& slot) {
  std::unique_lock<std::mutex> lock(slot->mutex);
  slot->closed = true;
  slot->changed.notify_all();
  if (slot->engine_busy) slot->engine.request_stop();
  slot->changed.wait_for(lock, END_WAIT, [&] { return !slot->engine_busy; });
  std::thread worker = std::move(slot->worker);
  bool free = !slot->engine_busy;
  lock.unlock();
  if (worker.joinable()) worker.join();
  if (free) slot->engine.close();
}

bool GameTable::ensure_engine(GameSlot& slot, std::string& error) {
  if (slot.engine.running()) return true;
  if (slot.engine.start(settings_.engine, error)) return true;
  error = "the engine does not start: " + error;
  return false;
}

bool GameTable::think(GameSlot& slot, const GameRecord& game, double seconds, bool new_game,
                      std::string& error) {
  std::unique_lock<std::mutex> lock(slot.mutex);
  if (slot.engine_busy) {
    error = "the engine is busy with this game; wait for its move or press Move now";
    return false;
  }
  slot.engine_busy = true;
  if (slot.worker.joinable()) slot.worker.join();  // it has finished: it let go of the engine
  MoveRequest request;
  request.position = game.position();
  request.side = game.side_to_move();
  request.maxtime = seconds;
  request.info = new_game ? INFO_NEW_GAME : 0;
  // A player waits for the time they set, not for the engine's own hard
  // limit of several times it: the host says "move now" just after it.
  request.stop_after = seconds + MOVE_NOW_SLACK;
  request.give_up_after = request.stop_after + settings_.hang_timeout;
  slot.worker = std::thread([this, &slot, request] { play_move(slot, request); });
  return true;
}

// On the game's worker: one engine move, told to the page as it goes.
void GameTable::play_move(GameSlot& slot, const MoveRequest& request) {
  std::string failure;
  Json move;
  if (ensure_engine(slot, failure)) {
    MoveReply reply = slot.engine.getmove(request, [&slot](const std::string& text) {
      std::lock_guard<std::mutex> status_lock(slot.mutex);
      slot.post("status", status_json(text));
    });
    if (!reply.ok) failure = "the engine " + reply.failure;
    for (const LegalMove& m : legal_moves(request.position, request.side)) {
      if (!reply.ok || !(m.after == reply.after)) continue;
      move = Json{{"move", move_notation(m)},
                  {"seconds", reply.seconds},
                  {"result", reply.result},
                  {"claim", result_text(claimed_result(reply.result, request.side))},
                  {"status", status_json(reply.status)},
                  {"engine", slot.engine.name()}};
    }
    if (reply.ok && move.is_null())
      failure = "the engine played an illegal move, to " +
                qb::position_text(reply.after, qb::Side(request.side ^ 1));
  }
  std::lock_guard<std::mutex> lock(slot.mutex);
  if (failure.empty()) slot.post("move", move);
  else slot.post("failure", {{"error", failure}});
  slot.engine_busy = false;
  slot.changed.notify_all();
}

void GameTable::move_now(GameSlot& slot) {
  std::lock_guard<std::mutex> lock(slot.mutex);
  if (slot.engine_busy) slot.engine.request_stop();
}

Json GameTable::analyse(GameSlot& slot, const GameRecord& game, double seconds, int margin, int& status) {
  {
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.engine_busy || slot.closed) {
      status = 409;
      return {{"error", "the engine is busy with this game; wait for its move or press Move now"}};
    }
    slot.engine_busy = true;
  }
  qb::Position p = game.position();
  int side = game.side_to_move();
  std::string failure;
  BestMoves best;
  int db_pieces = 0;
  if (ensure_engine(slot, failure)) {
    best = slot.engine.best_moves(p, side, seconds, margin, 0);
    if (!best.ok) failure = "the engine " + best.failure;
    // Asked after the search, which opens the databases.
    CommandReply reply = best.ok ? slot.engine.command("get dbpieces") : CommandReply{};
    if (reply.ok) db_pieces = std::atoi(reply.text.c_str());
  }
  {
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.engine_busy = false;
    slot.changed.notify_all();
  }
  if (!failure.empty()) {
    status = 502;
    return {{"error", failure}};
  }
  // Scores from the side to move's view, so that the best is the highest
  // for either colour.
  std::vector<LegalMove> legal = legal_moves(p, side);
  Json moves = Json::array();
  for (const auto& [after, score] : best.moves) {
    for (const LegalMove& m : legal) {
      if (!(m.after == after)) continue;
      int own = side == qb::WHITE ? -score : score;
      bool good = own != -EXCLUDED_SCORE;
      moves.push_back({{"text", move_notation(m)},
                       {"squares", m.squares},
                       {"good", good},
                       {"score", good ? Json(own) : Json(nullptr)}});
      break;
    }
  }
  status = 200;
  Json answer = {{"side", side == qb::WHITE ? "white" : "black"},
                 {"moves", moves},
                 {"text", best.text},
                 {"result", best.result}};
  if (!moves.empty() && std::popcount(p.occupied()) <= db_pieces)
    answer["verdict"] = database_verdict(moves[0]["score"].is_number() ? int(moves[0]["score"]) : 0, side);
  return answer;
}

}  // namespace host::web
