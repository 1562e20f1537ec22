// Settings kept in the user's settings store (the registry key), by the names
// the store uses. A read that fails leaves the caller's value alone; a write
// that fails is noted in the log and the engine goes on.
#pragma once

#include <cstdint>
#include <string>

#include "interface/base/setting_text.h"

namespace qb {

// The version of the engine that last ran; the settings have their names in
// the settings table.
constexpr const char* STORED_VERSION = "Version";

bool load_number(const char* name, int32_t& out);
int32_t load_number_or(const char* name, int32_t missing);
bool load_text(const char* name, TextSetting& field);
void save_number(const char* name, int32_t value);
void save_text(const char* name, const std::string& value);

// Every setting the table marks to be loaded at start-up: the stored value,
// or the default when the store has none.
void load_stored_settings();

}  // namespace qb
