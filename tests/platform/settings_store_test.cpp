#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "support/temp_env.h"

namespace {
namespace fs = std::filesystem;
using namespace qb::platform;

// Each test gets an empty settings store.
class SettingsStore : public testing::Test {
 protected:
  void SetUp() override {
    config_ = qbtest::make_temp_dir("store");
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    file_ = config_ + "/Orvandel/Quillbar/registry.reg";
  }
  std::string contents() const {
    std::ifstream in(file_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write_raw(const std::string& text) const {
    fs::create_directories(fs::path(file_).parent_path());
    std::ofstream(file_) << text;
  }
  std::string config_, file_;
};

TEST_F(SettingsStore, ValuesRoundTripInExportForm) {
  uint32_t number = 0;
  char text[SETTING_TEXT_SIZE];
  EXPECT_FALSE(read_setting_number("HashSize", &number));
  EXPECT_FALSE(read_setting_text("DBPath", text, sizeof text));

  ASSERT_TRUE(write_setting_number("HashSize", 128));
  ASSERT_TRUE(write_setting_text("DBPath", "db"));
  ASSERT_TRUE(write_setting_number("HashSize", 0xFFFFFFFF));  // replaces, not appends

  EXPECT_TRUE(read_setting_number("HashSize", &number));
  EXPECT_EQ(number, 0xFFFFFFFFu);
  EXPECT_TRUE(read_setting_text("DBPath", text, sizeof text));
  EXPECT_STREQ(text, "db");
  EXPECT_EQ(contents(),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Orvandel\\Quillbar]\n"
            "\"HashSize\"=dword:ffffffff\n"
            "\"DBPath\"=\"db\"\n\n");
}

TEST_F(SettingsStore, TypesAndSizesMustMatch) {
  ASSERT_TRUE(write_setting_text("DBPath", "0123456789"));
  ASSERT_TRUE(write_setting_number("UseBook", 2));
  uint32_t number;
  char text[SETTING_TEXT_SIZE];
  EXPECT_FALSE(read_setting_number("DBPath", &number));
  EXPECT_FALSE(read_setting_text("UseBook", text, sizeof text));
  EXPECT_FALSE(read_setting_text("DBPath", text, 10));  // no room for the NUL
  EXPECT_TRUE(read_setting_text("DBPath", text, 11));
  EXPECT_TRUE(read_setting_number("usebook", &number));  // names ignore case
  EXPECT_EQ(number, 2u);
}

TEST_F(SettingsStore, EscapesBackslashAndQuote) {
  const char* path = R"(C:\end "games"\db)";
  ASSERT_TRUE(write_setting_text("Dir \"x\"", path));
  char text[SETTING_TEXT_SIZE];
  ASSERT_TRUE(read_setting_text("Dir \"x\"", text, sizeof text));
  EXPECT_STREQ(text, path);
  EXPECT_NE(contents().find(R"("Dir \"x\""="C:\\end \"games\"\\db")"), std::string::npos);
}

TEST_F(SettingsStore, RefusesTextsThatWouldBreakTheLineForm) {
  ASSERT_TRUE(write_setting_text("DBPath", "db"));
  std::string before = contents();
  EXPECT_FALSE(write_setting_text("DBPath", "two\nlines"));
  EXPECT_FALSE(write_setting_number("a\rb", 1));
  EXPECT_EQ(contents(), before);
}

TEST_F(SettingsStore, CorruptOrUnreadableFilesReadAsMissing) {
  const std::string header =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Orvandel\\Quillbar]\n";
  struct Case {
    std::string file;
    bool hash_readable;
  };
  const Case cases[] = {
      {header + "\"HashSize\"=dword:00000040\n", true},
      {header + "\"HashSize\"=dword:00000040", true},  // no final newline
      {"garbage\n\"HashSize\"=dword:00000040\n", false},
      {"", false},
      {header + "\"HashSize\"=dword:000000400\n", false},  // nine digits
      {header + "\"HashSize\"=dword:xyz\n", false},
      {header + "\"HashSize\"=dword:\n", false},
      {header + "\"HashSize\n", false},
      {header + "[HKEY_CURRENT_USER\\Software\\Other]\n\"HashSize\"=dword:00000040\n", false},
      {header + "\"Bad\"=\"a\\qb\"\n\"HashSize\"=dword:00000040\n", true},  // bad line skipped
      {header + "\"HashSize\"=dword:00000040" + std::string(1, '\0') + "\n", false},
      {std::string(3, '\xFF') + header, false},
      {"\xEF\xBB\xBF" + header + "\"HashSize\"=dword:00000040\n", true},  // a UTF-8 byte-order mark
  };
  for (const Case& c : cases) {
    write_raw(c.file);
    uint32_t number = 0;
    EXPECT_EQ(read_setting_number("HashSize", &number), c.hash_readable) << c.file;
    if (c.hash_readable) {
      EXPECT_EQ(number, 0x40u);
    }
  }
  // A folder where the file should be cannot be read at all.
  fs::remove(file_);
  fs::create_directory(file_);
  uint32_t number;
  EXPECT_FALSE(read_setting_number("HashSize", &number));
}

// A file that cannot be read is never written over: the next write keeps
// it aside under the first free .bad name, says so once, and starts afresh.
TEST_F(SettingsStore, AnUnreadableFileIsKeptAsideNotOverwritten) {
  const std::string header =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Orvandel\\Quillbar]\n";
  const std::string unreadable[] = {
      "not an export at all\n\x01\x02",
      header + "\"HashSize\"=dword:00000040\n" + std::string(size_t(1) << 20, ';'),  // over 1 MB
  };
  const char* aside[] = {"registry.reg.bad", "registry.reg.bad1"};
  const fs::path dir = fs::path(file_).parent_path();
  for (int i = 0; i < 2; ++i) {
    write_raw(unreadable[i]);
    ASSERT_TRUE(write_setting_number("HashSize", 64));
    EXPECT_NE(settings_store_notice().find(aside[i]), std::string::npos) << aside[i];
    EXPECT_EQ(settings_store_notice(), "");  // told once
    ASSERT_TRUE(write_setting_text("DBPath", "db"));
    EXPECT_EQ(settings_store_notice(), "");
    uint32_t number = 0;
    EXPECT_TRUE(read_setting_number("HashSize", &number));
    EXPECT_EQ(number, 64u);
    std::ifstream kept(dir / aside[i], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), unreadable[i]);
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock" || name == aside[0] || name == aside[1])
        << name;
  }
}

TEST_F(SettingsStore, NoStoreWithoutAHomeOrConfigFolder) {
  unsetenv("XDG_CONFIG_HOME");
  std::string home = std::getenv("HOME");
  setenv("HOME", (config_ + "/home").c_str(), 1);
  EXPECT_TRUE(write_setting_number("HashSize", 32));  // $HOME/.config is made
  EXPECT_TRUE(fs::exists(config_ + "/home/.config/Orvandel/Quillbar/registry.reg"));
  setenv("HOME", home.c_str(), 1);
}

std::string writer_value_name(int writer, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "w%d_%d", writer, i);
  return name;
}

// Two engines writing at the same time must not lose each other's values.
TEST_F(SettingsStore, ConcurrentWritersKeepEveryValue) {
  constexpr int WRITERS = 2, VALUES = 25;
  pid_t children[WRITERS];
  for (int w = 0; w < WRITERS; ++w) {
    children[w] = fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      bool ok = true;
      for (int i = 0; i < VALUES; ++i)
        ok &= write_setting_number(writer_value_name(w, i).c_str(), uint32_t(i));
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < WRITERS; ++w)
    for (int i = 0; i < VALUES; ++i) {
      uint32_t number = 99;
      EXPECT_TRUE(read_setting_number(writer_value_name(w, i).c_str(), &number));
      EXPECT_EQ(number, uint32_t(i));
    }
}

}  // namespace
