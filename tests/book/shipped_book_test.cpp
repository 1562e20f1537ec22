// The book shipped in data/: it loads, is big enough, and every record names
// a legal move of its position.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "book/book.h"
#include "book/book_fixture.h"
#include "book/book_move.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"

namespace {

using namespace qb;

const std::string SHIPPED_BOOK = std::string(QB_SOURCE_DIR) + "/data/Quillbar.odb";

TEST(ShippedBook, LoadsAndEveryRecordNamesALegalMove) {
  if (!std::filesystem::exists(SHIPPED_BOOK)) GTEST_SKIP() << "no book in data/";
  ASSERT_TRUE(load_book(SHIPPED_BOOK.c_str(), 1));
  EXPECT_GE(g_book.header.positions, 5000);
  int records = 0;
  for (const BookRecord& r : g_book.records) {
    if (r.empty()) continue;
    ++records;
    uint32_t kings = info_has_kings(r.info) ? g_book.king_masks.at(info_king_index(r.info)) : 0;
    Position p{{r.black, r.white}, kings};
    Side side = info_side(r.info);
    ASSERT_NE(book_find(p, side), BOOK_NOT_FOUND);
    BookEntry e = book_decode(book_find(p, side), kings);
    int count = qbtest::legal_moves(p, side).count;
    EXPECT_LT(e.first, count) << position_text(p, side);
    EXPECT_TRUE(e.second == BOOK_NO_MOVE || e.second < count) << position_text(p, side);
  }
  EXPECT_EQ(records, g_book.header.positions);

  MoveList moves = qbtest::legal_moves(start_position(), BLACK);
  for (int level : {1, 2, 3}) {
    g_settings.book = level;
    int index = -1, value = 0;
    char status[HOST_TEXT_SIZE] = "";
    EXPECT_TRUE(book_move(start_position(), BLACK, moves, nullptr, &index, &value, status));
    EXPECT_NE(std::string(status).find("*"), std::string::npos);
  }
  g_settings.book = 1;
  free_book();
}

}  // namespace
