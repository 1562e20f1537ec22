// "get keyword": the value of a setting, or a fixed fact about the engine.
#include <cstring>

#include "interface/about.h"
#include "interface/command.h"
#include "interface/base/engine_status.h"
#include "interface/base/host_text.h"
#include "interface/base/setting_table.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

constexpr int32_t GAME_TYPE = 21;  // English/American checkers

void number(char* out, int32_t value) { write_host_text(out, "%d", value); }
void text(char* out, const TextSetting& field) {
  write_host_text(out, "%s", get_text_setting(field).c_str());
}

// "get" keywords that are facts about the engine rather than settings.
struct GetFact {
  const char* keyword;
  void (*reply)(char* out);
};

const GetFact FACTS[] = {
    {"gametype", [](char* out) { number(out, GAME_TYPE); }},
    {"protocolversion", [](char* out) { number(out, PROTOCOL_VERSION); }},
    {"dbpieces", [](char* out) { number(out, g_database_status.wld_pieces); }},
    {"cpus", [](char* out) { number(out, g_startup.processor_count); }},
};

}  // namespace

int32_t run_get_command(const char* keyword, char* reply) {
  const SettingRow* row = find_setting(keyword);
  if (row && row->reported) {
    if (row->number) number(reply, g_settings.*row->number);
    else text(reply, g_settings.*row->text);
    return 1;
  }
  for (const GetFact& fact : FACTS) {
    if (std::strcmp(fact.keyword, keyword) == 0) {
      fact.reply(reply);
      return 1;
    }
  }
  write_host_text(reply, "Unrecognized get command '%.259s', ignored", keyword);
  return 0;
}

std::vector<const char*> get_keywords() {
  std::vector<const char*> keywords;
  for (const SettingRow& row : SETTING_ROWS)
    if (row.reported) keywords.push_back(row.keyword);
  for (const GetFact& fact : FACTS) keywords.push_back(fact.keyword);
  return keywords;
}

}  // namespace qb
