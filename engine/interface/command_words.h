// Reading the words of a host command line.
#pragma once

#include <cstdint>
#include <string>

namespace qb::command {

// Texts longer than a setting can hold (paths, file names) are rejected.
constexpr std::size_t MAX_TEXT_LENGTH = 259;

// The next run of characters that are neither white space nor NUL, after
// skipping white space; `p` moves past it.
std::string next_word(const char*& p);

// Everything after `p` with leading white space skipped, spaces included, up
// to the end of the line: a CR or LF ends it, since a setting text cannot
// hold one (hosts may end their command with a newline).
std::string rest_of_line(const char* p);

// A decimal integer as "%d" reads it (optional sign, digits, anything after
// ignored). Fails for a word without digits or outside the 32-bit range.
bool parse_number(const std::string& word, int32_t& out);

}  // namespace qb::command
