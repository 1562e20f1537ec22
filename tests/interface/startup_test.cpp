#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine_state.h"
#include "interface/base/log.h"
#include "interface/memory_rule.h"
#include "interface/persist.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "interface/startup_steps.h"
#include "platform/platform.h"
#include "support/temp_env.h"

namespace {
namespace fs = std::filesystem;
using namespace qb;

TEST(MemoryRule, HashAndCacheFromInstalledRam) {
  struct Case {
    int32_t ram, hashsize, dbmbytes;
  };
  const Case cases[] = {
      {8192, 128, 5888},
      {512, 32, 192},
      {1024, 64, 544},
      {2048, 128, 1216},
      {4096, 128, 2464},
      {16384, 128, 12800},
      {32768, 128, 16384},
      {65536, 128, 16384},
      {200, 32, 32},
      {INT_MAX, 128, 16384},
      // Row edges.
      {16000, 128, 13568},
      {16001, 128, 12288},
      {8000, 128, 5888},
      {6000, 128, 4352},
      {2001, 128, 1184},
      {2000, 64, 1536},
      {700, 64, 224},
      {699, 32, 352},
      {250, 32, 32},
      {249, 32, 64},
      {64, 32, 0},
      {0, 32, 0},
  };
  for (const Case& c : cases) {
    MemorySizes sizes = memory_sizes_for_ram(c.ram);
    EXPECT_EQ(sizes.hashsize, c.hashsize) << c.ram;
    EXPECT_EQ(sizes.dbmbytes, c.dbmbytes) << c.ram;
  }
}

class StartupSteps : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::reset_engine_state();
    setenv("XDG_CONFIG_HOME", qbtest::make_temp_dir("config").c_str(), 1);
  }
  static uint32_t stored_number(const char* name) {
    uint32_t n = 0xDEADBEEF;
    platform::read_setting_number(name, &n);
    return n;
  }
};

TEST_F(StartupSteps, EmptyStoreGivesDefaultsAndStoresTheMemorySizes) {
  set_text_setting(g_settings.dbpath, "elsewhere");
  g_settings.enable_wld = 0;
  g_settings.book = 3;
  g_settings.allscores = 1;
  load_stored_settings();
  startup::read_memory_settings(8192);
  startup::read_play_settings();
  EXPECT_EQ(g_settings.hashsize, 128);
  EXPECT_EQ(g_settings.dbmbytes, 5888);
  EXPECT_EQ(stored_number("HashSize"), 128u);
  EXPECT_EQ(stored_number("DBMbytes"), 5888u);
  EXPECT_EQ(get_text_setting(g_settings.dbpath), "db");
  EXPECT_EQ(get_text_setting(g_settings.mtcpath), "");
  EXPECT_EQ(get_text_setting(g_settings.bookfile), "Quillbar.odb");
  EXPECT_EQ(g_settings.max_dbpieces, 24);
  EXPECT_EQ(g_settings.enable_wld, 1);
  EXPECT_EQ(g_settings.enable_mtc, 0);
  EXPECT_EQ(g_settings.book, 1);
  EXPECT_EQ(g_settings.searchthreads, 1);
  EXPECT_EQ(g_settings.allscores, 0);
}

TEST_F(StartupSteps, MemorySizesComeFromTheStoreOnlyWhenBothAreThere) {
  platform::write_setting_number("HashSize", 64);
  startup::read_memory_settings(8192);
  EXPECT_EQ(g_settings.hashsize, 128);
  EXPECT_EQ(stored_number("HashSize"), 128u);  // overwritten

  platform::write_setting_number("HashSize", 32);
  platform::write_setting_number("DBMbytes", 100);
  startup::read_memory_settings(8192);
  EXPECT_EQ(g_settings.hashsize, 32);
  EXPECT_EQ(g_settings.dbmbytes, 100);

  platform::write_setting_number("HashSize", 0);  // unusable: recomputed
  startup::read_memory_settings(1024);
  EXPECT_EQ(g_settings.hashsize, 64);
  EXPECT_EQ(g_settings.dbmbytes, 544);
}

// A stored hash size the memory cannot hold is used only as far as it can.
TEST_F(StartupSteps, AStoredHashSizeIsHeldToTheMemory) {
  platform::write_setting_number("HashSize", 100000);
  platform::write_setting_number("DBMbytes", 100);
  startup::read_memory_settings(8192);
  EXPECT_EQ(g_settings.hashsize, largest_hashsize(8192));
  EXPECT_EQ(largest_hashsize(8192), (8192 - 2328) / 2);
  EXPECT_EQ(largest_hashsize(256), 32);  // never below the rule's own size
}

// The start-up's first write keeps an unreadable settings file aside and
// the log says where.
TEST_F(StartupSteps, AnUnreadableSettingsFileIsKeptAsideAndLogged) {
  const std::string dir = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Orvandel/Quillbar";
  fs::create_directories(dir);
  { std::ofstream(dir + "/registry.reg") << "not an export\n"; }
  startup::read_memory_settings(8192);
  EXPECT_TRUE(fs::exists(dir + "/registry.reg.bad"));
  std::ifstream log(g_log_path);
  std::string text((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(text.find("could not be read; kept as " + dir + "/registry.reg.bad"), std::string::npos) << text;
}

TEST_F(StartupSteps, StoredValuesAreRead) {
  platform::write_setting_text("DBPath", "/data/wld");
  platform::write_setting_text("MtcPath", "/data/mtc");
  platform::write_setting_text("bookfile", "other.odb");
  platform::write_setting_number("max_dbpieces", 8);
  platform::write_setting_number("enable_wld", 0);
  platform::write_setting_number("enable_mtc", 1);
  platform::write_setting_number("UseBook", 3);
  load_stored_settings();
  startup::read_play_settings();
  EXPECT_EQ(get_text_setting(g_settings.dbpath), "/data/wld");
  EXPECT_EQ(get_text_setting(g_settings.mtcpath), "/data/mtc");
  EXPECT_EQ(get_text_setting(g_settings.bookfile), "other.odb");
  EXPECT_EQ(g_settings.max_dbpieces, 8);
  EXPECT_EQ(g_settings.enable_wld, 0);
  EXPECT_EQ(g_settings.enable_mtc, 1);
  EXPECT_EQ(g_settings.book, 3);
}

TEST_F(StartupSteps, StoredSearchThreadsAreCappedAtTheThreadLimit) {
  g_startup.thread_limit = 4;
  struct Case {
    uint32_t stored;
    int32_t threads;
  };
  for (Case c : {Case{32, 4}, Case{3, 3}, Case{0, 1}, Case{0xFFFFFFFF, 1}}) {
    platform::write_setting_number("search_threads", c.stored);
    startup::read_play_settings();
    EXPECT_EQ(g_settings.searchthreads, c.threads) << c.stored;
  }
}

TEST_F(StartupSteps, ThreadLimitIsAtMostEight) {
  startup::count_processors();
  EXPECT_EQ(g_startup.processor_count, platform::processor_count());
  EXPECT_EQ(g_startup.thread_limit, std::min(platform::processor_count(), 8));
}

TEST_F(StartupSteps, DirectoryPrefixWhenAnEnginesEntryExists) {
  fs::path saved = fs::current_path();
  std::string dir = qbtest::make_temp_dir("cwd");
  fs::current_path(dir);
  startup::find_directory_prefix();
  EXPECT_STREQ(g_startup.dir_prefix, "");
  fs::create_directory(dir + "/engines");
  startup::find_directory_prefix();
  EXPECT_STREQ(g_startup.dir_prefix, "engines/");
  fs::current_path(saved);
}

}  // namespace
