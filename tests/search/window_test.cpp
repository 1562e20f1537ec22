#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "board/fen.h"
#include "board/movegen.h"
#include "search/root_search.h"
#include "search/window.h"

namespace {
using namespace qb;

TEST(Window, FirstPassTestsThePreviousValue) {
  SearchWindow w = initial_window(0);
  EXPECT_EQ(std::tie(w.alpha, w.beta, w.lower, w.upper, w.step, w.max_step),
            std::make_tuple(-1, 0, -MATE, MATE, 1, 128));
  SearchWindow v = initial_window(37);
  EXPECT_EQ(std::tie(v.alpha, v.beta), std::make_tuple(36, 37));
}

TEST(Window, StepsFollowTheStatedExamples) {
  SearchWindow w = initial_window(0);
  w.beta = 100;
  w.alpha = 99;
  EXPECT_EQ(window_update(w, 100), 100);  // fail high at bound 100 with step 1
  EXPECT_EQ(w.step, 2);
  EXPECT_EQ(std::tie(w.alpha, w.beta), std::make_tuple(100, 101));
  EXPECT_EQ(w.lower, 100);

  // Fail low from 500: the step doubles up to a tenth of the bound.
  SearchWindow f = initial_window(500);
  f.step = 40;
  EXPECT_EQ(window_update(f, 300), 300);
  EXPECT_EQ(f.upper, 300);
  EXPECT_EQ(f.step, 30);  // min(300 / 10, 80, (300 + 4000) / 2, 128)
  EXPECT_EQ(std::tie(f.alpha, f.beta), std::make_tuple(271, 272));
}

// Whatever the true value, passes answered fail-soft close in on it from both
// sides and the loop ends with both bounds on it.
TEST(Window, PassesConvergeOnTheTrueValue) {
  for (int truth : {-3999, -2500, -301, -3, -1, 0, 1, 2, 57, 640, 3001, 3998}) {
    for (int previous : {-40, 0, 12, 900}) {
      SearchWindow w = initial_window(previous);
      int passes = 0;
      int shown = 0;
      do {
        ASSERT_LT(++passes, 200) << truth;
        ASSERT_GE(w.alpha, -MATE);
        ASSERT_LE(w.beta, MATE);
        shown = window_update(w, truth);
      } while (w.lower < w.upper);
      EXPECT_EQ(shown, truth);
      EXPECT_EQ(w.lower, truth);
      EXPECT_EQ(w.upper, truth);
    }
  }
}

// Every capture line followed to its quiet end: the independent statement of
// the forced-capture rule.
void line_ends(const Position& p, Side side, std::set<std::tuple<uint32_t, uint32_t, uint32_t>>& ends) {
  if (!has_capture(p, side)) {
    ends.insert({p.pieces[BLACK], p.pieces[WHITE], p.kings});
    return;
  }
  MoveList list;
  int n = generate_captures(p, list, side);
  for (int i = 0; i < n; ++i) line_ends(list.moves[i], opponent_of(side), ends);
}

TEST(ForcedCapture, CapsOnlyWhenEveryCaptureLineMeets) {
  struct Case {
    const char* fen;
    bool forced;
  };
  const Case cases[] = {
      {"B:W21-32:B1-12", false},           // no capture
      {"B:W18,29:B8,17", false},           // quiet moves only
      {"B:W25:B21", true},                 // a single capture
      {"B:W18,17,9,10:BK15", true},        // a king's ring, two routes to one end
      {"B:W8,25:B3,16,21", false},         // two captures, two different ends
      {"B:W8,13,23,25:B3,9,21,27", true},  // two captures, recaptures meet
      {"B:W9,20,26,27:B7,10,15,23", false},
  };
  for (const Case& c : cases) {
    FenPosition f = parse_fen(c.fen).value();
    EXPECT_EQ(forced_capture(f.position, f.side), c.forced) << c.fen;
    if (has_capture(f.position, f.side)) {
      MoveList list;
      int n = generate_captures(f.position, list, f.side);
      std::set<std::tuple<uint32_t, uint32_t, uint32_t>> ends;
      for (int i = 0; i < n; ++i) line_ends(list.moves[i], opponent_of(f.side), ends);
      EXPECT_EQ(n == 1 || ends.size() == 1, c.forced) << c.fen;
    }
  }
}

}  // namespace
