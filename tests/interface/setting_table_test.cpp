#include <gtest/gtest.h>

#include <set>
#include <string>

#include "interface/base/setting_table.h"

namespace {

using namespace qb;

// What the commands, the start-up and the log take for granted of a row.
TEST(SettingTable, RowsAreWhatTheirReadersAssume) {
  std::set<std::string> keywords, stored_names;
  bool log_block_ended = false;
  for (const SettingRow& row : SETTING_ROWS) {
    SCOPED_TRACE(row.keyword);
    EXPECT_NE(row.number == nullptr, row.text == nullptr);
    EXPECT_EQ(row.text != nullptr, row.default_text != nullptr);
    EXPECT_TRUE(keywords.insert(row.keyword).second);
    EXPECT_TRUE(!row.stored_as || stored_names.insert(row.stored_as).second);
    EXPECT_TRUE(row.at_startup != AtStartup::load || row.stored_as);
    EXPECT_TRUE(row.at_startup != AtStartup::restore || row.number);
    const bool text_rule = row.rule == SetRule::path || row.rule == SetRule::book_file;
    EXPECT_EQ(text_rule, row.text != nullptr);
    EXPECT_TRUE(row.rule != SetRule::path || (row.stored_as && row.reopen));
    EXPECT_TRUE(!row.log_label || !log_block_ended) << "the log's block is the first rows";
    log_block_ended = log_block_ended || !row.log_label;
  }
}

TEST(SettingTable, ResetGivesEveryRowItsDefault) {
  EngineSettings settings;
  for (const SettingRow& row : SETTING_ROWS) {
    if (row.number) settings.*row.number = row.default_number + 7;
    else set_text_setting(settings.*row.text, "changed");
  }
  reset_settings(settings);
  for (const SettingRow& row : SETTING_ROWS) {
    if (row.number) EXPECT_EQ(settings.*row.number, row.default_number) << row.keyword;
    else EXPECT_EQ(get_text_setting(settings.*row.text), row.default_text) << row.keyword;
  }
}

}  // namespace
