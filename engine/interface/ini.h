// quillbar.ini: optional play options read at start-up, one "key = value" per
// line, "#" starts a comment, a value may be quoted. Known keys: "drawpieces",
// "dither", "dither-offset"; others are ignored.
//
// A line with an error (a value that is no number or out of the 32-bit range,
// a quote without its end) is skipped and named in the log; the rest of the
// file is still read. Nothing about the file can stop the engine.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

enum class IniError { none, invalid_number, out_of_range, unterminated_quote };
const char* ini_error_text(IniError error);

struct IniEntry {
  std::string key;  // empty when the line holds no key
  std::string value;
};

IniError parse_ini_line(const char* line, IniEntry& entry);

// Decimal after optional white space and sign; trailing characters ignored.
IniError parse_ini_number(const std::string& value, int32_t& out);

// Applies a known key to the settings; unknown keys do nothing.
IniError apply_ini_entry(const IniEntry& entry);

// Reads the file line by line (at most 499 characters a read); a missing file
// does nothing.
void read_ini_file(const std::string& path);

}  // namespace qb
