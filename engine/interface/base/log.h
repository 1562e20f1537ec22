// The engine's log: one plain-text file per instance in the user's documents
// folder. Every write opens, appends and closes, so each line is on disk when
// the call returns even if the host then ends the process.
#pragma once

#include <string>

#include "board/position.h"

namespace qb {

// Where the log goes; set by the start-up, empty when there is no log.
extern std::string g_log_path;

void log_text(const char* text);
[[gnu::format(printf, 1, 2)]] void log_printf(const char* format, ...);
// The position text, then a blank line.
void log_position(const Position& p, Side side);

}  // namespace qb
