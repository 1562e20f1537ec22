// The help page against the command interpreter: every keyword "set" or
// "get" accepts has its row in the settings tables, marked with the commands
// that take it, and the page names no keyword the engine does not accept,
// neither in a row nor in a "set ..." or "get ..." example anywhere on it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "interface/command.h"

namespace {

const char* const PAGE = QB_ENGINE_DIR "/QuillbarHelp.htm";

using Keywords = std::set<std::string>;

struct Accepted {
  Keywords set, get;
  const Keywords& by(const std::string& command) const { return command == "set" ? set : get; }
};

Accepted accepted_by_engine() {
  Accepted a;
  for (const char* k : qb::set_keywords()) a.set.insert(k);
  for (const char* k : qb::get_keywords()) a.get.insert(k);
  return a;
}

// Keywords of the settings rows, and of "set x"/"get x" written in <code>.
struct PageKeywords {
  Accepted rows, examples;
};

PageKeywords read_page_keywords(const std::string& html) {
  PageKeywords page;
  static const std::regex row(R"re(<tr data-keyword="([^"]*)" data-commands="([^"]*)">)re");
  for (std::sregex_iterator it(html.begin(), html.end(), row), end; it != end; ++it) {
    std::istringstream commands((*it)[2].str());
    for (std::string c; commands >> c;) (c == "set" ? page.rows.set : page.rows.get).insert((*it)[1]);
  }
  static const std::regex example(R"re(<code>(set|get) ([^\s<]+))re");
  for (std::sregex_iterator it(html.begin(), html.end(), example), end; it != end; ++it)
    ((*it)[1] == "set" ? page.examples.set : page.examples.get).insert((*it)[2]);
  return page;
}

// One line per keyword the page leaves out or names wrongly.
std::vector<std::string> drift(const std::string& html, const Accepted& engine) {
  const PageKeywords page = read_page_keywords(html);
  std::vector<std::string> problems;
  for (const char* command : {"set", "get"}) {
    for (const std::string& k : engine.by(command))
      if (!page.rows.by(command).count(k)) problems.push_back(std::string("missing ") + command + " " + k);
    for (const Accepted* named : {&page.rows, &page.examples})
      for (const std::string& k : named->by(command))
        if (!engine.by(command).count(k))
          problems.push_back(std::string("not accepted ") + command + " " + k);
  }
  return problems;
}

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HelpPage, NamesExactlyTheKeywordsTheEngineAccepts) {
  const std::string html = read_file(PAGE);
  ASSERT_FALSE(html.empty()) << PAGE << " is missing or empty";
  EXPECT_EQ(drift(html, accepted_by_engine()), std::vector<std::string>{});
  EXPECT_EQ(html.find("<!-- settings tables -->"), std::string::npos) << "tables not filled in";
  EXPECT_EQ(html.find("<script"), std::string::npos) << "the page is meant to work without scripts";
}

// A small page shows the test telling each kind of drift apart.
TEST(HelpPage, DriftIsReported) {
  const Accepted engine{{"book", "hashsize"}, {"book", "cpus"}};
  const std::string page =
      "<tr data-keyword=\"book\" data-commands=\"set get\">"
      "<tr data-keyword=\"cpus\" data-commands=\"set get\">"
      "<tr data-keyword=\"hashsize\" data-commands=\"get\">"
      "<p><code>set book 2</code>, <code>get bookk</code></p>";
  EXPECT_EQ(drift(page, engine),
            (std::vector<std::string>{"missing set hashsize", "not accepted set cpus",
                                      "not accepted get hashsize", "not accepted get bookk"}));
}

}  // namespace
