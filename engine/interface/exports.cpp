// The exported entry points (all but the move-list, capture-search and
// analysis exports, which live with their subsystems). Nothing is thrown
// across this boundary: a failure becomes a text and a result code.
#include "interface/exports.h"

#include <atomic>
#include <exception>

#include "interface/about.h"
#include "interface/busy.h"
#include "interface/command.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/settings.h"
#include "interface/startup.h"
#include "interface/base/stop.h"
#include "platform/platform.h"
#include "search/driver.h"
#include "search/game_history.h"
#include "search/result.h"
#include "search/time_control.h"

namespace {

int32_t choose_move(int32_t board[8][8], int32_t color, double maxtime, char* str, int32_t* playnow,
                    int32_t info, int32_t moreinfo) {
  std::atomic_ref<int32_t> stop(*playnow);
  if (stop.load(std::memory_order_relaxed) != 0) stop.store(0, std::memory_order_relaxed);

  const qb::MoveRequest request{
      qb::from_host_board(board), qb::host_color_to_side(color), maxtime, info, moreinfo, str, playnow};
  qb::write_host_text(str, "Thinking...");
  if (info & qb::INFO_NEW_GAME) qb::game_history_clear();  // no history, no drawn values
  qb::prepare_engine_for_move(request);

  // A man on its own crowning row cannot arise in play; the host's board is
  // left exactly as it came.
  if (qb::has_man_on_crown_row(request.root)) {
    qb::write_host_text(str, "Illegal position.");
    return QB_UNKNOWN;
  }
  const qb::MoveDecision decision =
      qb::g_settings.allscores != 0 ? qb::allscores_driver(request) : qb::search_driver(request);
  qb::to_host_board(decision.position, board);
  return qb::finish_move(decision, request.side);
}

}  // namespace

QB_EXPORT int32_t getmove(int32_t board[8][8], int32_t color, double maxtime, char* str, int32_t* playnow,
                          int32_t info, int32_t moreinfo) {
  qb::SearchBusyGuard busy;
  // A host that passes no stop flag or text buffer still gets a move.
  static int32_t own_stop_flag = 0;
  char scratch[qb::HOST_TEXT_SIZE];
  if (!playnow) playnow = &own_stop_flag;
  if (!str) str = scratch;
  if (!board) {
    qb::write_host_text(str, "Illegal position.");
    return QB_UNKNOWN;
  }
  try {
    return choose_move(board, color, maxtime, str, playnow, info, moreinfo);
  } catch (const std::exception& e) {
    qb::log_printf("getmove failed: %s\n", e.what());
  } catch (...) {
    qb::log_printf("getmove failed\n");
  }
  qb::write_host_text(str, "Internal error, no move made.");
  return QB_UNKNOWN;
}

QB_EXPORT int32_t enginecommand(const char* command, char* reply) {
  char scratch[qb::HOST_TEXT_SIZE];
  if (!reply) reply = scratch;
  try {
    qb::initialise_engine();
    return qb::run_command(command ? command : "", reply);
  } catch (...) {
    qb::write_host_text(reply, "Command failed");
    return 0;
  }
}

QB_EXPORT int32_t enginename(char* name) {
  qb::write_host_text(name, "%s", qb::engine_name().c_str());
  return 1;
}

QB_EXPORT int32_t engineabout(void* window) {
  try {
    qb::initialise_engine();
    qb::platform::message_box(window, "engine info", qb::about_text().c_str());
  } catch (...) {}
  return 1;
}

QB_EXPORT int32_t enginehelp(char* text) {
  qb::initialise_engine();
  qb::write_host_text(text, "%s", qb::HELP_FILE);
  return 1;
}

QB_EXPORT int32_t protocolversion(void) { return qb::PROTOCOL_VERSION; }

// The board is read (as the protocol has it) but, with nothing to evaluate,
// the position is not kept: a getmove converts its own board anyway.
QB_EXPORT int32_t staticevaluation(int32_t board[8][8], int32_t, char* text) {
  if (board) (void)qb::from_host_board(board);
  qb::write_host_text(text, "%s", qb::NO_STATIC_EVALUATION);
  return 1;
}

QB_EXPORT int32_t DebugFunction1(void) { return int32_t(qb::platform::process_clock_ms()); }

QB_EXPORT void DebugFunction2(void) {}
