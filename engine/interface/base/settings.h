// EngineSettings: every setting a host can see or change, with the values
// derived at start-up. The search reads the numeric settings while the host
// may change them through enginecommand, so they are atomics (relaxed: a
// setting takes effect at its next use, no ordering is implied).
#pragma once

#include <atomic>
#include <cstdint>

namespace qb {

constexpr int PATH_TEXT_SIZE = 260;  // 259 characters and the NUL
constexpr int MAX_SEARCH_THREADS = 8;
constexpr const char* PROGRAM_NAME = "Quillbar";
// Set once, in the top CMakeLists.txt, with the package names and READMEs.
constexpr const char* VERSION_TEXT = QB_VERSION_TEXT;

using Setting = std::atomic<int32_t>;

// The keywords, defaults, stored names and rules of these fields are in the
// settings table (setting_table.h); a new EngineSettings holds the defaults.
struct EngineSettings {
  EngineSettings();
  Setting hashsize;  // megabytes
  Setting dbmbytes;  // megabytes of database cache
  char dbpath[PATH_TEXT_SIZE];
  char mtcpath[PATH_TEXT_SIZE];
  Setting max_dbpieces;
  Setting enable_wld;
  Setting enable_mtc;
  char bookfile[PATH_TEXT_SIZE];
  Setting book;  // 0 off, 1 all-kinds, 2 good, 3 best
  Setting searchthreads;
  Setting allscores;
  Setting play_to_end;
  Setting drawpieces;
  Setting dither;
  Setting dither_offset;
  // "cl": within this many plies of the horizon a database lookup answers
  // only from data already in memory.
  Setting conditional_lookup_plies;
  // "p1" and "p2": kept and reported only; nothing reads them.
  Setting spare_p1;
  Setting spare_p2;
};

// Values derived once at start-up, kept beside the settings.
struct StartupInfo {
  int instance = 0;
  char instance_suffix[8] = "";  // "" or "[n]"
  char dir_prefix[16] = "";      // "engines/" when ./engines exists
  int installed_ram_mb = 256;
  int processor_count = 1;
  int thread_limit = 1;  // min(processor_count, MAX_SEARCH_THREADS)
};

extern EngineSettings g_settings;
extern StartupInfo g_startup;

// Whether the WLD database is to be used: any value but 0 counts as on, for
// the database start-up and the about text alike.
inline bool wld_enabled() { return g_settings.enable_wld.load(std::memory_order_relaxed) != 0; }

// Set by enginecommand, acted on at the start of the next getmove: the hash
// table and WLD database are rebuilt, or the auxiliary database reopened.
extern std::atomic<bool> g_wld_reopen;
extern std::atomic<bool> g_aux_reopen;

}  // namespace qb
