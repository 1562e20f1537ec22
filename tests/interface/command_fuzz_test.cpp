// Random and over-long commands: every reply is a terminated text within the
// host buffer, results are 0 or 1, and the settings store stays readable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "engine_state.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "platform/platform.h"
#include "support/temp_env.h"

namespace {

TEST(CommandFuzz, RandomCommandsAreHarmless) {
  setenv("XDG_CONFIG_HOME", qbtest::make_temp_dir("config").c_str(), 1);
  qbtest::reset_engine_state();
  ASSERT_TRUE(qb::platform::write_setting_number("HashSize", 128));
  std::mt19937 random(11);
  const std::string words[] = {"set",
                               "get",
                               "hashsize",
                               "dbpath",
                               "mtcpath",
                               "bookfile",
                               "book",
                               "dither",
                               "dither-offset",
                               "searchthreads",
                               "check_wld_dir",
                               "about",
                               "name",
                               "printbook",
                               "-1",
                               "0",
                               "99999999999",
                               "\"",
                               "\\",
                               " ",
                               "\t",
                               "\n",
                               "\r"};
  for (int i = 0; i < 3000; ++i) {
    std::string command;
    int length = int(random() % 12);
    for (int w = 0; w < length; ++w) {
      if (random() % 5 == 0) command += std::string(random() % 600, char(1 + random() % 255));
      else command += words[random() % std::size(words)] + " ";
    }
    char reply[qb::HOST_TEXT_SIZE + 1];
    std::memset(reply, 'Z', sizeof reply);
    int32_t result = enginecommand(command.c_str(), reply);
    ASSERT_TRUE(result == 0 || result == 1);
    ASSERT_EQ(reply[qb::HOST_TEXT_SIZE], 'Z');  // nothing beyond the bound
    if (reply[0] != 'Z') {
      ASSERT_NE(std::memchr(reply, 0, qb::HOST_TEXT_SIZE), nullptr);
    }
    ASSERT_GE(qb::g_settings.hashsize, 1);
    ASSERT_GE(qb::g_settings.searchthreads, 1);
  }
  uint32_t hash = 0;
  EXPECT_TRUE(qb::platform::read_setting_number("HashSize", &hash));
  EXPECT_EQ(int32_t(hash), qb::g_settings.hashsize.load());
}

}  // namespace
