#include "book/random.h"

namespace qb {

namespace {

constexpr int STATE_WORDS = 624;
constexpr int SHIFT_WORDS = 397;
constexpr uint32_t MATRIX_A = 0x9908B0DF;
constexpr uint32_t UPPER_MASK = 0x80000000;
constexpr uint32_t LOWER_MASK = 0x7FFFFFFF;

uint32_t g_state[STATE_WORDS];
int g_next = STATE_WORDS + 1;  // past the block and never seeded

uint32_t twist(uint32_t upper, uint32_t lower, uint32_t shifted) {
  uint32_t y = (upper & UPPER_MASK) | (lower & LOWER_MASK);
  return shifted ^ (y >> 1) ^ ((y & 1) ? MATRIX_A : 0);
}

void regenerate() {
  for (int k = 0; k < STATE_WORDS; ++k) {
    g_state[k] = twist(g_state[k], g_state[(k + 1) % STATE_WORDS], g_state[(k + SHIFT_WORDS) % STATE_WORDS]);
  }
  g_next = 0;
}

}  // namespace

void random_seed(uint32_t seed) {
  g_state[0] = seed;
  for (int i = 1; i < STATE_WORDS; ++i) g_state[i] = 69069u * g_state[i - 1];
  g_next = STATE_WORDS;
}

uint32_t random_number() {
  if (g_next > STATE_WORDS) random_seed(RANDOM_DEFAULT_SEED);
  if (g_next == STATE_WORDS) regenerate();
  uint32_t y = g_state[g_next++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680;
  y ^= (y << 15) & 0xEFC60000;
  y ^= y >> 18;
  return y;
}

}  // namespace qb
