// The evaluation's learned weights: two files read once at start-up, one for
// positions with kings on the board and one for positions without.
//
// Each file is its block in memory layout: four pattern tables, then five
// scalar pairs, every value a signed 16-bit little-endian integer, no header.
// At load every value of a block is rescaled so that one man is worth about
// 100 at the usual middle-game phase, whatever unit the trainer used.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "eval/patterns.h"
#include "platform/platform.h"

namespace qb {

// An opening value and an endgame value, blended by game phase.
struct WeightPair {
  int16_t og, eg;
};

// Order of the scalar pairs in a block.
enum ScalarWeight : int { LR_BAL, TEMPO, MEN, MULTI_KINGS, FIRST_KING, SCALAR_COUNT };

struct KingsBlock {
  WeightPair patterns[PATTERNS_PER_BLOCK][PATTERN_ENTRIES[KINGS_BLOCK]];
  WeightPair scalars[SCALAR_COUNT];
};
struct NoKingsBlock {
  WeightPair patterns[PATTERNS_PER_BLOCK][PATTERN_ENTRIES[NO_KINGS_BLOCK]];
  WeightPair scalars[SCALAR_COUNT];  // only MEN is used, to scale this block
};
static_assert(sizeof(KingsBlock) == 6250020 && sizeof(NoKingsBlock) == 8503076);

// Both blocks; about 15 MB, so allocate copies on the heap.
struct EvalWeights {
  KingsBlock kings;
  NoKingsBlock no_kings;
};

constexpr const char* KINGS_WEIGHTS_FILE = "weights_v3.bin";
constexpr const char* NO_KINGS_WEIGHTS_FILE = "weights_nk_v3.bin";

// The scalar weights used when no usable weights files were loaded, in the
// file's unit with a man value of exactly 100 (so loading leaves them as they
// are). The baseline weights files are built from them.
constexpr WeightPair BUILTIN_SCALARS[SCALAR_COUNT] = {
    /* LR_BAL      */ {25, 10},
    /* TEMPO       */ {-50, 100},
    /* MEN         */ {4800, 5600},
    /* MULTI_KINGS */ {6500, 6500},
    /* FIRST_KING  */ {7500, 7500},
};

// Read-only once loaded; every search thread reads them without locks.
extern EvalWeights g_weights;
// True once both files are loaded and scaled and the index tables are built.
// Until then, and for good after a failed load, the evaluation uses
// BUILTIN_SCALARS and no patterns (see evaluate.h).
extern std::atomic<bool> g_weights_ready;
// Gather pattern squares with the BMI2 parallel bit extract.
extern bool g_use_pext;
// The processor counts bits in one instruction; set at load (until then the
// evaluation makes no assumption about the processor).
extern bool g_eval_popcnt;
// Seed of the evaluation's dither, made at load.
extern uint32_t g_dither_seed;

// Reads both files from `dir_prefix` (empty, or ending in a directory
// separator), scales them, decides the gather path and builds the index
// tables. Returns true when both files were read and are usable. Failures
// are logged; the engine then evaluates with BUILTIN_SCALARS only.
bool load_weights(const char* dir_prefix);

// The value of one man at phase 210 of 280 from a block's "men" pair, rounded
// to the nearest integer with halves away from zero.
int man_value(WeightPair men);
// Multiplies every value by 100 / man_value(men), rounding halves away from
// zero and saturating at the 16-bit limits. `man` must not be 0.
void scale_weights(WeightPair* pairs, std::size_t count, int man);

// BMI2 is used only on processors whose vendor text is "GenuineIntel": on
// others the instruction may be present but slow.
bool pext_allowed(const platform::CpuInfo& cpu);

// The 32-bit mix of a seed source s into the dither seed.
uint32_t mix_dither_seed(uint32_t s);

}  // namespace qb
