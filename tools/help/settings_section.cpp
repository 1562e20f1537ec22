// settings_section OUT: writes the settings part of the help page, one table
// row for every keyword that "set" or "get" accepts, taken from the command
// interpreter's own keyword lists. The words for the player are kept here;
// a keyword without them, or words for a keyword the engine does not accept,
// stops the build with the keyword's name, so the page cannot fall behind.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "interface/command.h"
#include "interface/base/setting_table.h"
#include "interface/base/settings.h"

namespace {

// The tables of the page, in their order.
struct Group {
  const char* id;
  const char* heading;
  const char* introduction;
};

const Group GROUPS[] = {
    {"play", "Playing settings", "How the engine plays and how much of the computer it uses."},
    {"databases", "Endgame database settings",
     "Where the endgame databases are and how the engine uses them."},
    {"facts", "Facts and host-program details",
     "Answers about the engine and the computer, and keywords that exist for host programs. "
     "Changing the last ones makes no difference to play."},
};

struct KeywordHelp {
  const char* keyword;
  const char* group;
  std::string meaning;  // HTML
  std::string values;   // HTML
  // HTML, where the default is not a plain value of the settings table.
  std::string default_value;
};

std::string quoted(const char* text) { return *text ? "<code>" + std::string(text) + "</code>" : "none"; }

std::vector<KeywordHelp> keyword_help() {
  const std::string threads_cap = std::to_string(qb::MAX_SEARCH_THREADS);
  return {
      {"book", "play",
       "How the opening book is used. 0: off. 1: the book's main moves and any book move within "
       "10 points of the best, for variety. 2: main moves and book moves of the best value. "
       "3: the book's main moves only.",
       "0&ndash;3"},
      {"bookfile", "play",
       "The opening book file, looked up in the engines folder. The book is loaded at once; the "
       "reply is <code>Cannot load NAME</code> when the file is missing or damaged.",
       "a file name (one word)"},
      {"searchthreads", "play",
       "How many processor threads search together. More threads search deeper in the same time.",
       "1 to the number of processors, at most " + threads_cap},
      {"hashsize", "play",
       "Memory in megabytes for the table of positions already searched. The engine uses the "
       "largest power of two not above it, and never more than the computer's memory allows "
       "beside the databases and the host; the reply gives the size in force. Takes effect at "
       "the next move.",
       "1 and up", "chosen from the computer's memory at first start (32&ndash;128)"},
      {"drawpieces", "play",
       "With this many pieces or fewer on the board, a run of drawn search results lets the "
       "engine call the game a draw. Also in <code>quillbar.ini</code>.",
       "a number of pieces"},
      {"play_to_end", "play",
       "0: the engine reports a clearly won or lost game as decided. 1: it reports a result only "
       "when the win is certain, so games are played out to the end.",
       "0 or 1"},
      {"allscores", "play",
       "When not 0, the engine's status line shows a score for every move (analysis mode). Off "
       "again each time the engine starts.",
       "0 or 1"},
      {"dither", "play",
       "1 adds small fixed offsets to the engine's judgement of positions, so it varies its "
       "play from game to game. Also in <code>quillbar.ini</code>.",
       "0 or 1"},
      {"dither-offset", "play",
       "The size of those offsets, in hundredths of a man. Also in <code>quillbar.ini</code>.",
       "a number, small (1&ndash;5)"},
      {"enable_wld", "databases",
       "1 (or any number but 0) uses the win/loss/draw database in the search, 0 plays without "
       "endgame databases.",
       "0 or 1"},
      {"dbpath", "databases",
       "The folder of the win/loss/draw database. A relative folder that is not found is looked "
       "up in the engines folder. Spaces are allowed.",
       "a folder, up to 259 characters"},
      {"max_dbpieces", "databases", "Uses the database only up to this many pieces, even when it holds more.",
       "a number of pieces"},
      {"dbmbytes", "databases", "Memory in megabytes for the database cache. Takes effect at the next move.",
       "1 and up", "chosen from the computer's memory at first start"},
      {"enable_mtc", "databases",
       "1 plays won and lost endings by distance from the database in <code>mtcpath</code>: "
       "the shortest win, the longest defence.",
       "0 or 1"},
      {"mtcpath", "databases",
       "The folder of the distance database: <code>dtw</code> (distance to win) or "
       "<code>mtc</code> (moves to conversion).",
       "a folder, up to 259 characters"},
      {"cl", "databases",
       "Search depth in plies up to which database look-ups are made only when they are "
       "cheap. Best left alone.",
       "a number of plies"},
      {"check_wld_dir", "databases",
       "Tells what a folder holds, without changing anything: <code>Quillbar WLD database found "
       "for 5 pieces</code> or <code>No WLD database found in FOLDER</code>.",
       "a folder", ""},
      {"check_mtc_dir", "databases",
       "The same for a distance database: <code>Quillbar DTW database found for 5 pieces</code> "
       "or <code>No MTC or DTW database found in FOLDER</code>.",
       "a folder", ""},
      {"dbpieces", "databases",
       "The number of pieces of the win/loss/draw database in use; 0 when none was found. "
       "Known after the engine's first move.",
       "a number of pieces", ""},
      {"cpus", "facts", "The number of logical processors the engine counted.", "a number", ""},
      {"gametype", "facts", "The game the engine plays: 21, English/American checkers.", "21", ""},
      {"protocolversion", "facts", "The version of the host interface: 2. Setting it changes nothing.", "2",
       ""},
      {"p1", "facts", "A number kept for host programs; it does not change play.", "a number"},
      {"p2", "facts", "A number kept for host programs; it does not change play.", "a number"},
  };
}

bool contains(const std::vector<const char*>& list, const std::string& word) {
  return std::any_of(list.begin(), list.end(), [&](const char* k) { return word == k; });
}

// Every accepted keyword has its help, and all help is for accepted keywords.
bool help_matches_commands(const std::vector<KeywordHelp>& help, const std::vector<const char*>& set_words,
                           const std::vector<const char*>& get_words) {
  std::set<std::string> described;
  bool ok = true;
  for (const KeywordHelp& h : help) {
    described.insert(h.keyword);
    if (!contains(set_words, h.keyword) && !contains(get_words, h.keyword)) {
      std::fprintf(stderr, "help for '%s', which neither set nor get accepts\n", h.keyword);
      ok = false;
    }
  }
  for (const auto* list : {&set_words, &get_words})
    for (const char* keyword : *list)
      if (!described.count(keyword)) {
        std::fprintf(stderr, "no help for the keyword '%s'\n", keyword);
        ok = false;
      }
  return ok;
}

std::string commands_of(const std::string& keyword, const std::vector<const char*>& set_words,
                        const std::vector<const char*>& get_words) {
  bool set = contains(set_words, keyword), get = contains(get_words, keyword);
  return set && get ? "set get" : set ? "set" : "get";
}

// The default and whether the store keeps it come from the settings table;
// a keyword that is no setting has neither.
std::string default_of(const KeywordHelp& h, const qb::SettingRow* setting) {
  if (!h.default_value.empty() || !setting) return h.default_value;
  return setting->number ? std::to_string(setting->default_number) : quoted(setting->default_text);
}

std::string table_row(const KeywordHelp& h, const std::string& commands) {
  const qb::SettingRow* setting = qb::find_setting(h.keyword);
  std::string shown = commands == "set get" ? "set, get" : commands;
  std::string kept = !setting ? "&mdash;" : setting->stored_as ? "yes" : "no";
  std::string default_value = setting ? default_of(h, setting) : "&mdash;";
  return "<tr data-keyword=\"" + std::string(h.keyword) + "\" data-commands=\"" + commands + "\"><td><code>" +
         h.keyword + "</code></td><td>" + shown + "</td><td>" + h.meaning + "</td><td>" + h.values +
         "</td><td>" + default_value + "</td><td>" + kept + "</td></tr>\n";
}

std::string section(const std::vector<KeywordHelp>& help, const std::vector<const char*>& set_words,
                    const std::vector<const char*>& get_words) {
  std::string html;
  for (const Group& group : GROUPS) {
    html += "<h3 id=\"settings-" + std::string(group.id) + "\">" + group.heading + "</h3>\n<p>" +
            group.introduction + "</p>\n";
    html +=
        "<table class=\"settings\">\n<tr><th>Keyword</th><th>Command</th><th>What it does"
        "</th><th>Values</th><th>Default</th><th>Kept</th></tr>\n";
    for (const KeywordHelp& h : help)
      if (std::string(h.group) == group.id)
        html += table_row(h, commands_of(h.keyword, set_words, get_words));
    html += "</table>\n";
  }
  return html;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: settings_section OUT\n");
    return 2;
  }
  const std::vector<KeywordHelp> help = keyword_help();
  const std::vector<const char*> set_words = qb::set_keywords(), get_words = qb::get_keywords();
  if (!help_matches_commands(help, set_words, get_words)) return 1;

  std::string html = section(help, set_words, get_words);
  FILE* out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(html.data(), 1, html.size(), out) != html.size() || std::fclose(out)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
