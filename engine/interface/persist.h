// Settings kept in the user's settings store (the registry key), by the names
// the store uses. A read that fails leaves the caller's value alone; a write
// that fails is noted in the log and the engine goes on.
#pragma once

#include <cstdint>
#include <string>

#include "interface/base/setting_text.h"

namespace qb {

namespace store {
constexpr const char* HASH_SIZE = "HashSize";
constexpr const char* DB_MBYTES = "DBMbytes";
constexpr const char* DB_PATH = "DBPath";
constexpr const char* MTC_PATH = "MtcPath";
constexpr const char* MAX_DB_PIECES = "max_dbpieces";
constexpr const char* ENABLE_WLD = "enable_wld";
constexpr const char* ENABLE_MTC = "enable_mtc";
constexpr const char* BOOK_FILE = "bookfile";
constexpr const char* USE_BOOK = "UseBook";
constexpr const char* SEARCH_THREADS = "search_threads";
constexpr const char* VERSION = "Version";
}  // namespace store

bool load_number(const char* name, int32_t& out);
int32_t load_number_or(const char* name, int32_t missing);
bool load_text(const char* name, TextSetting& field);
void save_number(const char* name, int32_t value);
void save_text(const char* name, const std::string& value);

}  // namespace qb
