// Writing finished slices as table files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code.h"
#include "format.h"

namespace tb {

// Writes the table atomically (a temporary file renamed into place), so an
// interrupted build never leaves a partial table under the final name.
// Positions flagged in `skipped` are never looked up and take the value
// before them, which compresses best. `wide` keeps 16-bit values even where
// 8 bits would do (tests use it to exercise both).
bool write_table(const std::string& dir, const Material& m, Kind kind, const std::vector<Code>& codes,
                 const std::vector<uint64_t>& skipped, bool wide, int threads, std::string& why);

// True when the table exists with an intact header and index.
bool table_complete(const std::string& dir, const Material& m, Kind kind);

}  // namespace tb
