// Bob Jenkins' 1996 hash function ("lookup2"): the book files place their
// positions by it, so writer and reader must agree on it bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

uint32_t lookup2(const uint8_t* key, std::size_t length, uint32_t initval);

}  // namespace qb
