#include "format.h"

#include <cstring>

#include "code.h"

namespace tb {

const KindInfo& kind_info(Kind k) {
  static const KindInfo infos[] = {
      {Kind::WLD, 4, "wld", 19},
      {Kind::DTW, 11, "dtw", 12},
      {Kind::MTC, 5, "mtc", 12},
  };
  return infos[int(k)];
}

uint16_t file_value(Kind kind, uint16_t code) {
  if (code == DRAW) return 0;
  if (kind == Kind::WLD) return is_win(code) ? WLD_WIN_BITS : WLD_LOSS_BITS;
  if (kind == Kind::DTW) return uint16_t(plies_of(code) + 1);
  return code;
}

uint16_t code_of_file_value(Kind kind, uint16_t value) {
  if (value == 0) return DRAW;
  if (kind == Kind::WLD) return value == WLD_WIN_BITS ? WLD_WIN : value == WLD_LOSS_BITS ? WLD_LOSS : DRAW;
  if (kind == Kind::DTW) return make_code(value - 1, (value - 1) & 1);
  return value;
}

namespace {
constexpr uint64_t P1 = 0x9E3779B97F4A7C15ull, P2 = 0xC2B2AE3D27D4EB4Full;
inline uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
inline uint64_t mix(uint64_t h, uint64_t w) { return rotl(h ^ (w * P2), 31) * P1; }
}  // namespace

uint64_t checksum(const void* data, size_t bytes) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  uint64_t h = bytes * P1 + P2;
  for (; bytes >= 8; bytes -= 8, p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = mix(h, w);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, p, bytes);
  h = mix(h, tail ^ bytes);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

std::string table_path(const std::string& dir, const Material& m, Kind k) {
  return dir + "/" + slice_name(m) + "." + kind_info(k).extension;
}

}  // namespace tb
