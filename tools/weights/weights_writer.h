// Writing the evaluation's weights files, for the baseline builder and the
// trainer. The files are the two weight blocks byte for byte (16-bit
// little-endian values, no header), named as the engine looks for them.
#pragma once

#include <string>

#include "eval/weights.h"

namespace qb::weights {

// Writes `bytes` from `data` to `path` through a temporary file renamed into
// place, so a reader never sees a half-written file. On failure returns false
// and says why in `error`.
bool write_file_atomically(const std::string& path, const void* data, std::size_t bytes, std::string* error);

// Writes weights_v3.bin and weights_nk_v3.bin into `dir_prefix` (empty, or
// ending in a directory separator).
bool write_weights_files(const std::string& dir_prefix, const EvalWeights& weights, std::string* error);

// Sets every pattern entry to zero and the scalar pairs of both blocks to
// `scalars`.
void set_flat_weights(EvalWeights& weights, const WeightPair (&scalars)[SCALAR_COUNT]);

// The baseline: material, kings, tempo and balance from BUILTIN_SCALARS, no
// patterns. It plays like the engine without weights files until trained
// weights replace it.
void make_baseline_weights(EvalWeights& weights);

}  // namespace qb::weights
