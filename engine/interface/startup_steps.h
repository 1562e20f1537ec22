// The steps of the start-up, each on its own so tests can run them against a
// chosen environment (a fresh settings store, a given amount of RAM).
#pragma once

#include <cstdint>

namespace qb::startup {

constexpr int INSTANCE_LIMIT = 100;
constexpr int32_t RAM_WHEN_UNKNOWN_MB = 256;

void claim_instance_number();               // instance number and suffix
void prepare_log();                         // log path, then a fresh (empty) log
void find_directory_prefix();               // "engines/" when ./engines exists
void log_start_time();                      // the asctime line
void read_memory_settings(int32_t ram_mb);  // HashSize and DBMbytes, else the RAM rule
void count_processors();                    // processor count and thread limit
void read_play_settings();                  // search_threads (capped); allscores back to 0
// The settings the table marks for loading come from load_stored_settings
// (persist.h).

}  // namespace qb::startup
