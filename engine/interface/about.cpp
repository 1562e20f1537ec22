#include "interface/about.h"

#include <cstdarg>
#include <cstdio>

#include "endgame/identify.h"
#include "interface/base/engine_status.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

constexpr const char* RELEASE_DATE = "August 29, 2020";
constexpr const char* MAKER_LINE = "An English and American checkers engine by Orvandel.\n";

[[gnu::format(printf, 1, 2)]] std::string format(const char* text, ...) {
  char buffer[512];
  va_list args;
  va_start(args, text);
  std::vsnprintf(buffer, sizeof buffer, text, args);
  va_end(args);
  return buffer;
}

struct DatabaseLines {
  std::string databases, auxiliary;
};

DatabaseLines database_lines() {
  const DatabaseStatus& db = g_database_status;
  if (!db.set_up) {
    if (wld_enabled())
      return {"The endgame databases are not initialized yet.",
              "Initialization occurs when you start a search.\n"};
    return {"The endgame databases are disabled.", ""};
  }
  if (!db.wld_open || db.wld_pieces == 0) return {"Not using an endgame database.", ""};
  DatabaseLines lines;
  lines.databases = format("Using the %s %d-piece WLD endgame database and %dmb for database buffers.",
                           database_type_name(db.wld_type), int(db.wld_pieces), int(g_settings.dbmbytes));
  if (db.aux_open)
    lines.auxiliary = format("Using an auxiliary %d-piece %s endgame database.\n", int(db.aux_pieces),
                             auxiliary_kind(db.aux_type));
  else lines.auxiliary = "Not using an auxiliary endgame database.\n";
  return lines;
}

std::string book_line() {
  if (!g_book_status.loaded) return "Not using an opening book database";
  return format("Opening book database version %.15s with %d positions", g_book_status.version,
                int(g_book_status.positions));
}

}  // namespace

std::string engine_name() {
  return format("%s(x64)%s %s", PROGRAM_NAME, g_startup.instance_suffix, VERSION_TEXT);
}

std::string about_text() {
  DatabaseLines db = database_lines();
  return format("%s %s -- %s\n", PROGRAM_NAME, VERSION_TEXT, RELEASE_DATE) + MAKER_LINE + "\n" +
         db.databases + "\n" + db.auxiliary + book_line() + "\n" +
         format("Using %dmb for hashtable.\n", int(g_settings.hashsize));
}

}  // namespace qb
