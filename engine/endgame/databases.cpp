#include "endgame/databases.h"

#include <algorithm>
#include <string>

#include "board/bitops.h"
#include "endgame/db_score.h"
#include "endgame/identify.h"
#include "interface/base/engine_status.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/setting_table.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "platform/platform.h"
#include "search/db_probe.h"
#include "search/tt.h"

namespace qb {

WldDatabase g_wld;
AuxDatabase g_aux;
bool g_db_initialized = false;
DatabaseWaits g_database_waits;

namespace {

constexpr int AUX_CACHE_MB = 1;
constexpr int CHINOOK_SMALL_PIECES = 6;  // up to this size: 5 per side

// Larger databases of this kind hold 4-against-3 positions only where a
// known won ending is a win; the answer tells which edition it is.
const Position CHINOOK_PROBE{{0x00000003u, 0xF1000000u}, 0};

int32_t wld_type_of_open = 0;  // type code of the open WLD database

int lookup_wld(const Position& p, Side side, bool conditional) {
  return driver_lookup(g_wld.handle, p, side, conditional);
}

// What the searches and the host's status queries see.
void publish() {
  if (g_wld.handle)
    g_search_db = SearchDatabase{g_wld.max_pieces, g_wld.max_per_side, lookup_wld, score_db_win};
  else g_search_db = SearchDatabase{};
  DatabaseStatus& s = g_database_status;
  s.wld_open = g_wld.handle != nullptr;
  s.wld_type = g_wld.handle ? wld_type_of_open : 0;
  s.wld_pieces = g_wld.handle ? g_wld.max_pieces : 0;
  s.aux_open = g_aux.handle != nullptr;
  s.aux_type = g_aux.type;
  s.aux_pieces = g_aux.pieces;
  s.set_up = g_db_initialized;
}

void reset_wld_record() {
  driver_close(g_wld.handle);
  g_wld.max_pieces = 0;
  g_wld.max_per_side = 0;
  g_wld.time_limit_ms = RESOLVE_DEFAULT_TIME_MS;
  g_wld.node_limit = 0;
  wld_type_of_open = 0;
}

void close_aux() { driver_close(g_aux.handle); }

void wait_ms(int ms) {
  if (ms > 0) platform::sleep_ms(ms);
}

int max_per_side_for(int type, int pieces, EndgameDriver* handle) {
  switch (type) {
    case DB_CAKE:
      return 4;
    case DB_CHINOOK:
      if (pieces <= CHINOOK_SMALL_PIECES) return 5;
      return driver_lookup(handle, CHINOOK_PROBE, WHITE, false) == WLD_WIN ? 7 : 4;
    default:
      return 5;
  }
}

const char* wait_text_name(int type) {
  switch (type) {
    case DB_CAKE:
      return "Cake";
    case DB_CHINOOK:
      return "Chinook";
    default:
      return "Quillbar";
  }
}

// Finds the win/loss/draw files in the dbpath folder, opens the driver with
// the piece count and cache the settings allow, and records what opened; a
// folder without tables or a driver that fails leaves the databases closed
// with a message. False only for a database of a kind the engine cannot use:
// then nothing more is done, and the next call starts the discovery again.
bool open_wld(char* status) {
  const std::string setting = get_text_setting(g_settings.dbpath);
  const std::string dir = database_directory(setting.c_str());
  int type = 0, reported = 0;
  if (!driver_identify(dir, &type, &reported)) {
    log_printf("Cannot find database in %s\n", setting.c_str());
    reset_wld_record();
    write_host_text(status, "Cannot find endgame database files.");
    wait_ms(g_database_waits.not_found_ms);
    return true;
  }
  int pieces = std::min(reported, int(g_settings.max_dbpieces));
  log_printf("Found db type %d in %s\n", type, dir.c_str());
  if (!is_wld_type(type)) return false;

  const int cache_mb = g_settings.dbmbytes;
  write_host_text(status, "Wait for db init; %s db, %d pieces, %d mb cache, %d mb hashtable ...",
                  wait_text_name(type), pieces, cache_mb, int(g_settings.hashsize));
  EndgameDriver* handle = driver_open(pieces, cache_mb, dir);
  if (!handle) {
    reset_wld_record();
    write_host_text(status, "Cannot open endgame db driver.");
    wait_ms(g_database_waits.open_failed_ms);
    write_host_text(status, "See %s for details", g_log_path.c_str());
    wait_ms(g_database_waits.see_log_ms);
    return true;
  }
  g_wld.handle = handle;
  g_wld.max_pieces = pieces;
  g_wld.max_per_side = max_per_side_for(type, pieces, handle);
  g_wld.time_limit_ms = RESOLVE_DEFAULT_TIME_MS;
  g_wld.node_limit = 0;
  wld_type_of_open = type;
  return true;
}

// The auxiliary part: only beside an open WLD database.
void open_aux(char* status) {
  g_aux_reopen = false;
  close_aux();
  const std::string setting = get_text_setting(g_settings.mtcpath);
  if (g_wld.handle && !setting.empty() && g_settings.enable_mtc != 0) {
    write_host_text(status, "Opening aux db; %s", setting.c_str());
    const std::string dir = database_directory(setting.c_str());
    int type = 0, reported = 0;
    if (!driver_identify(dir, &type, &reported)) {
      log_printf("Cannot find database in %s\n", setting.c_str());
    } else {
      log_printf("Found db type %d in %s\n", type, dir.c_str());
      if (type == DB_QUILLBAR_MTC || type == DB_QUILLBAR_DTW) {
        g_aux.type = type;
        g_aux.pieces = std::min(reported, int(g_wld.max_pieces));
        g_aux.handle = driver_open(g_aux.pieces, AUX_CACHE_MB, dir);
      }
    }
  }
  if (!g_aux.handle) g_aux.pieces = 0;
}

}  // namespace

bool within_wld_limits(const Position& p) {
  if (!g_wld.handle) return false;
  int black = pop_count(p.pieces[BLACK]), white = pop_count(p.pieces[WHITE]);
  return black + white <= g_wld.max_pieces && std::max(black, white) <= g_wld.max_per_side;
}

void init_databases(char* status) {
  if (g_db_initialized && !g_wld_reopen && !g_aux_reopen) return;
  log_database_settings();

  if (!g_db_initialized || g_wld_reopen) {
    g_wld_reopen = false;
    g_aux_reopen = true;
    tt_free();
    reset_wld_record();
    close_aux();
    // The hash table comes first, so that it gets its memory before the
    // database cache does.
    tt_allocate_for_settings();
    if (wld_enabled() && !open_wld(status)) {
      g_aux.pieces = 0;
      publish();
      return;
    }
  }
  if (!g_db_initialized || g_aux_reopen) open_aux(status);
  g_db_initialized = true;
  publish();
}

void close_databases() {
  close_aux();
  g_aux.pieces = 0;
  reset_wld_record();
  tt_free();
  // A later start-up must open them again rather than trust closed handles.
  g_db_initialized = false;
  publish();
}

}  // namespace qb
