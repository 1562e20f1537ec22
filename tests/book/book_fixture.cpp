#include "book/book_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "book/book.h"
#include "support/temp_env.h"

namespace qbtest {

std::string save_image(const std::vector<uint8_t>& image, std::string path) {
  if (path.empty()) path = make_temp_dir("book") + "/book.odb";
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  return path;
}

void load_positions(const std::vector<qb::BookPosition>& positions, uint32_t clock_ms) {
  std::string error;
  std::vector<uint8_t> image = qb::build_book_image(positions, &error);
  ASSERT_FALSE(image.empty()) << error;
  ASSERT_TRUE(qb::load_book(save_image(image).c_str(), clock_ms));
}

namespace {

void append_word(std::vector<uint8_t>& out, uint32_t word, bool substituted) {
  uint8_t bytes[4];
  qb::write_word(bytes, word);
  for (uint8_t b : bytes) out.push_back(substituted ? qb::substitute_byte(b) : b);
}

}  // namespace

std::vector<uint8_t> raw_image(const RawBook& book) {
  std::vector<uint8_t> image(qb::BOOK_VERSION_BYTES, 0);
  std::copy(book.version.begin(), book.version.end(), image.begin());
  append_word(image, uint32_t(book.positions), false);
  append_word(image, uint32_t(book.records.size()), false);
  append_word(image, uint32_t(book.probe_limit), false);
  append_word(image, uint32_t(book.king_masks.size()), false);
  for (uint32_t mask : book.king_masks) append_word(image, mask, true);
  for (const qb::BookRecord& r : book.records) {
    append_word(image, r.info, true);
    append_word(image, r.black, true);
    append_word(image, r.white, true);
  }
  return image;
}

qb::BookRecord record_for(const qb::Position& p, qb::Side side, qb::BookEntry entry, int king_index) {
  return qb::BookRecord{qb::encode_info(side, entry, p.kings != 0, king_index), p.pieces[qb::BLACK],
                        p.pieces[qb::WHITE]};
}

qb::MoveList legal_moves(const qb::Position& p, qb::Side side) {
  qb::MoveList list;
  qb::generate_moves(p, list, side);
  return list;
}

int move_index(const qb::Position& from, qb::Side side, const qb::Position& to) {
  qb::MoveList list = legal_moves(from, side);
  for (int i = 0; i < list.count; ++i) {
    if (list.moves[i] == to) return i;
  }
  return -1;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);  // text mode: the log's lines end in "\r\n" on Windows
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace qbtest
