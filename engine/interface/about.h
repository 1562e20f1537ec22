// The engine's name and its about text, as the host shows them.
#pragma once

#include <string>

namespace qb {

// What the engine tells a host about itself, through the exports and the
// commands alike.
constexpr int PROTOCOL_VERSION = 2;
constexpr const char* HELP_FILE = "QuillbarHelp.htm";  // beside the engine
constexpr const char* NO_STATIC_EVALUATION = "This engine does not use static evaluation\n";

// "Quillbar(x64) 1.19c", with the instance suffix ("[1]") after "(x64)" once
// the start-up has claimed a number above 0.
std::string engine_name();

// The about box: name, version, date, maker, then the database, book and
// hash-table lines.
std::string about_text();

}  // namespace qb
