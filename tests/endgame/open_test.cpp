// Finding and opening the databases, re-opening after setting changes, and
// what the host is told.
#include <gtest/gtest.h>

#include <filesystem>

#include "endgame/databases.h"
#include "endgame/identify.h"
#include "interface/command.h"
#include "interface/base/engine_status.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/startup.h"
#include "interface/base/settings.h"
#include "search/db_probe.h"
#include "search/tt.h"
#include "support/temp_env.h"
#include "tables.h"

namespace fs = std::filesystem;
using namespace egtest;

namespace {

std::string command(const std::string& text) {
  char reply[qb::HOST_TEXT_SIZE] = "";
  qb::run_command(text.c_str(), reply);
  return reply;
}

std::string init_again() {
  char status[qb::HOST_TEXT_SIZE] = "";
  qb::init_databases(status);
  return status;
}

int count_of(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A table entry the searches stored, to see whether the table survived.
const qb::HashKey MARK_KEY = qb::hash_key(qb::Position{{0x1, 0x80000000}, 0x80000001}, qb::BLACK);
void mark_table() { qb::tt_store(MARK_KEY, 42, 0, 80, qb::BOUND_EXACT, 0); }
bool table_marked() {
  qb::HashProbe found;
  return qb::tt_probe(MARK_KEY, found) && found.entry.raw_score() == 42;
}

TEST(Open, WldAndAuxiliaryDatabasesOpenForTheSearchesAndTheHost) {
  std::string status = open_databases({tables().wld, tables().dtw});
  EXPECT_EQ(status, "Opening aux db; " + tables().dtw);
  ASSERT_NE(qb::g_wld.handle, nullptr);
  EXPECT_EQ(qb::g_wld.max_pieces, 4);
  EXPECT_EQ(qb::g_wld.max_per_side, 5);
  EXPECT_EQ(qb::g_wld.time_limit_ms, 5000);
  EXPECT_EQ(qb::g_wld.node_limit, 0);
  ASSERT_NE(qb::g_aux.handle, nullptr);
  EXPECT_EQ(qb::g_aux.type, 11);
  EXPECT_EQ(qb::g_aux.pieces, 4);
  EXPECT_TRUE(qb::db_open());
  EXPECT_EQ(qb::g_search_db.max_pieces, 4);

  std::string log = log_since_open();
  EXPECT_NE(
      log.find("hashsize: 8\nWLD cachesize: 16\nlimit max WLD pieces: 24\nWLD directory: " + tables().wld +
               "\nMTC directory: " + tables().dtw + "\nWLD enable: 1\nMTC enable: 1\n\n"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("Found db type 4 in " + tables().wld + "\n"), std::string::npos);
  EXPECT_NE(log.find("Found db type 11 in " + tables().dtw + "\n"), std::string::npos);

  EXPECT_EQ(command("get dbpieces"), "4");
  std::string about = command("about");
  EXPECT_NE(about.find("Using the Quillbar 4-piece WLD endgame database and 16mb for database "
                       "buffers.\nUsing an auxiliary 4-piece DTW endgame database.\n"),
            std::string::npos)
      << about;

  // Nothing changed: nothing is done, not even the settings block.
  status = init_again();
  EXPECT_EQ(status, "");
  EXPECT_EQ(count_of(log_since_open(), "WLD directory:"), 1);

  close_all();
  EXPECT_EQ(qb::g_wld.handle, nullptr);
  EXPECT_EQ(qb::g_aux.handle, nullptr);
  EXPECT_EQ(qb::g_tt.buckets, nullptr);
  EXPECT_FALSE(qb::db_open());
  EXPECT_EQ(command("get dbpieces"), "0");
}

TEST(Open, OnlyAChangedAuxiliaryPathReopensOnlyTheAuxiliaryDatabase) {
  open_databases({tables().wld, tables().mtc});
  ASSERT_EQ(qb::g_aux.type, 5);
  mark_table();
  qb::EndgameDriver* wld = qb::g_wld.handle;

  EXPECT_EQ(command("set mtcpath " + tables().dtw), "mtcpath set to " + tables().dtw);
  EXPECT_EQ(init_again(), "Opening aux db; " + tables().dtw);
  EXPECT_EQ(qb::g_aux.type, 11);
  EXPECT_EQ(qb::g_wld.handle, wld);
  EXPECT_TRUE(table_marked());
  std::string log = log_since_open();
  EXPECT_EQ(count_of(log, "Found db type 4 in"), 1) << log;
  EXPECT_EQ(count_of(log, "Found db type 11 in"), 1) << log;
  close_all();
}

TEST(Open, AChangedHashSizeReopensTheTableAndBothDatabases) {
  open_databases({tables().wld, tables().mtc});
  mark_table();
  EXPECT_EQ(command("set hashsize 4"), "hashsize set to 4mb");
  EXPECT_EQ(init_again(), "Opening aux db; " + tables().mtc);
  EXPECT_EQ(qb::g_tt.size_mb, 4u);
  EXPECT_FALSE(table_marked());
  std::string log = log_since_open();
  EXPECT_EQ(count_of(log, "Found db type 4 in"), 2) << log;
  EXPECT_EQ(count_of(log, "Found db type 5 in"), 2) << log;
  EXPECT_NE(log.find("hashsize: 4\n"), std::string::npos);
  ASSERT_NE(qb::g_wld.handle, nullptr);
  ASSERT_NE(qb::g_aux.handle, nullptr);
  close_all();
}

TEST(Open, WldDisabledOpensNeitherDatabase) {
  DatabaseSetup setup{tables().wld, tables().dtw};
  setup.enable_wld = false;
  EXPECT_EQ(open_databases(setup), "");
  EXPECT_EQ(qb::g_wld.handle, nullptr);
  EXPECT_EQ(qb::g_aux.handle, nullptr);
  EXPECT_EQ(qb::g_aux.pieces, 0);
  EXPECT_FALSE(qb::db_open());
  EXPECT_EQ(command("get dbpieces"), "0");
  EXPECT_NE(command("about").find("Not using an endgame database."), std::string::npos);
  EXPECT_EQ(log_since_open().find("Found db type"), std::string::npos);
  close_all();
}

TEST(Open, PieceLimitCutsBothDatabases) {
  DatabaseSetup setup{tables().wld, tables().dtw};
  setup.max_pieces = 3;
  std::string status = open_databases(setup);
  EXPECT_EQ(qb::g_wld.max_pieces, 3);
  EXPECT_EQ(qb::g_aux.pieces, 3);
  EXPECT_EQ(command("get dbpieces"), "3");
  close_all();
}

TEST(Open, FailuresAreToldAndLeaveTheEngineWithoutDatabases) {
  const std::string empty = qbtest::make_temp_dir("no_db");
  EXPECT_EQ(open_databases({empty, tables().dtw}), "Cannot find endgame database files.");
  EXPECT_FALSE(qb::db_open());
  EXPECT_EQ(qb::g_aux.handle, nullptr);  // never without a WLD database
  EXPECT_NE(log_since_open().find("Cannot find database in " + empty + "\n"), std::string::npos);

  // Found, but the driver cannot open it for so few pieces.
  DatabaseSetup setup{tables().wld, ""};
  setup.max_pieces = 0;
  std::string status = open_databases(setup);
  EXPECT_EQ(status, "See " + qb::g_log_path + " for details");
  EXPECT_FALSE(qb::db_open());

  // An auxiliary directory without a database: the WLD database serves alone.
  EXPECT_EQ(open_databases({tables().wld, empty}), "Opening aux db; " + empty);
  EXPECT_TRUE(qb::db_open());
  EXPECT_EQ(qb::g_aux.handle, nullptr);
  EXPECT_EQ(qb::g_aux.pieces, 0);
  EXPECT_NE(log_since_open().find("Cannot find database in " + empty + "\n"), std::string::npos);

  // A WLD database where a distance database is wanted is not used.
  EXPECT_EQ(open_databases({tables().wld, tables().wld}), "Opening aux db; " + tables().wld);
  EXPECT_EQ(qb::g_aux.handle, nullptr);
  close_all();
}

// A damaged file of the largest piece count: the engine opens one piece
// fewer and its log names the file that kept the larger count from use.
TEST(Open, TheLogNamesTheFilesThatKeptAPieceCountFromUse) {
  const std::string dir = qbtest::make_temp_dir("damaged-wld") + "/wld";
  fs::copy(tables().wld, dir, fs::copy_options::recursive);
  fs::resize_file(dir + "/b02w02.wld", fs::file_size(dir + "/b02w02.wld") - 1);
  open_databases({dir, ""});
  EXPECT_EQ(qb::g_wld.max_pieces, TABLE_PIECES - 1);
  const std::string log = log_since_open();
  EXPECT_NE(log.find("tbdrv: 4 pieces not used: " + dir + "/b02w02.wld: truncated or overlong\n"),
            std::string::npos)
      << log;
  close_all();
}

TEST(Open, AnUnusableKindIsLookedForAgainEveryTime) {
  // A distance database named as the WLD directory.
  open_databases({tables().dtw, ""});
  EXPECT_FALSE(qb::db_open());
  EXPECT_FALSE(qb::g_db_initialized);
  EXPECT_EQ(init_again(), "");
  EXPECT_EQ(count_of(log_since_open(), "Found db type 11 in"), 2);
  close_all();
}

TEST(Open, DirectoryChecksNameTheKindFound) {
  qb::initialise_engine();
  const std::string empty = qbtest::make_temp_dir("nothing");
  struct Case {
    std::string command, reply;
  } cases[] = {
      {"set check_wld_dir " + tables().wld, "Quillbar WLD database found for 4 pieces"},
      {"set check_wld_dir " + tables().dtw, "No WLD database found in " + tables().dtw},
      {"set check_wld_dir " + empty, "No WLD database found in " + empty},
      {"set check_mtc_dir " + tables().mtc, "Quillbar MTC database found for 4 pieces"},
      {"set check_mtc_dir " + tables().dtw, "Quillbar DTW database found for 4 pieces"},
      {"set check_mtc_dir " + tables().wld, "No MTC or DTW database found in " + tables().wld},
  };
  for (const Case& c : cases) EXPECT_EQ(command(c.command), c.reply) << c.command;
}

// A relative directory missing from the current directory is taken from the
// engines folder, so the default "db" finds the databases the build puts in
// engines/db when the host runs beside that folder.
TEST(Open, RelativeDirectoriesFallBackToTheEnginesFolder) {
  qb::initialise_engine();
  const fs::path here = fs::current_path();
  const std::string top = qbtest::make_temp_dir("cwd");
  fs::create_directories(top + "/engines/db");
  fs::create_directories(top + "/elsewhere");
  fs::current_path(top);
  const std::string saved_prefix = qb::g_startup.dir_prefix;
  std::snprintf(qb::g_startup.dir_prefix, sizeof qb::g_startup.dir_prefix, "engines/");
  EXPECT_EQ(qb::database_directory("db"), "engines/db");
  EXPECT_EQ(qb::database_directory("elsewhere"), "elsewhere");
  EXPECT_EQ(qb::database_directory("missing"), "missing");
  EXPECT_EQ(qb::database_directory("/abs/db"), "/abs/db");
  fs::create_directories(top + "/db");
  EXPECT_EQ(qb::database_directory("db"), "db");  // the current directory comes first
  std::snprintf(qb::g_startup.dir_prefix, sizeof qb::g_startup.dir_prefix, "%s", saved_prefix.c_str());
  fs::current_path(here);
}

}  // namespace
