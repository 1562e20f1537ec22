// "get keyword": the value of a setting, or a fixed fact about the engine.
#include <cstring>

#include "interface/command.h"
#include "interface/base/engine_status.h"
#include "interface/base/host_text.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

constexpr int32_t GAME_TYPE = 21;  // English/American checkers
constexpr int32_t PROTOCOL_VERSION = 2;

void number(char* out, int32_t value) { write_host_text(out, "%d", value); }
void text(char* out, const TextSetting& field) {
  write_host_text(out, "%s", get_text_setting(field).c_str());
}

struct GetCommand {
  const char* keyword;
  void (*reply)(char* out);
};

// In the order a host's keyword is tested against them.
const GetCommand GET_COMMANDS[] = {
    {"hashsize", [](char* out) { number(out, g_settings.hashsize); }},
    {"book", [](char* out) { number(out, g_settings.book); }},
    {"gametype", [](char* out) { number(out, GAME_TYPE); }},
    {"protocolversion", [](char* out) { number(out, PROTOCOL_VERSION); }},
    {"allscores", [](char* out) { number(out, g_settings.allscores); }},
    {"max_dbpieces", [](char* out) { number(out, g_settings.max_dbpieces); }},
    {"dbpieces", [](char* out) { number(out, g_database_status.wld_pieces); }},
    {"dbmbytes", [](char* out) { number(out, g_settings.dbmbytes); }},
    {"dbpath", [](char* out) { text(out, g_settings.dbpath); }},
    {"mtcpath", [](char* out) { text(out, g_settings.mtcpath); }},
    {"cl", [](char* out) { number(out, g_settings.cl); }},
    {"bookfile", [](char* out) { text(out, g_settings.bookfile); }},
    {"enable_wld", [](char* out) { number(out, g_settings.enable_wld); }},
    {"enable_mtc", [](char* out) { number(out, g_settings.enable_mtc); }},
    {"play_to_end", [](char* out) { number(out, g_settings.play_to_end); }},
    {"searchthreads", [](char* out) { number(out, g_settings.searchthreads); }},
    {"cpus", [](char* out) { number(out, g_startup.processor_count); }},
    {"drawpieces", [](char* out) { number(out, g_settings.drawpieces); }},
    {"dither", [](char* out) { number(out, g_settings.dither); }},
    {"dither-offset", [](char* out) { number(out, g_settings.dither_offset); }},
};

}  // namespace

int32_t run_get_command(const char* keyword, char* reply) {
  for (const GetCommand& command : GET_COMMANDS) {
    if (std::strcmp(command.keyword, keyword) == 0) {
      command.reply(reply);
      return 1;
    }
  }
  write_host_text(reply, "Unrecognized get command '%.259s', ignored", keyword);
  return 0;
}

std::vector<const char*> get_keywords() {
  std::vector<const char*> keywords;
  for (const GetCommand& command : GET_COMMANDS) keywords.push_back(command.keyword);
  return keywords;
}

}  // namespace qb
