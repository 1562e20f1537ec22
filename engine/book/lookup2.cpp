#include "book/lookup2.h"

namespace qb {

namespace {

constexpr uint32_t GOLDEN_RATIO = 0x9E3779B9;

void mix(uint32_t& a, uint32_t& b, uint32_t& c) {
  a -= b;
  a -= c;
  a ^= c >> 13;
  b -= c;
  b -= a;
  b ^= a << 8;
  c -= a;
  c -= b;
  c ^= b >> 13;
  a -= b;
  a -= c;
  a ^= c >> 12;
  b -= c;
  b -= a;
  b ^= a << 16;
  c -= a;
  c -= b;
  c ^= b >> 5;
  a -= b;
  a -= c;
  a ^= c >> 3;
  b -= c;
  b -= a;
  b ^= a << 10;
  c -= a;
  c -= b;
  c ^= b >> 15;
}

// Little-endian word from up to four bytes.
uint32_t word(const uint8_t* k, std::size_t n) {
  uint32_t w = 0;
  for (std::size_t i = 0; i < n && i < 4; ++i) w |= uint32_t(k[i]) << (8 * i);
  return w;
}

}  // namespace

uint32_t lookup2(const uint8_t* key, std::size_t length, uint32_t initval) {
  uint32_t a = GOLDEN_RATIO, b = GOLDEN_RATIO, c = initval;
  std::size_t left = length;
  while (left >= 12) {
    a += word(key, 4);
    b += word(key + 4, 4);
    c += word(key + 8, 4);
    mix(a, b, c);
    key += 12;
    left -= 12;
  }
  // The tail: the low byte of c is reserved for the length, so its bytes
  // go in one place higher than those of a and b.
  c += uint32_t(length);
  if (left > 8) c += word(key + 8, left - 8) << 8;
  if (left > 4) b += word(key + 4, left - 4);
  if (left > 0) a += word(key, left);
  mix(a, b, c);
  return c;
}

}  // namespace qb
