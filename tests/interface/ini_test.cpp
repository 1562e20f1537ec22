#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "engine_state.h"
#include "eval/dither.h"
#include "interface/ini.h"
#include "interface/base/settings.h"
#include "support/temp_env.h"

namespace {
using namespace qb;

TEST(Ini, LinesGiveKeyAndValue) {
  struct Case {
    const char* line;
    const char* key;
    const char* value;
    IniError error;
  };
  const Case cases[] = {
      {"drawpieces = 8\n", "drawpieces", "8", IniError::none},
      {"dither = \"1\" # comment\n", "dither", "1", IniError::none},
      {"# only a comment\n", "", "", IniError::none},
      {"\n", "", "", IniError::none},
      {"  key=value", "key", "value", IniError::none},
      {"key value", "key", "", IniError::none},  // no "=": no value
      {"key = \"a b\"  trailing", "key", "a b", IniError::none},
      {"key = va\"lue", "key", "va", IniError::none},
      {"k\x01y = 3", "k", "", IniError::none},
      {"=5", "", "5", IniError::none},
      {"dither-offset=-3\r\n", "dither-offset", "-3", IniError::none},
      {"key = \"open", "key", "", IniError::unterminated_quote},
      {"key = \"a # b\"", "key", "", IniError::unterminated_quote},  // the comment cuts first
  };
  for (const Case& c : cases) {
    IniEntry entry;
    EXPECT_EQ(parse_ini_line(c.line, entry), c.error) << c.line;
    if (c.error != IniError::none) continue;
    EXPECT_EQ(entry.key, c.key) << c.line;
    EXPECT_EQ(entry.value, c.value) << c.line;
  }
}

TEST(Ini, NumbersConvertLikeStoi) {
  struct Case {
    const char* text;
    IniError error;
    int32_t value;
  };
  const Case cases[] = {
      {"8", IniError::none, 8},
      {" -12abc", IniError::none, -12},
      {"+7", IniError::none, 7},
      {"2147483647", IniError::none, INT32_MAX},
      {"-2147483648", IniError::none, INT32_MIN},
      {"abc", IniError::invalid_number, 0},
      {"", IniError::invalid_number, 0},
      {"- 5", IniError::invalid_number, 0},
      {"2147483648", IniError::out_of_range, 0},
      {"-2147483649", IniError::out_of_range, 0},
      {"99999999999999999999999", IniError::out_of_range, 0},
  };
  for (const Case& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(parse_ini_number(c.text, value), c.error) << c.text;
    if (c.error == IniError::none) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  EXPECT_STREQ(ini_error_text(IniError::invalid_number), "invalid stoi argument");
  EXPECT_STREQ(ini_error_text(IniError::out_of_range), "stoi argument out of range");
  EXPECT_STREQ(ini_error_text(IniError::unterminated_quote), "unterminated quoted value");
}

class IniFile : public testing::Test {
 protected:
  void SetUp() override { qbtest::reset_engine_state(); }
  std::string write(const std::string& text) {
    std::string path = qbtest::make_temp_dir("ini") + "/quillbar.ini";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
};

TEST_F(IniFile, KnownKeysSetThePlayOptions) {
  read_ini_file(write("drawpieces = 6\ndither = 5\ndither-offset = 2\nother = 9\n"));
  EXPECT_EQ(g_settings.drawpieces, 6);
  EXPECT_EQ(g_settings.dither, 1);
  EXPECT_EQ(g_settings.dither_offset, 2);
  EXPECT_EQ(g_dither_table[2].load(), 2);
}

TEST_F(IniFile, ErrorsSkipTheirLineOnly) {
  read_ini_file(
      write("drawpieces = many\ndither = \"1\ndither-offset = 99999999999\n"
            "DRAWPIECES = 3\ndither = 1\n"));
  EXPECT_EQ(g_settings.drawpieces, 10);
  EXPECT_EQ(g_settings.dither_offset, 0);
  EXPECT_EQ(g_settings.dither, 1);
}

TEST_F(IniFile, LongLinesAreReadAsSeveralLines) {
  read_ini_file(
      write(std::string(499, ' ') + "drawpieces = 12\n" + std::string(700, 'a') + "\ndither = 1\n"));
  EXPECT_EQ(g_settings.drawpieces, 12);
  EXPECT_EQ(g_settings.dither, 1);
}

TEST_F(IniFile, MissingFileDoesNothing) {
  read_ini_file(qbtest::temp_root() + "/no/such/quillbar.ini");
  EXPECT_EQ(g_settings.drawpieces, 10);
}

// Random files never end the engine, and dither stays 0 or 1.
TEST_F(IniFile, RandomFilesAreHarmless) {
  std::mt19937 random(7);
  const std::string pieces[] = {"drawpieces", "dither", "dither-offset", "=",  "\"", "#", " ", "\n",
                                "-",          "12",     "99999999999",   "\t", "x"};
  for (int file = 0; file < 100; ++file) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
      if (random() % 4 == 0) text += char(random() % 256);
      else text += pieces[random() % std::size(pieces)];
    }
    read_ini_file(write(text));
    EXPECT_TRUE(g_settings.dither == 0 || g_settings.dither == 1);
  }
}

}  // namespace
