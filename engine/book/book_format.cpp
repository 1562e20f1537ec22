#include "book/book_format.h"

#include <array>

#include "book/lookup2.h"

namespace qb {

namespace {

// The nibble permutation of our book files. Any permutation would do; this
// one is fixed for good, since changing it makes every existing book
// unreadable.
constexpr uint8_t NIBBLE_PERMUTATION[16] = {0x7, 0xC, 0x1, 0xE, 0x4, 0xA, 0x0, 0xF,
                                            0x9, 0x3, 0xD, 0x6, 0xB, 0x2, 0x8, 0x5};

struct Substitution {
  std::array<uint8_t, 256> forward{};
  std::array<uint8_t, 256> inverse{};
};

constexpr Substitution make_substitution() {
  Substitution s;
  for (int b = 0; b < 256; ++b) {
    uint8_t image = uint8_t(NIBBLE_PERMUTATION[b >> 4] << 4 | NIBBLE_PERMUTATION[b & 0xF]);
    s.forward[b] = image;
    s.inverse[image] = uint8_t(b);
  }
  return s;
}

constexpr Substitution SUBSTITUTION = make_substitution();

int sign_extend_12(uint32_t bits) { return int(bits & 0x7FF) - int(bits & 0x800); }

}  // namespace

uint8_t substitute_byte(uint8_t plain) { return SUBSTITUTION.forward[plain]; }
uint8_t restore_byte(uint8_t stored) { return SUBSTITUTION.inverse[stored]; }

BookEntry decode_entry(uint32_t info, uint32_t kings) {
  BookEntry e;
  e.first = (info >> 2) & 0x1F;
  if (kings == 0) {
    e.second = (info >> 7) & 0x1F;
    e.value = sign_extend_12(info >> 12);
  } else {
    e.second = BOOK_NO_MOVE;
    e.value = sign_extend_12(info >> 20);
  }
  return e;
}

uint32_t encode_info(Side side, const BookEntry& entry, bool kings, int king_index) {
  uint32_t info = uint32_t(side & 1) << 1 | uint32_t(entry.first & 0x1F) << 2;
  uint32_t value = uint32_t(entry.value) & 0xFFF;
  if (kings) return info | 1u | uint32_t(king_index & 0x1FFF) << 7 | value << 20;
  return info | uint32_t(entry.second & 0x1F) << 7 | value << 12;
}

uint32_t book_hash(const Position& p, Side side) {
  uint8_t key[12];
  write_word(key, p.pieces[BLACK]);
  write_word(key + 4, p.pieces[WHITE]);
  write_word(key + 8, p.kings);
  return lookup2(key, sizeof key, uint32_t(side));
}

uint32_t read_word(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void write_word(uint8_t* bytes, uint32_t word) {
  for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(word >> (8 * i));
}

}  // namespace qb
