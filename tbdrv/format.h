// Table files. One file per slice and kind, named <slice>.<kind>:
//   header (64 bytes) | block offsets (blocks + 1) | block checksums | blocks
// Each block holds BLOCK_BYTES of values (the last one may be shorter),
// compressed on its own, so a lookup reads and decodes one block. The
// header checksum covers the header, the index checksum the offset and
// checksum tables, and every block has its own checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "material.h"

namespace tb {

enum class Kind { WLD, DTW, MTC };

struct KindInfo {
  Kind kind;
  int type_code;          // as reported by tbdrv_identify
  const char* extension;  // file name extension
  int zstd_level;         // compression is once, decoding every time
};
const KindInfo& kind_info(Kind k);
constexpr Kind ALL_KINDS[] = {Kind::WLD, Kind::DTW, Kind::MTC};

// Every decoded block fills one cache slot of this size.
constexpr int BLOCK_BYTES = 4096;

// Values take 2 bits in win/loss/draw tables; in the others 8 bits when the
// slice's largest value fits, else 16, chosen per file.
inline uint64_t positions_per_block(int bits) { return BLOCK_BYTES * 8 / uint64_t(bits); }
inline uint64_t raw_bytes(int bits, uint64_t positions) { return (positions * uint64_t(bits) + 7) / 8; }

// The value a file holds for a code. Win/loss/draw: WLD_*_BITS. Distance to
// win: plies + 1 (odd plies win), 0 for a draw; the win bit of the code is
// implied. Conversions: the code itself.
enum WldValue : uint8_t { WLD_DRAW_BITS = 0, WLD_WIN_BITS = 1, WLD_LOSS_BITS = 2 };
uint16_t file_value(Kind kind, uint16_t code);
uint16_t code_of_file_value(Kind kind, uint16_t value);

constexpr char MAGIC[8] = {'Q', 'B', 'E', 'N', 'D', 'G', 'D', 'B'};
constexpr uint32_t FORMAT_VERSION = 2;

struct FileHeader {
  char magic[8];
  uint32_t version;
  uint32_t type_code;
  uint32_t material_key;
  uint16_t block_bytes;
  uint16_t value_bits;
  uint64_t positions;
  uint64_t blocks;
  uint64_t data_bytes;       // compressed bytes of all blocks
  uint64_t index_checksum;   // over offsets and block checksums
  uint64_t header_checksum;  // over every field above
};
static_assert(sizeof(FileHeader) == 64);

inline uint64_t index_bytes(uint64_t blocks) { return (2 * blocks + 1) * sizeof(uint64_t); }
inline uint64_t file_bytes(const FileHeader& h) {
  return sizeof(FileHeader) + index_bytes(h.blocks) + h.data_bytes;
}

// A fast 64-bit hash; strong enough that a damaged block is never mistaken
// for a good one.
uint64_t checksum(const void* data, size_t bytes);

std::string table_path(const std::string& dir, const Material& m, Kind k);

}  // namespace tb
