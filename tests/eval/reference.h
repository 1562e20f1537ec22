// A plain, square-by-square evaluation written straight from the rules, for
// checking the engine's table-driven one, and helpers shared by the suite.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "board/position.h"
#include "eval/weights.h"

namespace evaltest {

// The value of square n (1-32) from Black's side: +2 black king ... -2 white king.
int square_value(const qb::Position& p, int n);

// Index of Black's copy (the pattern as it stands) and of White's copy (the
// position turned and recoloured) of one pattern, from the pattern's squares.
int32_t reference_index(const qb::Position& p, int block, int pattern);
int32_t reference_mirror_index(const qb::Position& p, int block, int pattern);

// The whole evaluation without dither. With `patterns` false only the scalar
// terms count (the evaluation without usable weights files).
int reference_evaluate(const qb::Position& p, int side, const qb::EvalWeights& w,
                       const qb::WeightPair* scalars, bool patterns);

// Turned through 180 degrees with the colours exchanged.
qb::Position mirrored(const qb::Position& p);

// A random position: up to `max_pieces` pieces, kings only when allowed, no
// man on its own crowning row.
qb::Position random_position(std::mt19937& rng, int max_pieces, bool kings);

// Random pattern tables and scalars whose men pair gives a man value of
// exactly 100, so loading leaves every value as written.
void fill_random_weights(qb::EvalWeights& w, std::mt19937& rng);

std::string read_text_file(const std::string& path);

}  // namespace evaltest
