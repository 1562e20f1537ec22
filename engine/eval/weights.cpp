#include "eval/weights.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <string>

#include "eval/bit_reversal.h"
#include "interface/base/log.h"

namespace qb {

static_assert(std::endian::native == std::endian::little, "weights files are read straight into memory");

EvalWeights g_weights;
std::atomic<bool> g_weights_ready{false};
bool g_use_pext = false;
bool g_eval_popcnt = false;
uint32_t g_dither_seed = 0;

namespace {

int32_t divide_rounding_away(int32_t numerator, int32_t denominator) {
  int32_t half = denominator / 2;
  return numerator >= 0 ? (numerator + half) / denominator : (numerator - half) / denominator;
}

int16_t saturate16(double v) {
  if (v > INT16_MAX) return INT16_MAX;
  if (v < INT16_MIN) return INT16_MIN;
  return int16_t(v);
}

// Reads one block file and scales it. A file that is missing, shorter than
// its format, or whose men weights give no man value leaves the block
// unusable: the engine would otherwise evaluate with half-read or infinite
// weights.
template <class Block>
bool load_block(const char* dir_prefix, const char* name, Block& block) {
  std::string path = std::string(dir_prefix) + name;
  std::error_code ignored;  // a FIFO or device would block the start-up
  std::FILE* f = std::filesystem::is_regular_file(path, ignored) ? std::fopen(path.c_str(), "rb") : nullptr;
  if (!f) {
    log_printf("Cannot open %s for reading *****************\n", name);
    return false;
  }
  std::size_t got = std::fread(&block, 1, sizeof block, f);
  std::fclose(f);
  if (got != sizeof block) {
    log_printf("%s holds %zu bytes, not %zu *****************\n", name, got, sizeof block);
    return false;
  }
  WeightPair men = block.scalars[MEN];
  int man = man_value(men);
  if (man == 0) {
    log_printf("%s: the men weights (%d, %d) give a man no value *****************\n", name, men.og, men.eg);
    return false;
  }
  scale_weights(reinterpret_cast<WeightPair*>(&block), sizeof block / sizeof(WeightPair), man);
  return true;
}

uint32_t dither_seed_source() {
  return uint32_t(std::time(nullptr)) + platform::process_id() + platform::process_clock_ms();
}

}  // namespace

int man_value(WeightPair men) { return divide_rounding_away((3 * men.og + men.eg) * 70, 14000); }

void scale_weights(WeightPair* pairs, std::size_t count, int man) {
  double factor = 100.0 / man;
  for (std::size_t i = 0; i < count; ++i) {
    pairs[i].og = saturate16(std::round(pairs[i].og * factor));
    pairs[i].eg = saturate16(std::round(pairs[i].eg * factor));
  }
}

bool pext_allowed(const platform::CpuInfo& cpu) {
  return cpu.bmi2 && std::strcmp(cpu.vendor, "GenuineIntel") == 0;
}

uint32_t mix_dither_seed(uint32_t s) {
  uint32_t a = s - 1;
  uint32_t b = (0x9E3779B8u - a) ^ (a << 8);
  uint32_t c = (1u - b - a) ^ (b >> 13);
  a = (a - c - b) ^ (c >> 12);
  b = (b - c - a) ^ (a << 16);
  c = (c - b - a) ^ (b >> 5);
  a = (a - c - b) ^ (c >> 3);
  b = (b - c - a) ^ (a << 10);
  c = (c - b - a) ^ (b >> 15);
  return c;
}

bool load_weights(const char* dir_prefix) {
  g_weights_ready.store(false, std::memory_order_release);
  g_eval_popcnt = platform::cpu_info().popcnt;
  bool loaded = load_block(dir_prefix, KINGS_WEIGHTS_FILE, g_weights.kings) &&
                load_block(dir_prefix, NO_KINGS_WEIGHTS_FILE, g_weights.no_kings);
  if (!loaded) {
    log_text("Evaluating by material only\n");
    return false;
  }
  g_use_pext = pext_allowed(platform::cpu_info());
  log_printf("using pext %d\n", g_use_pext ? 1 : 0);
  fill_bit_reversal_table();  // start-up fills it first; repeated so tools need not
  build_index_tables();
  g_dither_seed = mix_dither_seed(dither_seed_source());
  g_weights_ready.store(true, std::memory_order_release);
  return true;
}

}  // namespace qb
