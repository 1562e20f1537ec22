#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "eval/weights.h"
#include "interface/exports.h"

namespace {
using namespace qb;

struct Result {
  int score;
  Position end;
  int end_side;
  std::string text;
};

Result run(const char* fen) {
  FenPosition start = parse_fen(fen).value();
  Result r{};
  char text[256] = "junk";
  r.score = qsearch(&start.position, start.side, &r.end, &r.end_side, text);
  r.text = text;
  return r;
}

// The lines chosen depend on the weights: use the built-in ones.
class QsearchExport : public testing::Test {
 protected:
  void SetUp() override { load_weights("/nonexistent/"); }
};

// The evaluation as qsearch reports it: from Black's point of view.
int black_view(const char* fen) {
  FenPosition f = parse_fen(fen).value();
  PieceSummary s = make_piece_summary(f.position);
  int v = evaluate(f.position, f.side, s);
  return f.side == WHITE ? -v : v;
}

TEST_F(QsearchExport, QuietPositionIsItsOwnEvaluation) {
  for (const char* fen : {"B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12",
                          "W:W25,26,K30:B5,6,7", "B:W25,26,K30:B5,6,7"}) {
    SCOPED_TRACE(fen);
    FenPosition f = parse_fen(fen).value();
    ASSERT_FALSE(has_capture(f.position, BLACK) || has_capture(f.position, WHITE));
    Result r = run(fen);
    EXPECT_EQ(r.score, black_view(fen));
    EXPECT_EQ(r.end, f.position);
    EXPECT_EQ(r.end_side, f.side);
    EXPECT_EQ(r.text, "");
  }
  EXPECT_NE(run("W:W25,26,K30:B5,6,7").score, 0);
}

TEST_F(QsearchExport, CapturesAreResolvedToAQuietPosition) {
  struct Case {
    const char* fen;
    const char* text;
    const char* end;  // the position at the end of the line
  } cases[] = {
      // A double jump over 14 and 23, and White's recapture 32x23.
      {"B:W14,23,32:B1,9", "9x27 32x23", "B:W23:B1"},
      // White takes and the line ends quiet with Black to move.
      {"W:W14,32:B1,10", "14x7", "B:W7,32:B1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    Result r = run(c.fen);
    FenPosition end = parse_fen(c.end).value();
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.end, end.position) << position_text(r.end, Side(r.end_side));
    EXPECT_EQ(r.end_side, end.side);
    EXPECT_EQ(r.score, black_view(c.end));
  }
}

// With a capture threatened, the side's quiet moves are tried once.
TEST_F(QsearchExport, ThreatenedSideTriesItsQuietMoves) {
  // White's 18 threatens 18x9. Black's first move 1-5 lets White take but
  // wins the man back (the even trade beats stepping away with 14-17).
  Result r = run("B:W18,23:B1,14");
  EXPECT_EQ(r.text, "1-5 18x9 5x14");
  EXPECT_EQ(r.end_side, WHITE);
  EXPECT_EQ(r.score, black_view("W:W23:B14"));
  // Alone, the man steps out of the threat; White's quiet reply is not searched.
  r = run("B:W18,23:B14");
  EXPECT_EQ(r.text, "14-17");
  EXPECT_EQ(r.score, black_view("W:W18,23:B17"));
}

// A side without a move, or without pieces, has lost.
TEST_F(QsearchExport, NoMoveScoresAsALoss) {
  EXPECT_EQ(run("B:W21,22,K29,K30:B25").score, -4000);
  Result r = run("B:W14:B9");
  EXPECT_EQ(r.text, "9x18");
  EXPECT_EQ(r.score, 4000);
  EXPECT_EQ(r.end_side, WHITE);
}

TEST_F(QsearchExport, MissingArgumentsAreTolerated) {
  char text[16] = "junk";
  EXPECT_EQ(qsearch(nullptr, 0, nullptr, nullptr, text), 0);
  EXPECT_STREQ(text, "");
  Position start = start_position();
  EXPECT_EQ(qsearch(&start, 0, nullptr, nullptr, nullptr), black_view("B:W21-32:B1-12"));
}

}  // namespace
