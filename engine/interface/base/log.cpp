#include "interface/base/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "board/fen.h"

namespace qb {

// Set once by the start-up; empty means there is no log.
std::string g_log_path;

void log_text(const char* text) {
  if (g_log_path.empty()) return;
  if (FILE* f = std::fopen(g_log_path.c_str(), "a")) {
    std::fputs(text, f);
    std::fclose(f);
  }
}

void log_printf(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  log_text(buffer);
}

void log_position(const Position& p, Side side) { log_text((position_text(p, side) + "\n\n").c_str()); }

}  // namespace qb
