#include "engine_game.h"

#include <cstdio>

#include "board/fen.h"

namespace host {
namespace {

// Scheduling and pipe latency the host forgives before a flag falls.
constexpr double CLOCK_GRACE = 0.1;

Outcome loss(int side, const std::string& why) {
  return {win_for(side ^ 1), std::string(side_name(side)) + " engine " + why, true};
}

const char* claim_text(int code) {
  switch (code) {
    case 0:
      return " (claims a draw)";
    case 1:
      return " (claims a win)";
    case 2:
      return " (concedes)";
    default:
      return "";
  }
}

}  // namespace

GameResult claimed_result(int code, int side) {
  switch (code) {
    case 0:
      return GameResult::DRAW;
    case 1:
      return win_for(side);
    case 2:
      return win_for(side ^ 1);
    default:
      return GameResult::ONGOING;
  }
}

Outcome play_engine_game(EngineProcess* engines[2], const GameSetup& setup, GameRecord& record) {
  record = new_game();
  if (setup.opening) {
    for (const std::string& text : setup.opening->notation) {
      std::vector<LegalMove> moves = legal_moves(record.position(), record.side_to_move());
      MoveMatch m = find_move(text, moves);
      // Decks are checked when they are read; a move that still does not
      // fit leaves the game unplayed rather than scored.
      if (m.status != MoveLookup::FOUND)
        return {GameResult::ONGOING, "opening move " + text + " is not legal"};
      record.play(moves[m.index]);
    }
  }
  double clock[2] = {setup.time.base, setup.time.base};
  bool first_move[2] = {true, true};
  GameResult claims[2] = {GameResult::ONGOING, GameResult::ONGOING};

  while (true) {
    Outcome rules = rules_outcome(record, setup.max_plies);
    if (rules.over()) return rules;
    qb::Position position = record.position();
    int side = record.side_to_move();
    if (setup.judge) {
      if (auto verdict = setup.judge(position, side)) return *verdict;
    }

    GetmoveTime t = encode_time(setup.time, clock[side], first_move[side]);
    first_move[side] = false;
    MoveRequest request;
    request.position = position;
    request.side = side;
    request.maxtime = t.maxtime;
    request.info = t.info;
    request.moreinfo = t.moreinfo;
    request.stop_after = setup.time.incremental ? clock[side] + STOP_SLACK
                                                : FIXED_TIME_HARD_FACTOR * setup.time.move_time + STOP_SLACK;
    request.give_up_after = request.stop_after + setup.hang_timeout;
    MoveReply reply = engines[side]->getmove(request);
    if (!reply.ok) return loss(side, reply.failure);

    std::vector<LegalMove> moves = legal_moves(position, side);
    int played = -1;
    for (size_t i = 0; i < moves.size() && played < 0; ++i)
      if (moves[i].after == reply.after) played = int(i);
    if (played < 0) {
      if (reply.after == position) return loss(side, "made no move (" + reply.status + ")");
      return loss(side, "played an illegal move, to " + qb::position_text(reply.after, qb::Side(side ^ 1)));
    }
    if (setup.time.incremental) {
      if (reply.seconds > clock[side] + CLOCK_GRACE) {
        char why[96];
        std::snprintf(why, sizeof why, "lost on time (%.2f s used, %.2f s left)", reply.seconds, clock[side]);
        return loss(side, why);
      }
      clock[side] += setup.time.increment - reply.seconds;
    }

    char took[32];
    std::snprintf(took, sizeof took, "%.2fs", reply.seconds);
    std::string comment = std::string(took) + claim_text(reply.result);
    if (!reply.status.empty()) comment += " " + reply.status;
    record.play(moves[played], comment);

    claims[side] = claimed_result(reply.result, side);
    if (claims[side] != GameResult::ONGOING && claims[side] == claims[side ^ 1])
      return {claims[side], "result agreed by both engines"};
  }
}

}  // namespace host
