#include "interface/base/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "board/fen.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

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

void log_position(const Position& p, Side side) {
  log_text((position_text(p, side) + "\n\n").c_str());
}

void log_database_settings() {
  log_printf("hashsize: %d\n", int(g_settings.hashsize));
  log_printf("WLD cachesize: %d\n", int(g_settings.dbmbytes));
  log_printf("limit max WLD pieces: %d\n", int(g_settings.max_dbpieces));
  log_printf("WLD directory: %s\n", get_text_setting(g_settings.dbpath).c_str());
  log_printf("MTC directory: %s\n", get_text_setting(g_settings.mtcpath).c_str());
  log_printf("WLD enable: %d\n", int(g_settings.enable_wld));
  log_printf("MTC enable: %d\n\n", int(g_settings.enable_mtc));
}

}  // namespace qb
