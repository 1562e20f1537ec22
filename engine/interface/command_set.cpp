// "set keyword value": change a setting, persist it when the store keeps it,
// and mark the hash table and databases for rebuilding when they depend on it
// (the marks act at the start of the next getmove).
//
// A value that is missing or not a number, for settings whose value must be
// converted before use, changes nothing: the reply "<keyword> not changed,
// a number is needed" names the keyword. Texts longer than a setting holds
// (259 characters) are refused the same way ("<keyword> rejected, longer
// than 259 characters") rather than cut, which would point at another file.
// Zero or negative sizes for the hash table and database cache are refused.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "endgame/identify.h"
#include "book/book.h"
#include "platform/platform.h"
#include "interface/command.h"
#include "interface/command_words.h"
#include "eval/dither.h"
#include "interface/base/host_text.h"
#include "interface/memory_rule.h"
#include "interface/persist.h"
#include "interface/base/setting_table.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

using command::MAX_TEXT_LENGTH;

bool read_number(const char* keyword, const char* args, char* reply, int32_t& value) {
  std::string word = command::next_word(args);
  if (command::parse_number(word, value)) return true;
  write_host_text(reply, "%s not changed, a number is needed", keyword);
  return false;
}

bool fits_setting(const char* keyword, const std::string& text, char* reply) {
  if (text.size() <= MAX_TEXT_LENGTH) return true;
  write_host_text(reply, "%s rejected, longer than %zu characters", keyword, MAX_TEXT_LENGTH);
  return false;
}

// A number at or above the setting's minimum.
bool read_allowed_number(const SettingRow& row, const char* args, char* reply, int32_t& value) {
  if (!read_number(row.keyword, args, reply, value)) return false;
  if (value >= row.minimum) return true;
  write_host_text(reply, "%s not changed, %d rejected", row.keyword, value);
  return false;
}

Setting& number_of(const SettingRow& row) { return g_settings.*row.number; }

// A real change is stored, persisted when the store keeps the setting, and
// marks what must be rebuilt.
void store_if_changed(const SettingRow& row, int32_t value) {
  Setting& setting = number_of(row);
  if (value == setting) return;
  setting = value;
  if (row.stored_as) save_number(row.stored_as, value);
  if (row.reopen) *row.reopen = true;
}

void set_number(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  store_if_changed(row, value);
  write_host_text(reply, "%s set to %d", row.keyword, number_of(row).load());
}

// A value word without a number leaves the setting as it was, and the reply
// shows it.
void set_in_place(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (command::parse_number(command::next_word(args), value)) number_of(row) = value;
  write_host_text(reply, "%s set to %d", row.keyword, number_of(row).load());
}

void set_path(const SettingRow& row, const char* args, char* reply) {
  TextSetting& field = g_settings.*row.text;
  std::string path = command::rest_of_line(args);
  if (!fits_setting(row.keyword, path, reply)) return;
  if (path != get_text_setting(field)) {
    set_text_setting(field, path);
    save_text(row.stored_as, path);
    *row.reopen = true;
  }
  write_host_text(reply, "%s set to %s", row.keyword, get_text_setting(field).c_str());
}

void set_hash_size(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  // The same bound as at start-up: a table the memory cannot hold would
  // swap the machine or fail at the next move.
  int32_t in_force = hashsize_in_force(value, g_startup.installed_ram_mb);
  if (in_force == value && value == number_of(row)) return;  // nothing to say: the reply stays
  store_if_changed(row, in_force);
  write_host_text(reply, "%s set to %dmb", row.keyword, in_force);
}

void set_flag(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  number_of(row) = value != 0;
  write_host_text(reply, "%s set to %d", row.keyword, value);
}

void set_dither_offset(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  rebuild_dither_table(value);  // keeps the offset in its setting
  write_host_text(reply, "%s set to %d", row.keyword, value);
}

const char* book_level_name(int32_t level) {
  static const char* const NAMES[] = {"off", "all-kinds", "good", "best"};
  return level >= 0 && level <= 3 ? NAMES[level] : "unknown";
}

void set_book_level(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  store_if_changed(row, value);
  write_host_text(reply, "opening book set to %s", book_level_name(value));
}

void set_book_file(const SettingRow& row, const char* args, char* reply) {
  std::string name = command::next_word(args);
  if (name.empty()) {
    write_host_text(reply, "%s not changed, a file name is needed", row.keyword);
    return;
  }
  if (!fits_setting(row.keyword, name, reply)) return;
  // Saved only once it loaded: a name that cannot be loaded would otherwise
  // be tried again at every start-up, and the previous setting stays.
  if (!load_book(name.c_str(), platform::process_clock_ms())) {  // sets the field
    write_host_text(reply, "Cannot load %s", name.c_str());
    return;
  }
  save_text(row.stored_as, name);
  write_host_text(reply, "%s set to %s", row.keyword, get_text_setting(g_settings.*row.text).c_str());
}

void set_thread_count(const SettingRow& row, const char* args, char* reply) {
  int32_t value;
  if (!read_allowed_number(row, args, reply, value)) return;
  // Capped at the thread limit, and at least the calling thread searches.
  if (value != number_of(row)) store_if_changed(row, std::clamp(value, 1, g_startup.thread_limit));
  write_host_text(reply, "%s set to %d", row.keyword, number_of(row).load());
}

void set_setting(const SettingRow& row, const char* args, char* reply) {
  switch (row.rule) {
    case SetRule::number:
      return set_number(row, args, reply);
    case SetRule::in_place:
      return set_in_place(row, args, reply);
    case SetRule::path:
      return set_path(row, args, reply);
    case SetRule::hash_size:
      return set_hash_size(row, args, reply);
    case SetRule::flag:
      return set_flag(row, args, reply);
    case SetRule::dither_offset:
      return set_dither_offset(row, args, reply);
    case SetRule::book_level:
      return set_book_level(row, args, reply);
    case SetRule::book_file:
      return set_book_file(row, args, reply);
    case SetRule::thread_count:
      return set_thread_count(row, args, reply);
  }
}

void check_directory(DatabaseKind kind, const char* keyword, const char* args, char* reply) {
  std::string dir = command::rest_of_line(args);
  if (!fits_setting(keyword, dir, reply)) return;
  int type = 0, pieces = 0;
  bool found = identify_database(dir.c_str(), &type, &pieces);
  database_check_reply(reply, kind, dir.c_str(), found, type, pieces);
}

// "set" keywords that change no setting.
struct SetCommand {
  const char* keyword;
  void (*run)(const char* args, char* reply);
};

const SetCommand OTHER_SET_COMMANDS[] = {
    {"protocolversion", [](const char*, char* r) { write_host_text(r, "protocolversion set"); }},
    {"check_wld_dir",
     [](const char* a, char* r) { check_directory(DatabaseKind::wld, "check_wld_dir", a, r); }},
    {"check_mtc_dir",
     [](const char* a, char* r) { check_directory(DatabaseKind::auxiliary, "check_mtc_dir", a, r); }},
};

}  // namespace

int32_t run_set_command(const char* keyword, const char* args, char* reply) {
  if (const SettingRow* row = find_setting(keyword)) {
    set_setting(*row, args, reply);
    return 1;
  }
  for (const SetCommand& command : OTHER_SET_COMMANDS) {
    if (std::strcmp(command.keyword, keyword) == 0) {
      command.run(args, reply);
      return 1;
    }
  }
  write_host_text(reply, "Unrecognized set command '%.259s', ignored", keyword);
  return 0;
}

std::vector<const char*> set_keywords() {
  std::vector<const char*> keywords;
  for (const SettingRow& row : SETTING_ROWS) keywords.push_back(row.keyword);
  for (const SetCommand& command : OTHER_SET_COMMANDS) keywords.push_back(command.keyword);
  return keywords;
}

void database_check_reply(char* reply, DatabaseKind kind, const char* dir, bool found, int type, int pieces) {
  const char* name = database_type_name(type);
  if (kind == DatabaseKind::wld) {
    if (found && is_wld_type(type))
      write_host_text(reply, "%s WLD database found for %d pieces", name, pieces);
    else write_host_text(reply, "No WLD database found in %s", dir);
    return;
  }
  if (found && (type == DB_QUILLBAR_MTC || type == DB_QUILLBAR_DTW))
    write_host_text(reply, "%s %s database found for %d pieces", name, auxiliary_kind(type), pieces);
  else write_host_text(reply, "No MTC or DTW database found in %s", dir);
}

}  // namespace qb
