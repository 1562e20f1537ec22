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

struct EngineSettings {
  Setting hashsize{0};  // megabytes
  Setting dbmbytes{0};  // megabytes of database cache
  char dbpath[PATH_TEXT_SIZE] = "db";
  char mtcpath[PATH_TEXT_SIZE] = "";
  Setting max_dbpieces{24};
  Setting enable_wld{1};
  Setting enable_mtc{0};
  char bookfile[PATH_TEXT_SIZE] = "Quillbar.odb";
  Setting book{1};  // 0 off, 1 all-kinds, 2 good, 3 best
  Setting searchthreads{1};
  Setting allscores{0};
  Setting play_to_end{0};
  Setting drawpieces{10};
  Setting dither{0};
  Setting dither_offset{0};
  Setting cl{5};
  Setting p1{16};
  Setting p2{0};
};

// Values derived once at start-up, kept beside the settings.
struct StartupInfo {
  int instance = 0;
  char instance_suffix[8] = "";   // "" or "[n]"
  char dir_prefix[16] = "";       // "engines/" when ./engines exists
  int installed_ram_mb = 256;
  int processor_count = 1;
  int thread_limit = 1;           // min(processor_count, MAX_SEARCH_THREADS)
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
