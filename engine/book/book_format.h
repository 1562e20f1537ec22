// The opening book file, shared by the engine's loader and the book writer.
//
// Little-endian throughout:
//   0   16 bytes  version text, NUL-terminated ("4.01" or any text sorting after it)
//   16  int32     positions in the book (shown to the user)
//   20  int32     slots: records in the record table
//   24  int32     probe limit: the most slots one lookup examines
//   28  int32     king masks: entries in the king-mask table
//   32            king-mask table, 4 bytes per entry, substituted
//   ...           record table, 12 bytes per slot, substituted
//
// A record is three words: info, black mask, white mask; a black mask of 0
// marks an empty slot. Records sit in an open-addressed table at the lookup2
// hash of the position (black, white, kings words; the side to move as the
// initial value) modulo the slot count, probing forward with one wrap.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace qb {

constexpr int BOOK_HEADER_SIZE = 32;
constexpr int BOOK_VERSION_BYTES = 16;
constexpr char BOOK_OLDEST_VERSION[] = "4.01";
constexpr char BOOK_WRITER_VERSION[] = "4.01";
constexpr int BOOK_RECORD_SIZE = 12;
constexpr int BOOK_NO_MOVE = 31;         // "no second move" in a 5-bit field
constexpr int BOOK_MAX_MOVE_INDEX = 30;  // highest move index a record can name
constexpr int BOOK_MAX_KING_MASKS = 1 << 13;
constexpr int BOOK_VALUE_MIN = -2048, BOOK_VALUE_MAX = 2047;  // signed 12-bit

struct BookHeader {
  char version[BOOK_VERSION_BYTES];
  int32_t positions;
  int32_t slots;
  int32_t probe_limit;
  int32_t king_masks;
};

struct BookRecord {
  uint32_t info;
  uint32_t black;
  uint32_t white;

  bool empty() const { return black == 0; }
};

// What a record says about its position.
struct BookEntry {
  int first;   // move index
  int second;  // move index, BOOK_NO_MOVE when there is none
  int value;   // from black's view
};

// Info word. Bit 0: the position has kings; bit 1: side to move; bits 2-6:
// first move. Without kings, bits 7-11 hold the second move and bits 12-23
// the value; with kings, bits 7-19 index the king-mask table and bits 20-31
// hold the value (there is no second move).
inline bool info_has_kings(uint32_t info) { return info & 1; }
inline Side info_side(uint32_t info) { return Side((info >> 1) & 1); }
inline int info_king_index(uint32_t info) { return (info >> 7) & 0x1FFF; }
BookEntry decode_entry(uint32_t info, uint32_t kings);
uint32_t encode_info(Side side, const BookEntry& entry, bool kings, int king_index);

uint32_t book_hash(const Position& p, Side side);

// Table bytes are stored under a byte substitution: each nibble of a byte is
// replaced through the same fixed permutation.
uint8_t substitute_byte(uint8_t plain);
uint8_t restore_byte(uint8_t stored);

// Little-endian words in byte buffers.
uint32_t read_word(const uint8_t* bytes);
void write_word(uint8_t* bytes, uint32_t word);

}  // namespace qb
