#include "search/report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/movegen.h"
#include "board/movetext.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "search/search_state.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace qb {

namespace {

// Follows the best moves the table holds, from `first` with the opponent of
// `side` to move. At every entry it may use, `on_entry` sees it; for every
// move it then follows, `on_move` sees the move. The walk ends at a missing
// entry, a cycle, an inexact entry (when asked), a position without moves
// or an index beyond the move count.
template <class OnEntry, class OnMove>
void walk_pv(Side side, const Position& first, bool exact_only, int steps, OnEntry on_entry, OnMove on_move) {
  HashKey seen[PV_PIN_STEPS];
  int seen_count = 0;
  Position current = first;
  Side mover = opponent_of(side);
  for (int step = 0; step < std::min(steps, PV_PIN_STEPS); ++step) {
    HashKey key = hash_key(current, mover);
    HashProbe probe;
    if (!tt_probe(key, probe)) return;
    if (exact_only && probe.entry.bound() != BOUND_EXACT) return;
    for (int i = 0; i < seen_count; ++i)
      if (seen[i].low == key.low && seen[i].high == key.high) return;
    seen[seen_count++] = key;
    on_entry(key, probe);
    MoveList list;
    int count = generate_moves(current, list, mover);
    int index = probe.entry.move_index();
    if (index >= count) return;
    on_move(current, list.moves[index]);
    current = list.moves[index];
    mover = opponent_of(mover);
  }
}

}  // namespace

SearchReport current_report() {
  SearchTotals totals = sum_thread_counters();
  SearchReport r;
  r.nodes = totals.nodes;
  r.average_leaf_depth = totals.leaves ? float(totals.leaf_plies) / float(totals.leaves) : 0.0f;
  r.selective_depth = g_search.selective_depth.load(std::memory_order_relaxed);
  r.elapsed = elapsed_seconds();
  r.knps = double(r.nodes) / (r.elapsed * 1000);
  r.db_probes = uint32_t(totals.db_probes);
  return r;
}

void write_progress(char* status, const char* sign, int value, Plies depth, const char* pv) {
  if (!status) return;
  SearchReport r = current_report();
  write_host_text(status, "value%s%d,  depth %d/%.1f/%d,  %.1fs,  %.0f kN/s,  %s", sign, value, depth,
                  double(r.average_leaf_depth), r.selective_depth, r.elapsed, r.knps, pv);
}

void log_best_move(const Position& root, const Position& best, int value, Plies depth) {
  SearchReport r = current_report();
  char move[MOVE_TEXT_SIZE];
  log_printf("best %s, value %d, depth %d/%.1f/%d, nodes %" PRId64 ", time %.2f, %.0f kN/s, db %u\n",
             move_text(move, root, best), value, depth, double(r.average_leaf_depth), r.selective_depth,
             int64_t(r.nodes), r.elapsed, r.knps, r.db_probes);
}

std::string board_diagram(const Position& p) {
  std::string text = "\n\n";
  for (int square = 32; square >= 1; --square) {
    if (square % 8 == 0) text += ' ';  // rows starting at 32, 24, 16, 8 sit one place right
    uint32_t bit = 1u << (square - 1);
    char c = '-';
    if (p.pieces[BLACK] & bit) c = (p.kings & bit) ? 'B' : 'b';
    else if (p.pieces[WHITE] & bit) c = (p.kings & bit) ? 'W' : 'w';
    text += c;
    text += ' ';
    if ((square - 1) % 4 == 0) text += '\n';
  }
  return text + "\n";
}

void log_search_start(const Position& root, Side side) {
  log_text(board_diagram(root).c_str());
  log_position(root, side);
}

void pv_text(char* out, Side side, const Position& root, const Position& first, bool exact_only, int length) {
  char move[MOVE_TEXT_SIZE];
  int used = std::snprintf(out, PV_TEXT_SIZE, "pv %s", move_text(move, root, first));
  walk_pv(
      side, first, exact_only, std::min(length, PV_TEXT_MOVES), [](HashKey, const HashProbe&) {},
      [&](const Position& from, const Position& to) {
        if (used < PV_TEXT_SIZE)
          used += std::snprintf(out + used, PV_TEXT_SIZE - used, " %s", move_text(move, from, to));
      });
}

void pin_pv(Side side, const Position& first, bool exact_only, int length, PvKeySet* keys) {
  walk_pv(
      side, first, exact_only, std::min(length, PV_PIN_STEPS),
      [&](HashKey key, const HashProbe& probe) {
        if (probe.entry.pinned()) return;
        tt_pin_in_place(key, probe);
        if (keys)
          keys->emplace(key.high,
                        PvRecord{probe.entry.check, probe.entry.data, probe.entry.age, key.low, key.high});
      },
      [](const Position&, const Position&) {});
}

}  // namespace qb
