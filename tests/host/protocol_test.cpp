#include <gtest/gtest.h>

#include "engine_protocol.h"

namespace {

TEST(EngineProtocol, EscapedTextStaysOnOneLineAndComesBack) {
  const std::string texts[] = {"plain", "two\nlines\r\n", "back\\slash \\n", "tab\there", ""};
  for (const std::string& t : texts) {
    std::string e = host::escape_text(t);
    EXPECT_EQ(e.find('\n'), std::string::npos);
    EXPECT_EQ(e.find('\r'), std::string::npos);
    EXPECT_EQ(host::unescape_text(e), t);
  }
  EXPECT_EQ(host::escape_text(std::string("bell\a\x1b", 6)), "bell??");
}

TEST(EngineProtocol, SplitsWordsAndKeepsTheRest) {
  std::vector<std::string> w;
  std::string rest;
  ASSERT_TRUE(host::split_words("move 3 B:W1:B2  two spaces", 2, w, rest));
  EXPECT_EQ(w, (std::vector<std::string>{"move", "3"}));
  EXPECT_EQ(rest, "B:W1:B2  two spaces");
  ASSERT_TRUE(host::split_words("reply 1 ", 2, w, rest));
  EXPECT_EQ(rest, "");
  EXPECT_FALSE(host::split_words("reply", 2, w, rest));
  ASSERT_TRUE(host::split_words("Lost game", 0, w, rest));
  EXPECT_EQ(rest, "Lost game");
}

}  // namespace
