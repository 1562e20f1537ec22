#include "tables.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/fen.h"
#include "endgame/databases.h"
#include "endgame/driver_binding.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "interface/exports.h"
#include "interface/startup.h"
#include "support/temp_env.h"

namespace fs = std::filesystem;

namespace egtest {

namespace {

constexpr int TEST_HASH_MB = 8;

bool complete(const std::string& dir, int want_type) {
  int type = 0, pieces = 0;
  return qb::driver_identify(dir, &type, &pieces) && type == want_type && pieces == TABLE_PIECES;
}

// Test processes running side by side: one builds, the others wait.
class BuildLock {
 public:
#ifndef _WIN32
  explicit BuildLock(const std::string& path) : fd_(::open(path.c_str(), O_CREAT | O_RDWR, 0644)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~BuildLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }

 private:
  int fd_;
#else
  explicit BuildLock(const std::string&) {}
#endif
};

Tables build_tables() {
  const std::string root = std::string(QB_BINARY_DIR) + "/tests/endgame_tables";
  fs::create_directories(root);
  Tables t{root + "/wld", root + "/dtw", root + "/mtc"};
  BuildLock lock(root + ".lock");
  if (!complete(t.wld, 4) || !complete(t.dtw, 11) || !complete(t.mtc, 5)) {
    fs::remove_all(t.wld);
    fs::remove_all(t.dtw);
    fs::remove_all(t.mtc);
    std::string cmd = std::string(QB_BINARY_DIR) + "/tbgen build -j 2 -n " + std::to_string(TABLE_PIECES) +
                      " --wld " + t.wld + " --dtw " + t.dtw + " --mtc " + t.mtc + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  return t;
}

std::string g_log_file;
std::streamoff g_log_mark = 0;

}  // namespace

const Tables& tables() {
  static const Tables built = build_tables();
  return built;
}

WldTables largest_wld() {
#ifdef QB_DEFAULT_DB_PIECES
  if (QB_DEFAULT_DB_PIECES > TABLE_PIECES) return {std::string(QB_ENGINE_DIR) + "/db", QB_DEFAULT_DB_PIECES};
#endif
  return {tables().wld, TABLE_PIECES};
}

std::string open_databases(const DatabaseSetup& setup) {
  qb::initialise_engine();
  if (g_log_file.empty()) g_log_file = qbtest::make_temp_dir("endgame_log") + "/engine.log";
  qb::g_log_path = g_log_file;
  g_log_mark = fs::exists(g_log_file) ? std::streamoff(fs::file_size(g_log_file)) : 0;
  qb::close_databases();
  qb::g_database_waits = qb::DatabaseWaits{0, 0, 0};
  qb::g_settings.hashsize = TEST_HASH_MB;
  qb::g_settings.dbmbytes = setup.cache_mb;
  qb::g_settings.max_dbpieces = setup.max_pieces;
  qb::g_settings.enable_wld = setup.enable_wld ? 1 : 0;
  qb::g_settings.enable_mtc = setup.enable_aux ? 1 : 0;
  qb::set_text_setting(qb::g_settings.dbpath, setup.wld);
  qb::set_text_setting(qb::g_settings.mtcpath, setup.aux);
  qb::g_wld_reopen = false;
  qb::g_aux_reopen = false;
  char status[qb::HOST_TEXT_SIZE] = "";
  qb::init_databases(status);
  return status;
}

void close_all() { qb::close_databases(); }

std::string log_since_open() {
  std::ifstream in(g_log_file);
  in.seekg(g_log_mark);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

qb::Position parse(const char* fen, qb::Side* side) {
  auto parsed = qb::parse_fen(fen);
  EXPECT_TRUE(parsed) << fen;
  if (side) *side = parsed ? parsed->side : qb::BLACK;
  return parsed ? parsed->position : qb::Position{};
}

int wld_value(const qb::Position& p, qb::Side side) {
  return qb::driver_lookup(qb::g_wld.handle, p, side, false);
}

qb::Position random_position(std::mt19937& rng, int pieces) {
  for (;;) {
    qb::Position p{{0, 0}, 0};
    for (int i = 0; i < pieces; ++i) {
      uint32_t bit;
      do bit = 1u << (rng() % 32);
      while (p.occupied() & bit);
      int colour = i == 0 ? qb::BLACK : i == 1 ? qb::WHITE : int(rng() % 2);
      p.pieces[colour] |= bit;
      if (rng() % 2) p.kings |= bit;
    }
    if (!qb::has_man_on_crown_row(p)) return p;
  }
}

Moved engine_move(const qb::Position& p, qb::Side side, bool new_game, double seconds) {
  constexpr int32_t HOST_BLACK = 2, HOST_WHITE = 1;
  int32_t board[8][8];
  qb::to_host_board(p, board);
  char status[qb::HOST_TEXT_SIZE] = "";
  int32_t stop = 0;
  int32_t result = getmove(board, side == qb::WHITE ? HOST_WHITE : HOST_BLACK, seconds, status, &stop,
                           new_game ? 1 : 0, 0);
  return Moved{qb::from_host_board(board), result, status};
}

}  // namespace egtest
