#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "support/temp_env.h"

namespace {
using namespace qb::platform;

TEST(Machine, ProcessorsAndMemory) {
  int processors = processor_count();
  EXPECT_GE(processors, 1);
  EXPECT_LE(processors, int(sysconf(_SC_NPROCESSORS_CONF)));
  EXPECT_GT(installed_ram_mb(), 0);
}

TEST(Machine, ClockCountsMillisecondsBelowTheWrap) {
  uint32_t before = process_clock_ms();
  sleep_ms(60);
  uint32_t after = process_clock_ms();
  EXPECT_GE(after - before, 55u);
  EXPECT_LT(after - before, 5000u);
  EXPECT_LT(after, 2147483647u);
}

TEST(Machine, ProcessorIdentification) {
  const CpuInfo& info = cpu_info();
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(std::strlen(info.vendor), 12u);
  EXPECT_EQ(info.popcnt, bool(__builtin_cpu_supports("popcnt")));
  EXPECT_EQ(info.bmi2, bool(__builtin_cpu_supports("bmi2")));
#else
  EXPECT_STREQ(info.vendor, "");
  EXPECT_FALSE(info.popcnt || info.bmi2);
#endif
}

TEST(Files, DocumentsFolderFromTheEnvironment) {
  std::string saved = std::getenv("XDG_DOCUMENTS_DIR");
  setenv("XDG_DOCUMENTS_DIR", "/somewhere/docs", 1);
  EXPECT_EQ(documents_folder(), "/somewhere/docs");
  unsetenv("XDG_DOCUMENTS_DIR");
  EXPECT_EQ(documents_folder(), std::string(std::getenv("HOME")) + "/Documents");
  setenv("XDG_DOCUMENTS_DIR", saved.c_str(), 1);
}

TEST(Files, FoldersAndPaths) {
  std::string dir = qbtest::make_temp_dir("files");
  EXPECT_TRUE(make_directory(dir + "/a"));
  EXPECT_TRUE(make_directory(dir + "/a"));     // already there
  EXPECT_FALSE(make_directory(dir + "/b/c"));  // no parent
  std::FILE* f = std::fopen((dir + "/file").c_str(), "w");
  std::fclose(f);
  EXPECT_FALSE(make_directory(dir + "/file"));
  EXPECT_TRUE(path_exists(dir + "/file"));
  EXPECT_FALSE(path_exists(dir + "/none"));
  EXPECT_FALSE(path_exists(""));

  EXPECT_EQ(join_path("a", "b"), "a/b");
  EXPECT_EQ(join_path("a/", "b"), "a/b");
  EXPECT_EQ(join_path("", "b"), "b");
  EXPECT_EQ(current_directory(), std::filesystem::current_path().string());
}

}  // namespace
