#include "book/book_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

namespace qb {

namespace {

// Slots per position: a table half full keeps the probe runs short.
constexpr double SLOTS_PER_POSITION = 2.0;

struct Table {
  std::vector<BookRecord> records;
  std::vector<uint32_t> king_masks;
  int probe_limit = 1;
};

std::string check_position(const BookPosition& b) {
  const BookEntry& e = b.entry;
  if (b.position.pieces[BLACK] == 0) return "a position without black pieces";
  if (b.side != BLACK && b.side != WHITE) return "a side to move other than 0 or 1";
  if (e.first < 0 || e.first > BOOK_MAX_MOVE_INDEX) return "a first move index out of range";
  if (e.second != BOOK_NO_MOVE && (e.second < 0 || e.second > BOOK_MAX_MOVE_INDEX))
    return "a second move index out of range";
  return "";
}

// Index of `kings` in the king-mask table, adding it when new; -1 when full.
int king_index(Table& t, std::map<uint32_t, int>& known, uint32_t kings) {
  auto it = known.find(kings);
  if (it != known.end()) return it->second;
  if (int(t.king_masks.size()) == BOOK_MAX_KING_MASKS) return -1;
  t.king_masks.push_back(kings);
  return known[kings] = int(t.king_masks.size()) - 1;
}

void place(Table& t, const Position& p, Side side, uint32_t info) {
  const uint32_t slots = uint32_t(t.records.size());
  uint32_t slot = book_hash(p, side) % slots;
  int probes = 1;
  while (!t.records[slot].empty()) {
    slot = slot + 1 == slots ? 0 : slot + 1;
    ++probes;
  }
  t.records[slot] = BookRecord{info, p.pieces[BLACK], p.pieces[WHITE]};
  t.probe_limit = std::max(t.probe_limit, probes);
}

void append_word(std::vector<uint8_t>& out, uint32_t word, bool substituted) {
  uint8_t bytes[4];
  write_word(bytes, word);
  for (uint8_t b : bytes) out.push_back(substituted ? substitute_byte(b) : b);
}

}  // namespace

std::vector<uint8_t> build_book_image(const std::vector<BookPosition>& positions, std::string* error) {
  Table t;
  t.records.assign(std::size_t(double(positions.size()) * SLOTS_PER_POSITION) + 1, BookRecord{});
  std::map<uint32_t, int> known_kings;
  std::set<std::tuple<uint32_t, uint32_t, uint32_t, int>> seen;
  for (const BookPosition& b : positions) {
    std::string problem = check_position(b);
    const Position& p = b.position;
    if (problem.empty() && !seen.emplace(p.pieces[BLACK], p.pieces[WHITE], p.kings, b.side).second)
      problem = "a position given twice";
    int kings = p.kings ? king_index(t, known_kings, p.kings) : 0;
    if (problem.empty() && kings < 0) problem = "too many distinct king masks";
    if (!problem.empty()) {
      if (error) *error = "cannot write book: " + problem;
      return {};
    }
    BookEntry e = b.entry;
    e.value = std::clamp(e.value, BOOK_VALUE_MIN, BOOK_VALUE_MAX);
    place(t, p, b.side, encode_info(b.side, e, p.kings != 0, kings));
  }

  std::vector<uint8_t> image(BOOK_HEADER_SIZE, 0);
  std::memcpy(image.data(), BOOK_WRITER_VERSION, sizeof BOOK_WRITER_VERSION);
  write_word(&image[16], uint32_t(positions.size()));
  write_word(&image[20], uint32_t(t.records.size()));
  write_word(&image[24], uint32_t(t.probe_limit));
  write_word(&image[28], uint32_t(t.king_masks.size()));
  for (uint32_t mask : t.king_masks) append_word(image, mask, true);
  for (const BookRecord& r : t.records) {
    append_word(image, r.info, true);
    append_word(image, r.black, true);
    append_word(image, r.white, true);
  }
  return image;
}

bool write_book(const std::string& path, const std::vector<BookPosition>& positions, std::string* error) {
  std::vector<uint8_t> image = build_book_image(positions, error);
  if (image.empty()) return false;
  const std::string temporary = path + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "wb");
  bool ok = f && std::fwrite(image.data(), 1, image.size(), f) == image.size();
  if (f && std::fclose(f) != 0) ok = false;
  std::error_code replaced;
  if (ok) std::filesystem::rename(temporary, path, replaced);
  ok = ok && !replaced;
  if (!ok) {
    std::remove(temporary.c_str());
    if (error) *error = "cannot write book file " + path;
  }
  return ok;
}

}  // namespace qb
