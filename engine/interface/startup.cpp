// The one-time initialisation, run by the first entry call that needs it, and
// the shutdown when the library is unloaded. The steps keep a fixed order:
// the log must exist before anything logs, the settings before the loaders
// that use them, and the search threads start last but one.
#include "book/book.h"
#include "interface/startup.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>

#include "board/bitops.h"
#include "endgame/databases.h"
#include "eval/bit_reversal.h"
#include "eval/weights.h"
#include "interface/about.h"
#include "interface/busy.h"
#include "interface/ini.h"
#include "interface/base/log.h"
#include "interface/memory_rule.h"
#include "interface/persist.h"
#include "interface/base/setting_table.h"
#include "interface/base/settings.h"
#include "interface/startup_steps.h"
#include "platform/platform.h"
#include "interface/base/stop.h"
#include "search/threads.h"
#include "search/tt.h"

namespace qb {
namespace startup {

constexpr const char* INSTANCE_NAME = "Quillbar-English";  // also names the lock files
constexpr const char* ENGINES_FOLDER = "engines";
constexpr const char* INI_FILE = "quillbar.ini";
// The longest an unload waits for a running search to stop: it honours the
// stop within moments, but the database start-up may be sleeping.
constexpr int UNLOAD_WAIT_MS = 20000;

void claim_instance_number() {
  int n = platform::claim_instance(INSTANCE_LIMIT);
  if (n < 0 || n >= INSTANCE_LIMIT) n = 0;  // none free, or no locks here: share instance 0
  g_startup.instance = n;
  g_startup.instance_suffix[0] = '\0';
  if (n > 0) std::snprintf(g_startup.instance_suffix, sizeof g_startup.instance_suffix, "[%d]", n);
}

void prepare_log() {
  g_log_path.clear();
  std::string documents = platform::documents_folder();
  if (documents.empty()) return;  // no documents folder: the engine runs without a log
  std::string dir = platform::join_path(documents, "Orvandel");
  platform::make_directory(documents);
  platform::make_directory(dir);
  dir = platform::join_path(dir, PROGRAM_NAME);
  platform::make_directory(dir);
  g_log_path = platform::join_path(dir, std::string(PROGRAM_NAME) + g_startup.instance_suffix + ".log");
  if (FILE* f = std::fopen(g_log_path.c_str(), "w")) std::fclose(f);
}

void find_directory_prefix() {
  g_startup.dir_prefix[0] = '\0';
  if (platform::path_exists(ENGINES_FOLDER))
    std::snprintf(g_startup.dir_prefix, sizeof g_startup.dir_prefix, "%s%c", ENGINES_FOLDER,
                  platform::DIR_SEP);
}

// The fixed 26-character form "Sun Sep 16 01:03:52 1973\n", always in
// English whatever the host's locale.
void log_start_time() {
  static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (!local) return;
  log_printf("%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", DAYS[local->tm_wday % 7], MONTHS[local->tm_mon % 12],
             local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec, 1900 + local->tm_year);
}

// Both sizes come from the store, or both from the RAM rule (and are then
// stored). Sizes of 0 or "negative" (above 2^31) would leave the engine
// without a hash table, so they count as missing.
void read_memory_settings(int32_t ram_mb) {
  const char* hash_name = setting_row<&EngineSettings::hashsize>().stored_as;
  const char* cache_name = setting_row<&EngineSettings::dbmbytes>().stored_as;
  int32_t hash = 0, cache = 0;
  bool stored = load_number(cache_name, cache) && load_number(hash_name, hash) && hash > 0 && cache > 0;
  if (!stored) {
    MemorySizes sizes = memory_sizes_for_ram(ram_mb);
    hash = sizes.hashsize;
    cache = sizes.dbmbytes;
    save_number(cache_name, cache);
    save_number(hash_name, hash);
  }
  g_settings.hashsize = hashsize_in_force(hash, ram_mb);  // a stored size the RAM cannot hold
  g_settings.dbmbytes = cache;
}

void count_processors() {
  g_startup.processor_count = std::max(1, platform::processor_count());
  g_startup.thread_limit = std::min(g_startup.processor_count, MAX_SEARCH_THREADS);
}

// The stored thread count, within what this machine has; and the settings
// that every start begins from their defaults.
void read_play_settings() {
  const SettingRow& threads = setting_row<&EngineSettings::searchthreads>();
  int32_t stored = load_number_or(threads.stored_as, threads.default_number);
  g_settings.searchthreads = std::clamp(stored, 1, g_startup.thread_limit);
  for (const SettingRow& row : SETTING_ROWS)
    if (row.at_startup == AtStartup::restore) g_settings.*row.number = row.default_number;
}

}  // namespace startup

namespace {

// Runs shutdown_engine when the library is unloaded. A function-local static
// made during the start-up is destroyed before every static the library made
// when it was loaded (the log path among them), both at dlclose and at
// process exit; an __attribute__((destructor)) would run after those
// statics at process exit.
struct UnloadGuard {
  ~UnloadGuard() { shutdown_engine(); }
};

void run_startup() {
  using namespace startup;
#ifndef _WIN32
  static UnloadGuard unload_guard;  // on Windows the DLL's entry routine runs the shutdown
#endif
  claim_instance_number();
  prepare_log();
  find_directory_prefix();
  log_start_time();
  read_ini_file(std::string(g_startup.dir_prefix) + INI_FILE);
  log_printf("%s\n", engine_name().c_str());

  int32_t ram = platform::installed_ram_mb();
  g_startup.installed_ram_mb = ram > 0 ? ram : RAM_WHEN_UNKNOWN_MB;
  log_printf("installed RAM: %dmb\n", g_startup.installed_ram_mb);
  log_printf("current directory: %s\n", platform::current_directory().c_str());

  load_stored_settings();
  load_book(get_text_setting(g_settings.bookfile).c_str(), platform::process_clock_ms());
  fill_bit_reversal_table();
  init_popcount(platform::cpu_info().popcnt);
  read_memory_settings(g_startup.installed_ram_mb);
  count_processors();
  start_search_threads(g_startup.thread_limit);
  read_play_settings();
  save_text(STORED_VERSION, VERSION_TEXT);
  load_weights(g_startup.dir_prefix);
  log_database_settings();
  log_printf("total processors: %d\n", g_startup.processor_count);
  log_printf("search threads: %d\n", int(g_settings.searchthreads));
}

}  // namespace

// Runs once; a second host thread arriving meanwhile waits for it to finish
// rather than using a half-prepared engine. Nothing escapes to the host: a
// step that fails leaves the engine running without what it would have made.
void initialise_engine() {
  static std::once_flag done;
  std::call_once(done, [] {
    try {
      run_startup();
    } catch (const std::exception& e) {
      log_printf("start-up stopped: %s\n", e.what());
    } catch (...) {
      log_printf("start-up stopped\n");
    }
  });
}

// A host should unload the library only between calls. One that unloads it
// while getmove runs must still not have the hash table freed under the
// search: the search is stopped and waited for first, for a bounded time;
// should it not end, nothing is freed. Then the search threads end: no
// engine code may run once the library is unmapped.
void shutdown_engine() {
  if (!close_searching_exports(startup::UNLOAD_WAIT_MS)) {
    log_printf("Unloaded while a search still runs: nothing freed\n");
    return;
  }
  stop_search_threads();
  free_book();
  close_databases();  // the hash table with them
  platform::release_instance();
  reopen_searching_exports();
}

void prepare_engine_for_move(const MoveRequest& request) {
  publish_stop_flag(request.stop);
  initialise_engine();
  init_databases(request.status);
  tt_allocate_for_settings();
}

}  // namespace qb
