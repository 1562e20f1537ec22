#include "engine_state.h"

#include "endgame/databases.h"
#include "eval/dither.h"
#include "interface/base/engine_status.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "interface/startup.h"

namespace qbtest {

void reset_engine_state() {
  qb::initialise_engine();
  qb::EngineSettings& s = qb::g_settings;
  s.hashsize = 128;
  s.dbmbytes = 512;
  qb::set_text_setting(s.dbpath, "db");
  qb::set_text_setting(s.mtcpath, "");
  qb::set_text_setting(s.bookfile, "Quillbar.odb");
  s.max_dbpieces = 24;
  s.enable_wld = 1;
  s.enable_mtc = 0;
  s.book = 1;
  s.searchthreads = 1;
  s.allscores = 0;
  s.play_to_end = 0;
  s.drawpieces = 10;
  s.dither = 0;
  qb::rebuild_dither_table(0);
  s.cl = 5;
  s.p1 = 16;
  s.p2 = 0;
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
