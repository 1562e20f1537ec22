// Texts written into the host's buffers (StatusText, command replies, names).
// The protocol does not pass their size; hosts of this protocol allocate at
// least 1024 bytes, so every write is formatted into that bound and the
// engine keeps its texts well below it.
#pragma once

#include <cstddef>

namespace qb {

constexpr std::size_t HOST_TEXT_SIZE = 1024;

// printf into a host buffer, cut to HOST_TEXT_SIZE; does nothing for null.
[[gnu::format(printf, 2, 3)]] void write_host_text(char* out, const char* format, ...);

}  // namespace qb
