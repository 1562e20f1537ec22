// Stand-in engines for the host's tests, one library per behaviour
// (FAKE_MODE_*): a well-behaved one that plays a chosen legal move, and ones
// that return an illegal board, crash or hang once the game has left the
// starting position.
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <thread>

#include "board/fen.h"
#include "board/movegen.h"
#include "interface/exports.h"

namespace {

int g_pick = 0;      // which legal move to play, "set pick N"
int g_claim = 3;     // result code returned with every move, "set claim N"
int g_sleep_ms = 0;  // extra time taken by every move, deaf to playnow, "set sleep MS"

qb::Side side_of(int32_t color) { return color == 1 ? qb::WHITE : qb::BLACK; }

}  // namespace

QB_EXPORT int32_t enginename(char* name) {
  std::snprintf(name, 64, "Fake engine");
  return 1;
}

QB_EXPORT int32_t enginecommand(const char* command, char* reply) {
  int value = 0;
  if (std::sscanf(command, "set sleep %d", &value) == 1) {
    g_sleep_ms = value;
    std::snprintf(reply, 256, "sleep set to %d", value);
    return 1;
  }
  if (std::sscanf(command, "set claim %d", &value) == 1) {
    g_claim = value;
    std::snprintf(reply, 256, "claim set to %d", value);
    return 1;
  }
  if (std::sscanf(command, "set pick %d", &value) == 1) {
    g_pick = value;
    std::snprintf(reply, 256, "pick set to %d", value);
    return 1;
  }
  if (std::strcmp(command, "name") == 0) return enginename(reply);
  if (std::strcmp(command, "about") == 0) {
    std::snprintf(reply, 256, "Fake engine\nfor tests\n");
    return 1;
  }
  std::snprintf(reply, 256, "Unrecognized command '%s', ignored", command);
  return 0;
}

QB_EXPORT int32_t getmove(int32_t board[8][8], int32_t color, double maxtime, char* str, int32_t* playnow,
                          int32_t, int32_t) {
  qb::Position p = qb::from_host_board(board);
  qb::Side side = side_of(color);
  std::printf("fake engine chatter on stdout\n");  // must not disturb the host
  std::fflush(stdout);
  std::snprintf(str, 64, "fake thinking");
  [[maybe_unused]] bool at_start = p == qb::start_position();
#if defined(FAKE_MODE_CRASH)
  if (!at_start) std::abort();  // a signal the sanitizers let through
#elif defined(FAKE_MODE_HANG)
  while (!at_start) std::this_thread::sleep_for(std::chrono::milliseconds(10));
#endif
  // Think a little, so that a host can see the status text while it waits.
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(maxtime * 0.5);
  while (std::chrono::steady_clock::now() < until && !*(volatile int32_t*)playnow)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

  std::this_thread::sleep_for(std::chrono::milliseconds(g_sleep_ms));

  qb::MoveList list;
  int n = qb::generate_moves(p, list, side);
  if (n == 0) {
    std::snprintf(str, 64, "No moves");
    return 2;
  }
  int index = ((g_pick % n) + n) % n;
  qb::Position after = list.moves[index];
#if defined(FAKE_MODE_ILLEGAL)
  // An extra king appears from nowhere.
  uint32_t empty = ~after.occupied();
  uint32_t extra = empty & (0u - empty);
  after.pieces[side] |= extra;
  after.kings |= extra;
#endif
  qb::to_host_board(after, board);
  std::snprintf(str, 64, "fake picks %d of %d", index + 1, n);
  return g_claim;
}

// Moves in generation order, each 10 worse than the one before for the side
// to move; those further than `margin` from the first are excluded.
QB_EXPORT int32_t get_best_moves(const qb::Position* position, int32_t side, double, char* text, int32_t*,
                                 int32_t, int32_t margin, qb::HostMoveList* moves, int32_t* scores, int32_t) {
  qb::MoveList list;
  int n = qb::generate_moves(*position, list, side_of(side));
  if (n == 0) {
    std::snprintf(text, 64, "Lost game");
    return 2;
  }
  int sign = side == qb::WHITE ? -1 : 1;
  moves->count = n < qb::HOST_MOVELIST_SIZE ? n : qb::HOST_MOVELIST_SIZE;
  for (int i = 0; i < moves->count; ++i) {
    moves->moves[i] = list.moves[i];
    scores[i] = 10 * i > margin ? -sign * 11000 : -sign * 10 * i;
  }
  std::snprintf(text, 64, "fake best moves");
  return 0;
}
