// Every setting a host can see or change, declared once: its keyword, its
// field, its default, the name the settings store keeps it by, how "set"
// reads it, what the start-up does with it, its lower limit and what a
// change must reopen. The commands, the start-up, persistence, the settings
// block of the log and the tests' reset all read this table.
#pragma once

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

namespace qb {

// How "set" reads and applies the value word.
enum class SetRule {
  number,         // a number; a word without one changes nothing, saying so
  in_place,       // a number; a word without one leaves the setting as it was
  path,           // the rest of the line, spaces and all
  hash_size,      // a number, bounded by what the memory can hold
  flag,           // a number, kept as 0 or 1
  dither_offset,  // a number; the dither table is rebuilt from it
  book_level,     // a number, replied as the level's name
  book_file,      // one word, kept only once the book loads from it
  thread_count,   // a number, capped at the threads the machine has
};

// What the start-up does with the setting.
enum class AtStartup {
  keep,     // nothing: the default stands (or what quillbar.ini said)
  load,     // the stored value, or the default when the store has none
  derive,   // worked out by its own start-up step (memory, processors)
  restore,  // back to the default
};

constexpr int32_t NO_MINIMUM = INT32_MIN;

struct SettingRow {
  const char* keyword;
  Setting EngineSettings::*number = nullptr;  // one of number and text
  TextSetting EngineSettings::*text = nullptr;
  int32_t default_number = 0;
  const char* default_text = nullptr;
  const char* stored_as = nullptr;  // the settings store's name; nullptr: not kept
  SetRule rule = SetRule::number;
  AtStartup at_startup = AtStartup::keep;
  int32_t minimum = NO_MINIMUM;         // "set" refuses a lower number
  std::atomic<bool>* reopen = nullptr;  // marked by a change, acted on at the next getmove
  bool reported = true;                 // "get" answers it
  const char* log_label = nullptr;      // its line in the log's settings block
};

// The rows with a log label come first, in the order of the log's block.
// One setting a paragraph reads better than one field a line.
// clang-format off
inline constexpr SettingRow SETTING_ROWS[] = {
    {.keyword = "hashsize", .number = &EngineSettings::hashsize, .stored_as = "HashSize",
     .rule = SetRule::hash_size, .at_startup = AtStartup::derive, .minimum = 1,
     .reopen = &g_wld_reopen, .log_label = "hashsize"},
    {.keyword = "dbmbytes", .number = &EngineSettings::dbmbytes, .stored_as = "DBMbytes",
     .at_startup = AtStartup::derive, .minimum = 1, .reopen = &g_wld_reopen,
     .log_label = "WLD cachesize"},
    {.keyword = "max_dbpieces", .number = &EngineSettings::max_dbpieces, .default_number = 24,
     .stored_as = "max_dbpieces", .at_startup = AtStartup::load, .reopen = &g_wld_reopen,
     .log_label = "limit max WLD pieces"},
    {.keyword = "dbpath", .text = &EngineSettings::dbpath, .default_text = "db",
     .stored_as = "DBPath", .rule = SetRule::path, .at_startup = AtStartup::load,
     .reopen = &g_wld_reopen, .log_label = "WLD directory"},
    {.keyword = "mtcpath", .text = &EngineSettings::mtcpath, .default_text = "",
     .stored_as = "MtcPath", .rule = SetRule::path, .at_startup = AtStartup::load,
     .reopen = &g_aux_reopen, .log_label = "MTC directory"},
    {.keyword = "enable_wld", .number = &EngineSettings::enable_wld, .default_number = 1,
     .stored_as = "enable_wld", .at_startup = AtStartup::load, .reopen = &g_wld_reopen,
     .log_label = "WLD enable"},
    {.keyword = "enable_mtc", .number = &EngineSettings::enable_mtc, .default_number = 0,
     .stored_as = "enable_mtc", .at_startup = AtStartup::load, .reopen = &g_aux_reopen,
     .log_label = "MTC enable"},
    {.keyword = "bookfile", .text = &EngineSettings::bookfile, .default_text = "Quillbar.odb",
     .stored_as = "bookfile", .rule = SetRule::book_file, .at_startup = AtStartup::load},
    {.keyword = "book", .number = &EngineSettings::book, .default_number = 1,
     .stored_as = "UseBook", .rule = SetRule::book_level, .at_startup = AtStartup::load},
    {.keyword = "searchthreads", .number = &EngineSettings::searchthreads, .default_number = 1,
     .stored_as = "search_threads", .rule = SetRule::thread_count,
     .at_startup = AtStartup::derive},
    // Asked for around single moves by the hosts that use it; never kept.
    {.keyword = "allscores", .number = &EngineSettings::allscores,
     .at_startup = AtStartup::restore},
    {.keyword = "play_to_end", .number = &EngineSettings::play_to_end},
    {.keyword = "drawpieces", .number = &EngineSettings::drawpieces, .default_number = 10,
     .rule = SetRule::in_place},
    {.keyword = "dither", .number = &EngineSettings::dither, .rule = SetRule::flag},
    {.keyword = "dither-offset", .number = &EngineSettings::dither_offset,
     .rule = SetRule::dither_offset},
    {.keyword = "cl", .number = &EngineSettings::conditional_lookup_plies, .default_number = 5,
     .rule = SetRule::in_place},
    {.keyword = "p1", .number = &EngineSettings::spare_p1, .default_number = 16,
     .rule = SetRule::in_place, .reported = false},
    {.keyword = "p2", .number = &EngineSettings::spare_p2, .rule = SetRule::in_place,
     .reported = false},
};
// clang-format on

// The row of `keyword`, or nullptr.
const SettingRow* find_setting(const char* keyword);

// The row of a numeric field, for the code that handles that one setting.
template <Setting EngineSettings::*field>
constexpr const SettingRow& setting_row() {
  constexpr auto index = [] {
    for (const SettingRow& row : SETTING_ROWS)
      if (row.number == field) return &row - SETTING_ROWS;
    return std::ptrdiff_t(-1);
  }();
  static_assert(index >= 0, "a setting without a row in the table");
  return SETTING_ROWS[index];
}

// Every setting of `settings` back to its default.
void reset_settings(EngineSettings& settings);

// The settings block of the log, written at start-up and again whenever the
// endgame databases are set up.
void log_database_settings();

}  // namespace qb
