#include "interface/persist.h"

#include "interface/base/log.h"
#include "interface/base/setting_table.h"
#include "platform/platform.h"

namespace qb {

bool load_number(const char* name, int32_t& out) {
  uint32_t value;
  if (!platform::read_setting_number(name, &value)) return false;
  out = int32_t(value);
  return true;
}

int32_t load_number_or(const char* name, int32_t missing) {
  int32_t value = missing;
  load_number(name, value);
  return value;
}

bool load_text(const char* name, TextSetting& field) {
  char text[platform::SETTING_TEXT_SIZE];
  if (!platform::read_setting_text(name, text, sizeof text)) return false;
  set_text_setting(field, text);
  return true;
}

namespace {

void log_store_outcome(const char* name, bool saved) {
  std::string notice = platform::settings_store_notice();
  if (!notice.empty()) log_text(notice.c_str());
  if (!saved) log_printf("Cannot save %s in the settings store\n", name);
}

}  // namespace

void save_number(const char* name, int32_t value) {
  log_store_outcome(name, platform::write_setting_number(name, uint32_t(value)));
}

void save_text(const char* name, const std::string& value) {
  log_store_outcome(name, platform::write_setting_text(name, value.c_str()));
}

void load_stored_settings() {
  for (const SettingRow& row : SETTING_ROWS) {
    if (row.at_startup != AtStartup::load) continue;
    if (row.number) {
      g_settings.*row.number = load_number_or(row.stored_as, row.default_number);
    } else if (!load_text(row.stored_as, g_settings.*row.text)) {
      set_text_setting(g_settings.*row.text, row.default_text);
    }
  }
}

}  // namespace qb
