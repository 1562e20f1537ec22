#include <gtest/gtest.h>

#include <cstring>

#include "board/fen.h"
#include "interface/exports.h"

using namespace qb;

namespace {

Position fen(const char* text) { return parse_fen(text)->position; }

// Fills every byte so a test can see what the export left untouched.
template <class T>
void poison(T& value) {
  std::memset(&value, 0x5A, sizeof value);
}

}  // namespace

TEST(BuildMovelist, QuietPositionGivesNonCapturesAndEmptyFirstPath) {
  HostMoveList list;
  CapturePath paths[HOST_MOVELIST_SIZE];
  poison(list);
  poison(paths);
  Position start = start_position();
  EXPECT_EQ(build_movelist(&start, BLACK, &list, paths), 7);
  EXPECT_EQ(list.count, 7);
  EXPECT_EQ(paths[0].jumps, 0);
}

TEST(BuildMovelist, CapturesCarryTheirPaths) {
  HostMoveList list;
  CapturePath paths[HOST_MOVELIST_SIZE];
  Position p = fen("W:W30:B26,18");
  ASSERT_EQ(build_movelist(&p, WHITE, &list, paths), 1);
  EXPECT_EQ(paths[0].jumps, 2);
  EXPECT_EQ(paths[0].path[2], list.moves[0]);
  EXPECT_EQ(build_movelist(&p, WHITE, &list, nullptr), 1);  // paths are optional
}

TEST(BuildMovelist, NeverWritesPastTheHostsThirtyEntries) {
  // Found by searching for the positions with the most moves: 41 king moves,
  // and 34 capture sequences.
  for (const char* many :
       {"B:W32:BK1,2,K8-10,K16-18,K24-27", "B:WK1,K2,9,10,K11,17-19,K25,26,27:BK3,K5,K7,K8,K24"}) {
    Position p = fen(many);
    struct Guarded {
      HostMoveList list;
      CapturePath paths[HOST_MOVELIST_SIZE];
      char guard[64];
    } out;
    poison(out);
    int n = build_movelist(&p, BLACK, &out.list, out.paths);
    EXPECT_EQ(n, HOST_MOVELIST_SIZE) << many;
    EXPECT_EQ(out.list.count, HOST_MOVELIST_SIZE);
    for (char c : out.guard) ASSERT_EQ(c, 0x5A) << many;
  }
}
