#include "interface/base/setting_table.h"

#include <cstring>

#include "interface/base/log.h"

namespace qb {

const SettingRow* find_setting(const char* keyword) {
  for (const SettingRow& row : SETTING_ROWS)
    if (std::strcmp(row.keyword, keyword) == 0) return &row;
  return nullptr;
}

// The table is a constant, there before any code runs, so g_settings starts
// from the defaults whichever file's statics are made first.
EngineSettings::EngineSettings() { reset_settings(*this); }

void reset_settings(EngineSettings& settings) {
  for (const SettingRow& row : SETTING_ROWS) {
    if (row.number) (settings.*row.number).store(row.default_number, std::memory_order_relaxed);
    else set_text_setting(settings.*row.text, row.default_text);
  }
}

EngineSettings g_settings;

void log_database_settings() {
  for (const SettingRow& row : SETTING_ROWS) {
    if (!row.log_label) break;
    if (row.number) log_printf("%s: %d\n", row.log_label, int(g_settings.*row.number));
    else log_printf("%s: %s\n", row.log_label, get_text_setting(g_settings.*row.text).c_str());
  }
  log_text("\n");
}

}  // namespace qb
