#include "engine_state.h"

#include "endgame/databases.h"
#include "eval/dither.h"
#include "interface/base/engine_status.h"
#include "interface/base/setting_table.h"
#include "interface/startup.h"

namespace qbtest {

void reset_engine_state() {
  qb::initialise_engine();
  qb::reset_settings(qb::g_settings);
  // The start-up derives the memory sizes; these suit the machine below.
  qb::g_settings.hashsize = 128;
  qb::g_settings.dbmbytes = 512;
  qb::rebuild_dither_table(qb::g_settings.dither_offset);
  qb::g_startup.processor_count = 16;
  qb::g_startup.installed_ram_mb = 8192;  // the hash table may take up to 2932 MB
  qb::g_startup.thread_limit = 8;
  // No database is found from the tests' directory; nobody reads the text.
  qb::g_database_waits = qb::DatabaseWaits{0, 0, 0};
  qb::g_wld_reopen = false;
  qb::g_aux_reopen = false;
  qb::DatabaseStatus& db = qb::g_database_status;
  db.set_up = false;
  db.wld_open = false;
  db.wld_type = db.wld_pieces = 0;
  db.aux_open = false;
  db.aux_type = db.aux_pieces = 0;
  qb::g_book_status.loaded = false;
  qb::g_book_status.positions = 0;
}

}  // namespace qbtest
