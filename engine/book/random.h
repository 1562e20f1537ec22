// The engine-wide random generator: MT19937 in its 1998 reference form
// (seeded by the 69069 linear recurrence, not the later 1812433253 one).
// The opening book and the analysis of drawn roots draw from it; it is
// seeded when a book loads, and draws before any seeding behave as if the
// seed were 4357, as the reference code does.
#pragma once

#include <cstdint>

namespace qb {

constexpr uint32_t RANDOM_DEFAULT_SEED = 4357;

void random_seed(uint32_t seed);
uint32_t random_number();

}  // namespace qb
