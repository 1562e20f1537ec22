// The root's search window: null-window passes that step toward the root
// value, bracketing it between a proven lower and upper bound. Values are
// from black's view.
#pragma once

#include <algorithm>
#include <cstdlib>

#include "search/search_state.h"

namespace qb {

struct SearchWindow {
  int max_step;  // largest step between two passes
  int lower;     // proven bounds of the root value
  int upper;
  int alpha;  // the next pass
  int beta;   // alpha + 1
  int step;
};

constexpr int WINDOW_MAX_STEP = 128;

// The first pass of an iteration tests whether the root still reaches the
// previous iteration's value.
inline SearchWindow initial_window(int previous_value) {
  return SearchWindow{WINDOW_MAX_STEP, -MATE, MATE, previous_value - 1, previous_value, 1};
}

// Narrows the bounds with a pass's value and places the next null window,
// doubling the step while the value keeps moving one way (at most a tenth of
// the value, half the gap and the maximum). Returns the bound to show.
inline int window_update(SearchWindow& w, int v) {
  auto next_step = [&](int bound) {
    return std::max(2, std::min({std::abs(bound) / 10, 2 * w.step, (w.upper - w.lower) / 2, w.max_step}));
  };
  if (v >= w.beta) {
    w.lower = std::min(v, w.upper);
    w.step = next_step(w.lower);
    w.beta = w.lower - 1 + w.step;
    w.alpha = w.beta - 1;
    return w.lower;
  }
  w.upper = std::max(v, w.lower);
  w.step = next_step(w.upper);
  w.alpha = w.upper - w.step + 1;
  w.beta = w.alpha + 1;
  return w.upper;
}

}  // namespace qb
