#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine_library.h"
#include "engine_state.h"
#include "interface/command.h"
#include "eval/dither.h"
#include "interface/base/engine_status.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "platform/platform.h"
#include "support/temp_env.h"

namespace {

constexpr const char* UNTOUCHED = "(reply buffer as it was)";

enum Flag { NO_FLAG, WLD_FLAG, AUX_FLAG };

struct Row {
  const char* command;
  const char* reply;
  int32_t result;
  Flag flag = NO_FLAG;
  const char* stored_name = nullptr;  // the value the command persists; none: store untouched
  const char* stored_value = nullptr;
};

class Commands : public testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", qbtest::make_temp_dir("config").c_str(), 1);
    qbtest::reset_engine_state();
  }
  static std::string store_file() {
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Orvandel/Quillbar/registry.reg";
  }
  static std::string stored(const char* name) {
    uint32_t number;
    if (qb::platform::read_setting_number(name, &number)) return std::to_string(int32_t(number));
    char text[qb::platform::SETTING_TEXT_SIZE];
    if (qb::platform::read_setting_text(name, text, sizeof text)) return text;
    return "(missing)";
  }
  static qbtest::CommandResult run(const std::string& command) {
    char reply[qb::HOST_TEXT_SIZE];
    std::snprintf(reply, sizeof reply, "%s", UNTOUCHED);
    int32_t result = enginecommand(command.c_str(), reply);
    return {reply, result};
  }
  void run_rows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.command);
      qb::g_wld_reopen = false;
      qb::g_aux_reopen = false;
      std::string store_before = qbtest::read_file(store_file());
      auto [reply, result] = run(row.command);
      EXPECT_EQ(reply, row.reply);
      EXPECT_EQ(result, row.result);
      EXPECT_EQ(qb::g_wld_reopen.load(), row.flag == WLD_FLAG);
      EXPECT_EQ(qb::g_aux_reopen.load(), row.flag == AUX_FLAG);
      if (row.stored_name) EXPECT_EQ(stored(row.stored_name), row.stored_value);
      else EXPECT_EQ(qbtest::read_file(store_file()), store_before);
    }
  }
};

}  // namespace

TEST_F(Commands, RepliesResultsPersistenceAndReopenFlags) {
  run_rows({
      {"get cl", "5", 1},
      {"get clx", "Unrecognized get command 'clx', ignored", 0},
      {"get c", "Unrecognized get command 'c', ignored", 0},
      {"set hashsize 0", "hashsize not changed, 0 rejected", 1},
      {"set hashsize -3", "hashsize not changed, -3 rejected", 1},
      {"set hashsize 128", UNTOUCHED, 1},
      {"set hashsize 256", "hashsize set to 256mb", 1, WLD_FLAG, "HashSize", "256"},
      {"get hashsize", "256", 1},
      {"get hashsize and more words", "256", 1},
      {"set hashsize", "hashsize not changed, a number is needed", 1},
      {"set hashsize lots", "hashsize not changed, a number is needed", 1},
      {"set hashsize 99999999999", "hashsize not changed, a number is needed", 1},
      {"set hashsize 300mb", "hashsize set to 300mb", 1, WLD_FLAG, "HashSize", "300"},
      // No more than the memory allows, as at start-up; the reply tells the size in force.
      {"set hashsize 100000", "hashsize set to 2932mb", 1, WLD_FLAG, "HashSize", "2932"},
      {"get hashsize", "2932", 1},
      {"set p1 7", "p1 set to 7", 1},
      {"set p1 x", "p1 set to 7", 1},
      {"set p2 -2", "p2 set to -2", 1},
      {"set drawpieces 8", "drawpieces set to 8", 1},
      {"set drawpieces", "drawpieces set to 8", 1},
      {"get drawpieces", "8", 1},
      {"set dither 5", "dither set to 5", 1},
      {"get dither", "1", 1},
      {"set dither 0", "dither set to 0", 1},
      {"set dither", "dither not changed, a number is needed", 1},
      {"set dither-offset 3", "dither-offset set to 3", 1},
      {"get dither-offset", "3", 1},
      {"set book 2", "opening book set to good", 1, NO_FLAG, "UseBook", "2"},
      {"set book 2", "opening book set to good", 1},
      {"set book 9", "opening book set to unknown", 1, NO_FLAG, "UseBook", "9"},
      {"get book", "9", 1},
      {"set book 0", "opening book set to off", 1, NO_FLAG, "UseBook", "0"},
      {"set book 1", "opening book set to all-kinds", 1, NO_FLAG, "UseBook", "1"},
      {"set book 3", "opening book set to best", 1, NO_FLAG, "UseBook", "3"},
      {"set book -1", "opening book set to unknown", 1, NO_FLAG, "UseBook", "-1"},
      {"set book x", "book not changed, a number is needed", 1},
      {"set allscores 1", "allscores set to 1", 1},
      {"get allscores", "1", 1},
      {"set max_dbpieces 8", "max_dbpieces set to 8", 1, WLD_FLAG, "max_dbpieces", "8"},
      {"set max_dbpieces 8", "max_dbpieces set to 8", 1},
      {"get max_dbpieces", "8", 1},
      {"get dbpieces", "0", 1},
      {"set dbmbytes 0", "dbmbytes not changed, 0 rejected", 1},
      {"set dbmbytes 1024", "dbmbytes set to 1024", 1, WLD_FLAG, "DBMbytes", "1024"},
      {"set dbmbytes 1024", "dbmbytes set to 1024", 1},
      {"get dbmbytes", "1024", 1},
      {"set dbpath /data/end games", "dbpath set to /data/end games", 1, WLD_FLAG, "DBPath",
       "/data/end games"},
      {"get dbpath", "/data/end games", 1},
      {"set dbpath \t /data/end games\r\n", "dbpath set to /data/end games", 1},
      {"set mtcpath mtc dir", "mtcpath set to mtc dir", 1, AUX_FLAG, "MtcPath", "mtc dir"},
      {"get mtcpath", "mtc dir", 1},
      {"set mtcpath", "mtcpath set to ", 1, AUX_FLAG, "MtcPath", ""},
      {"set protocolversion 7", "protocolversion set", 1},
      {"get protocolversion", "2", 1},
      {"protocolversion", "2", 1},
      {"set cl 3", "cl set to 3", 1},
      {"get cl", "3", 1},
      // A name that cannot be loaded is not saved: the previous one stays.
      {"set bookfile missing.odb", "Cannot load missing.odb", 1},
      {"get bookfile", "Quillbar.odb", 1},
      {"set bookfile", "bookfile not changed, a file name is needed", 1},
      {"set enable_wld 0", "enable_wld set to 0", 1, WLD_FLAG, "enable_wld", "0"},
      {"set enable_wld 0", "enable_wld set to 0", 1},
      {"get enable_wld", "0", 1},
      {"set enable_mtc 1", "enable_mtc set to 1", 1, AUX_FLAG, "enable_mtc", "1"},
      {"get enable_mtc", "1", 1},
      {"set play_to_end 1", "play_to_end set to 1", 1},
      {"get play_to_end", "1", 1},
      {"set searchthreads 64", "searchthreads set to 8", 1, NO_FLAG, "search_threads", "8"},
      {"get searchthreads", "8", 1},
      {"set searchthreads 0", "searchthreads set to 1", 1, NO_FLAG, "search_threads", "1"},
      {"get cpus", "16", 1},
      {"get gametype", "21", 1},
      {"set check_wld_dir /no where", "No WLD database found in /no where", 1},
      {"set check_mtc_dir /nowhere", "No MTC or DTW database found in /nowhere", 1},
      {"set frobnicate 1", "Unrecognized set command 'frobnicate', ignored", 0},
      {"set HASHSIZE 5", "Unrecognized set command 'HASHSIZE', ignored", 0},
      {"set", "Unrecognized set command '', ignored", 0},
      {"get", "Unrecognized get command '', ignored", 0},
      {"", "Unrecognized command '', ignored", 0},
      {" \t\n", "Unrecognized command '', ignored", 0},
      {"Name", "Unrecognized command 'Name', ignored", 0},
      {"help", "QuillbarHelp.htm", 1},
      {"staticevaluation of this", "This engine does not use static evaluation\n", 1},
      {"printbook", "printbook ok", 1},
  });
}

TEST_F(Commands, NameCarriesTheInstanceSuffix) {
  auto [reply, result] = run("name");
  EXPECT_EQ(reply, std::string("Quillbar(x64)") + qb::g_startup.instance_suffix + " 1.19c");
  EXPECT_EQ(result, 1);
}

TEST_F(Commands, EveryGetKeywordIsKnown) {
  const char* keywords[] = {"hashsize",   "book",         "gametype",    "protocolversion",
                            "allscores",  "max_dbpieces", "dbpieces",    "dbmbytes",
                            "dbpath",     "mtcpath",      "cl",          "bookfile",
                            "enable_wld", "enable_mtc",   "play_to_end", "searchthreads",
                            "cpus",       "drawpieces",   "dither",      "dither-offset"};
  for (const char* keyword : keywords) EXPECT_EQ(run(std::string("get ") + keyword).result, 1) << keyword;
}

TEST_F(Commands, OverlongTextsAreRefusedWhole) {
  std::string longest(259, 'd');
  std::string too_long(260, 'd');
  for (const char* keyword : {"dbpath", "mtcpath", "bookfile", "check_wld_dir", "check_mtc_dir"}) {
    SCOPED_TRACE(keyword);
    std::string before = qbtest::read_file(store_file());
    auto [reply, result] = run(std::string("set ") + keyword + " " + too_long);
    EXPECT_EQ(reply, std::string(keyword) + " rejected, longer than 259 characters");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(qbtest::read_file(store_file()), before);
  }
  EXPECT_EQ(qb::get_text_setting(qb::g_settings.dbpath), "db");
  EXPECT_EQ(run("set dbpath " + longest).reply, "dbpath set to " + longest);
  EXPECT_EQ(stored("DBPath"), longest);
  // An unknown word is echoed at most 259 characters long.
  EXPECT_EQ(run(std::string(5000, 'x')).reply,
            "Unrecognized command '" + std::string(259, 'x') + "', ignored");
}

TEST_F(Commands, DitherOffsetRebuildsTheTable) {
  run("set dither-offset 3");
  for (int i = 0; i < qb::DITHER_TABLE_SIZE; ++i)
    EXPECT_EQ(qb::g_dither_table[i].load(), (i % 3 - 1) * 3) << i;
  // The table holds signed bytes: larger offsets are held at the limit
  // rather than wrapped round to a different (or negated) offset.
  run("set dither-offset 300");
  EXPECT_EQ(qb::g_dither_table[0].load(), -127);
  EXPECT_EQ(qb::g_dither_table[2].load(), 127);
  EXPECT_EQ(run("get dither-offset").reply, "127");
}

TEST_F(Commands, DatabaseCheckReplies) {
  struct Case {
    qb::DatabaseKind kind;
    bool found;
    int type, pieces;
    const char* reply;
  };
  using enum qb::DatabaseKind;
  const Case cases[] = {
      {wld, true, 2, 6, "Cake WLD database found for 6 pieces"},
      {wld, true, 3, 8, "Chinook WLD database found for 8 pieces"},
      {wld, true, 4, 10, "Quillbar WLD database found for 10 pieces"},
      {wld, true, 9, 8, "Quillbar WLD database found for 8 pieces"},
      {wld, true, 5, 8, "No WLD database found in /db"},
      {wld, false, 4, 8, "No WLD database found in /db"},
      {auxiliary, true, 5, 8, "Quillbar MTC database found for 8 pieces"},
      {auxiliary, true, 11, 10, "Quillbar DTW database found for 10 pieces"},
      {auxiliary, true, 4, 8, "No MTC or DTW database found in /db"},
      {auxiliary, false, 5, 8, "No MTC or DTW database found in /db"},
  };
  for (const Case& c : cases) {
    char reply[qb::HOST_TEXT_SIZE];
    qb::database_check_reply(reply, c.kind, "/db", c.found, c.type, c.pieces);
    EXPECT_STREQ(reply, c.reply);
  }
}

TEST_F(Commands, AboutTextFollowsDatabaseAndBookState) {
  const std::string head =
      "Quillbar 1.19c -- August 29, 2020\n"
      "An English and American checkers engine by Orvandel.\n\n";
  const std::string tail = "Not using an opening book database\nUsing 128mb for hashtable.\n";
  EXPECT_EQ(run("about").reply, head +
                                    "The endgame databases are not initialized yet.\n"
                                    "Initialization occurs when you start a search.\n" +
                                    tail);
  // Any value but 0 turns the databases on, as their start-up reads it.
  for (const char* on : {"set enable_wld 2", "set enable_wld -1"}) {
    run(on);
    EXPECT_EQ(run("about").reply, head +
                                      "The endgame databases are not initialized yet.\n"
                                      "Initialization occurs when you start a search.\n" +
                                      tail)
        << on;
  }
  run("set enable_wld 0");
  EXPECT_EQ(run("about").reply, head + "The endgame databases are disabled.\n" + tail);

  qb::DatabaseStatus& db = qb::g_database_status;
  db.set_up = true;
  EXPECT_EQ(run("about").reply, head + "Not using an endgame database.\n" + tail);
  db.wld_open = true;
  db.wld_type = 3;
  db.wld_pieces = 8;
  EXPECT_EQ(run("get dbpieces").reply, "8");
  EXPECT_EQ(run("about").reply,
            head + "Using the Chinook 8-piece WLD endgame database and 512mb for database buffers.\n" +
                "Not using an auxiliary endgame database.\n" + tail);
  db.aux_open = true;
  db.aux_type = 11;
  db.aux_pieces = 7;
  qb::g_book_status.loaded = true;
  std::snprintf(qb::g_book_status.version, sizeof qb::g_book_status.version, "4.01");
  qb::g_book_status.positions = 123456;
  EXPECT_EQ(run("about").reply,
            head + "Using the Chinook 8-piece WLD endgame database and 512mb for database buffers.\n" +
                "Using an auxiliary 7-piece DTW endgame database.\n" +
                "Opening book database version 4.01 with 123456 positions\n" +
                "Using 128mb for hashtable.\n");
}
