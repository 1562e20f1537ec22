#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "board/fen.h"
#include "board/movegen.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "search/progress_line.h"
#include "search/report.h"
#include "search/search_state.h"
#include "search/time_control.h"
#include "search/tt.h"
#include "support/temp_env.h"

namespace {
using namespace qb;

Position pos(const char* fen) { return parse_fen(fen).value().position; }

int index_of(const Position& from, Side side, const Position& to) {
  MoveList list;
  int n = generate_moves(from, list, side);
  for (int i = 0; i < n; ++i)
    if (list.moves[i] == to) return i;
  return -1;
}

// The king shuffle 5-9, 28-24, 9-5, 24-28 stored as the table's best moves:
// its variation runs in a circle.
const Position P0 = pos("B:WK28,12:BK5,21"), P1 = pos("W:WK28,12:BK9,21"), P2 = pos("B:WK24,12:BK9,21"),
               P3 = pos("W:WK24,12:BK5,21");

class Reports : public testing::Test {
 protected:
  void SetUp() override {
    tt_free();
    tt_allocate(1);
    tt_new_search();
  }
  static void store_shuffle(Bound bound_at_p3) {
    tt_store(hash_key(P1, WHITE), 0, 1, 16, BOUND_EXACT, index_of(P1, WHITE, P2));
    tt_store(hash_key(P2, BLACK), 0, 2, 16, BOUND_EXACT, index_of(P2, BLACK, P3));
    tt_store(hash_key(P3, WHITE), 0, 3, 16, bound_at_p3, index_of(P3, WHITE, P0));
    tt_store(hash_key(P0, BLACK), 0, 4, 16, BOUND_EXACT, index_of(P0, BLACK, P1));
  }
  static std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(Reports, BoardDiagramOfTheStartingPosition) {
  EXPECT_EQ(board_diagram(start_position()),
            "\n\n w w w w \nw w w w \n w w w w \n- - - - \n - - - - \nb b b b \n b b b b \nb b b b \n\n");
  EXPECT_EQ(board_diagram(pos("B:WK31:BK2")).substr(2, 10), " - W - - \n");  // 32 31 30 29
}

TEST_F(Reports, ProgressLineFormat) {
  start_move_clock();
  char status[HOST_TEXT_SIZE];
  write_progress(status, ">", -12, 9, "pv 11-15 23-19");
  EXPECT_TRUE(std::regex_match(
      status, std::regex(R"(value>-12,  depth 9/\d+\.\d/\d+,  \d+\.\ds,  \d+ kN/s,  pv 11-15 23-19)")))
      << status;
  write_progress(status, "=", 4, 3, "");
  EXPECT_TRUE(
      std::regex_match(status, std::regex(R"(value=4,  depth 3/\d+\.\d/\d+,  \d+\.\ds,  \d+ kN/s,  )")))
      << status;
}

// Between passes the line is rewritten with the time moving on; the pass's
// own words stay. The buffer is read only while no refresher runs: a host
// reads it unsynchronised, which the thread checker would rightly flag here.
TEST_F(Reports, ProgressLineIsRefreshedBetweenPasses) {
  char status[HOST_TEXT_SIZE] = "";
  {
    ProgressLine idle(status);
    std::this_thread::sleep_for(2 * PROGRESS_REFRESH);
  }
  EXPECT_STREQ(status, "") << "nothing to refresh before the first pass";

  start_move_clock();
  {
    ProgressLine line(status);
    line.write("<", 7, 11, "pv 9-13");  // at 0.0s
    std::this_thread::sleep_for(4 * PROGRESS_REFRESH);
  }
  std::cmatch line;
  ASSERT_TRUE(std::regex_match(
      status, line, std::regex(R"(value<7,  depth 11/\d+\.\d/\d+,  (\d+\.\d)s,  \d+ kN/s,  pv 9-13)")))
      << status;
  EXPECT_GE(std::stod(line[1].str()), 0.5) << "the time was not brought up to date: " << status;

  const std::string after_end = status;
  std::this_thread::sleep_for(2 * PROGRESS_REFRESH);
  EXPECT_EQ(after_end, status) << "the refresher writes nothing once its deepening has ended";
}

TEST_F(Reports, PvTextStopsBeforeRepeatingAPosition) {
  store_shuffle(BOUND_EXACT);
  char pv[PV_TEXT_SIZE];
  pv_text(pv, BLACK, P0, P1, false, 12);
  EXPECT_STREQ(pv, "pv 5-9 28-24 9-5 24-28 5-9");
}

TEST_F(Reports, PvTextLengthAndExactness) {
  store_shuffle(BOUND_LOWER);
  char pv[PV_TEXT_SIZE];
  pv_text(pv, BLACK, P0, P1, false, 2);
  EXPECT_STREQ(pv, "pv 5-9 28-24 9-5");
  pv_text(pv, BLACK, P0, P1, true, 12);  // stops at the lower bound on P3
  EXPECT_STREQ(pv, "pv 5-9 28-24 9-5");
  tt_free();
  tt_allocate(1);
  pv_text(pv, BLACK, P0, P1, false, 12);  // nothing stored: the first move only
  EXPECT_STREQ(pv, "pv 5-9");
}

TEST_F(Reports, PinningWalkPinsTheVariationAndRecordsNewPins) {
  store_shuffle(BOUND_EXACT);
  HashProbe before;
  ASSERT_TRUE(tt_probe(hash_key(P2, BLACK), before));
  tt_pin(hash_key(P2, BLACK), before.entry);  // already pinned: passed through
  PvKeySet keys;
  pin_pv(BLACK, P1, false, 12, &keys);
  for (auto [p, side] : {std::pair{P1, WHITE}, {P2, BLACK}, {P3, WHITE}, {P0, BLACK}}) {
    HashProbe found;
    ASSERT_TRUE(tt_probe(hash_key(p, side), found));
    EXPECT_TRUE(found.entry.pinned());
    EXPECT_EQ(found.entry.age, g_tt.age);
  }
  EXPECT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys.count(hash_key(P2, BLACK).high), 0u);
  uint32_t previous = UINT32_MAX;
  for (auto& [high, record] : keys) {
    EXPECT_LE(high, previous);               // descending by the key's high word
    EXPECT_FALSE(record.data & PINNED_BIT);  // as it was before pinning
    EXPECT_EQ(record.check ^ record.data, record.key_high);
    previous = high;
  }
}

TEST_F(Reports, LogLinesOfASearch) {
  g_log_path = qbtest::make_temp_dir("report-log") + "/Quillbar.log";
  start_move_clock();
  log_search_start(start_position(), BLACK);
  log_best_move(start_position(), pos("W:W21-32:B1-10,12,15"), 8, 9);
  std::string log = read_file(g_log_path);
  g_log_path.clear();
  EXPECT_EQ(log.substr(0, board_diagram(start_position()).size()), board_diagram(start_position()));
  EXPECT_NE(log.find("B:W21-32:B1-12\n\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      log,
      std::regex(
          R"(\nbest 11-15, value 8, depth 9/\d+\.\d/\d+, nodes \d+, time \d+\.\d\d, \d+ kN/s, db \d+\n$)")))
      << log;
}

}  // namespace
