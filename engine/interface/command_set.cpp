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

// drawpieces, cl, p1, p2: a value word without a number leaves the setting as
// it was, and the reply shows it.
void set_in_place(const char* keyword, Setting& setting, const char* args, char* reply) {
  int32_t value;
  if (command::parse_number(command::next_word(args), value)) setting = value;
  write_host_text(reply, "%s set to %d", keyword, setting.load());
}

// A real change is stored, persisted and marks what must be rebuilt.
void store_if_changed(Setting& setting, int32_t value, const char* store_name,
                      std::atomic<bool>* reopen) {
  if (value == setting) return;
  setting = value;
  save_number(store_name, value);
  if (reopen) *reopen = true;
}

void set_persisted(const char* keyword, Setting& setting, const char* store_name,
                   std::atomic<bool>& reopen, const char* args, char* reply) {
  int32_t value;
  if (!read_number(keyword, args, reply, value)) return;
  store_if_changed(setting, value, store_name, &reopen);
  write_host_text(reply, "%s set to %d", keyword, setting.load());
}

void set_path(const char* keyword, TextSetting& field, const char* store_name,
              std::atomic<bool>& reopen, const char* args, char* reply) {
  std::string path = command::rest_of_line(args);
  if (!fits_setting(keyword, path, reply)) return;
  if (path != get_text_setting(field)) {
    set_text_setting(field, path);
    save_text(store_name, path);
    reopen = true;
  }
  write_host_text(reply, "%s set to %s", keyword, get_text_setting(field).c_str());
}

void set_hashsize(const char* args, char* reply) {
  int32_t value;
  if (!read_number("hashsize", args, reply, value)) return;
  if (value <= 0) {
    write_host_text(reply, "hashsize not changed, %d rejected", value);
    return;
  }
  // The same bound as at start-up: a table the memory cannot hold would
  // swap the machine or fail at the next move.
  int32_t in_force = hashsize_in_force(value, g_startup.installed_ram_mb);
  if (in_force == value && value == g_settings.hashsize) return;  // nothing to say: the reply stays
  store_if_changed(g_settings.hashsize, in_force, store::HASH_SIZE, &g_wld_reopen);
  write_host_text(reply, "hashsize set to %dmb", in_force);
}

void set_dbmbytes(const char* args, char* reply) {
  int32_t value;
  if (!read_number("dbmbytes", args, reply, value)) return;
  if (value <= 0) {
    write_host_text(reply, "dbmbytes not changed, %d rejected", value);
    return;
  }
  store_if_changed(g_settings.dbmbytes, value, store::DB_MBYTES, &g_wld_reopen);
  write_host_text(reply, "dbmbytes set to %d", value);
}

void set_dither(const char* args, char* reply) {
  int32_t value;
  if (!read_number("dither", args, reply, value)) return;
  g_settings.dither = value != 0;
  write_host_text(reply, "dither set to %d", value);
}

void set_dither_offset_command(const char* args, char* reply) {
  int32_t value;
  if (!read_number("dither-offset", args, reply, value)) return;
  rebuild_dither_table(value);
  write_host_text(reply, "dither-offset set to %d", value);
}

const char* book_level_name(int32_t level) {
  static const char* const NAMES[] = {"off", "all-kinds", "good", "best"};
  return level >= 0 && level <= 3 ? NAMES[level] : "unknown";
}

void set_book(const char* args, char* reply) {
  int32_t value;
  if (!read_number("book", args, reply, value)) return;
  store_if_changed(g_settings.book, value, store::USE_BOOK, nullptr);
  write_host_text(reply, "opening book set to %s", book_level_name(value));
}

void set_plain_number(const char* keyword, Setting& setting, const char* args, char* reply) {
  int32_t value;
  if (!read_number(keyword, args, reply, value)) return;
  setting = value;
  write_host_text(reply, "%s set to %d", keyword, value);
}

void set_bookfile(const char* args, char* reply) {
  std::string name = command::next_word(args);
  if (name.empty()) {
    write_host_text(reply, "bookfile not changed, a file name is needed");
    return;
  }
  if (!fits_setting("bookfile", name, reply)) return;
  // Saved only once it loaded: a name that cannot be loaded would otherwise
  // be tried again at every start-up, and the previous setting stays.
  if (!load_book(name.c_str(), platform::process_clock_ms())) {  // sets bookfile
    write_host_text(reply, "Cannot load %s", name.c_str());
    return;
  }
  save_text(store::BOOK_FILE, name);
  write_host_text(reply, "bookfile set to %s", get_text_setting(g_settings.bookfile).c_str());
}

void set_searchthreads(const char* args, char* reply) {
  int32_t value;
  if (!read_number("searchthreads", args, reply, value)) return;
  // Capped at the thread limit, and at least the calling thread searches.
  if (value != g_settings.searchthreads)
    store_if_changed(g_settings.searchthreads, std::clamp(value, 1, g_startup.thread_limit),
                     store::SEARCH_THREADS, nullptr);
  write_host_text(reply, "searchthreads set to %d", g_settings.searchthreads.load());
}

void check_directory(DatabaseKind kind, const char* keyword, const char* args, char* reply) {
  std::string dir = command::rest_of_line(args);
  if (!fits_setting(keyword, dir, reply)) return;
  int type = 0, pieces = 0;
  bool found = identify_database(dir.c_str(), &type, &pieces);
  database_check_reply(reply, kind, dir.c_str(), found, type, pieces);
}

struct SetCommand {
  const char* keyword;
  void (*run)(const char* args, char* reply);
};

// In the order a host's keyword is tested against them.
const SetCommand SET_COMMANDS[] = {
    {"hashsize", set_hashsize},
    {"p1", [](const char* a, char* r) { set_in_place("p1", g_settings.p1, a, r); }},
    {"p2", [](const char* a, char* r) { set_in_place("p2", g_settings.p2, a, r); }},
    {"drawpieces",
     [](const char* a, char* r) { set_in_place("drawpieces", g_settings.drawpieces, a, r); }},
    {"dither", set_dither},
    {"dither-offset", set_dither_offset_command},
    {"book", set_book},
    {"allscores",
     [](const char* a, char* r) { set_plain_number("allscores", g_settings.allscores, a, r); }},
    {"max_dbpieces",
     [](const char* a, char* r) {
       set_persisted("max_dbpieces", g_settings.max_dbpieces, store::MAX_DB_PIECES, g_wld_reopen,
                     a, r);
     }},
    {"dbmbytes", set_dbmbytes},
    {"dbpath",
     [](const char* a, char* r) {
       set_path("dbpath", g_settings.dbpath, store::DB_PATH, g_wld_reopen, a, r);
     }},
    {"mtcpath",
     [](const char* a, char* r) {
       set_path("mtcpath", g_settings.mtcpath, store::MTC_PATH, g_aux_reopen, a, r);
     }},
    {"protocolversion", [](const char*, char* r) { write_host_text(r, "protocolversion set"); }},
    {"cl", [](const char* a, char* r) { set_in_place("cl", g_settings.cl, a, r); }},
    {"bookfile", set_bookfile},
    {"enable_wld",
     [](const char* a, char* r) {
       set_persisted("enable_wld", g_settings.enable_wld, store::ENABLE_WLD, g_wld_reopen, a, r);
     }},
    {"enable_mtc",
     [](const char* a, char* r) {
       set_persisted("enable_mtc", g_settings.enable_mtc, store::ENABLE_MTC, g_aux_reopen, a, r);
     }},
    {"play_to_end",
     [](const char* a, char* r) {
       set_plain_number("play_to_end", g_settings.play_to_end, a, r);
     }},
    {"searchthreads", set_searchthreads},
    {"check_wld_dir",
     [](const char* a, char* r) { check_directory(DatabaseKind::wld, "check_wld_dir", a, r); }},
    {"check_mtc_dir",
     [](const char* a, char* r) {
       check_directory(DatabaseKind::auxiliary, "check_mtc_dir", a, r);
     }},
};

}  // namespace

int32_t run_set_command(const char* keyword, const char* args, char* reply) {
  for (const SetCommand& command : SET_COMMANDS) {
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
  for (const SetCommand& command : SET_COMMANDS) keywords.push_back(command.keyword);
  return keywords;
}

void database_check_reply(char* reply, DatabaseKind kind, const char* dir, bool found, int type,
                          int pieces) {
  const char* name = database_type_name(type);
  if (kind == DatabaseKind::wld) {
    if (found && is_wld_type(type))
      write_host_text(reply, "%s WLD database found for %d pieces", name, pieces);
    else
      write_host_text(reply, "No WLD database found in %s", dir);
    return;
  }
  if (found && (type == DB_QUILLBAR_MTC || type == DB_QUILLBAR_DTW))
    write_host_text(reply, "%s %s database found for %d pieces", name, auxiliary_kind(type), pieces);
  else
    write_host_text(reply, "No MTC or DTW database found in %s", dir);
}

}  // namespace qb
