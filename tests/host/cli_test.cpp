// The quillbar program end to end, run from build/ as a user would.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "pdn.h"
#include "support/temp_env.h"

namespace {

struct ProgramRun {
  int exit_code = -1;
  std::string output;
};

std::string fake(const std::string& mode) {
  return std::string(QB_FAKE_ENGINE_DIR) + "/libfake_engine_" + mode + ".so";
}

// Runs "quillbar ARGS" in build/, with `input` on its standard input.
ProgramRun quillbar(const std::string& args, const std::string& input = "") {
  std::string in_path = qbtest::make_temp_dir("cli") + "/input.txt";
  std::ofstream(in_path) << input;
  std::string command =
      "cd '" + std::string(QB_BINARY_DIR) + "' && ./quillbar " + args + " < '" + in_path + "' 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.output.append(buf, n);
  int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<host::PdnGame> read_games(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<host::PdnGame> games;
  std::string error;
  EXPECT_TRUE(host::read_pdn(text.str(), games, error)) << error;
  return games;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Cli, SelfPlayEndsWithAResult) {
  ProgramRun r = quillbar("play --self --time 0.01 --engine " + fake("first"));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, "\nResult: ")) << r.output;
  // The fake also prints to its standard output; the server keeps that off
  // the protocol, so the game still runs to its end.
  EXPECT_TRUE(contains(r.output, "Fake engine plays 9-14")) << r.output;
}

// The shipped engine, found by the default path from build/, once it plays.
TEST(Cli, SelfPlayWithTheDefaultEngine) {
  void* lib = dlopen((std::string(QB_ENGINE_DIR) + "/libquillbar.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  bool plays = lib && dlsym(lib, "getmove") && dlsym(lib, "enginecommand");
  if (lib) dlclose(lib);
  if (!plays) GTEST_SKIP() << "the engine library does not export getmove yet";
  ProgramRun r = quillbar("play --self --time 0.05 --max-moves 40");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, "\nResult: ")) << r.output;
}

TEST(Cli, PlayerMovesAreCheckedAndCanBeTakenBack) {
  std::string pdn = qbtest::make_temp_dir("play") + "/game.pdn";
  ProgramRun r = quillbar("play --time 0.01 --engine " + fake("first") + " --pdn " + pdn,
                          "11-17\n11-15\nundo\nhelp\n10-14\nmoves\n99\nquit\n");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output,
                       "Not a legal move: '11-17'. Legal moves: 9-13 9-14 10-14 10-15 "
                       "11-15 11-16 12-16"))
      << r.output;
  EXPECT_TRUE(contains(r.output, "Not understood: '99'")) << r.output;
  EXPECT_TRUE(contains(r.output, "Fake engine plays 21-17")) << r.output;
  std::vector<host::PdnGame> games = read_games(pdn);
  ASSERT_EQ(games.size(), 1u);
  // 11-15 was taken back with the reply to it; 10-14 stands.
  ASSERT_EQ(games[0].record.moves.size(), 2u);
  EXPECT_EQ(games[0].record.moves[0].text, "10-14");
  EXPECT_EQ(games[0].tag("Black"), "Player");
}

TEST(Cli, AnalyseListsEveryMoveAndMarksTheGoodOnes) {
  ProgramRun r = quillbar("analyse --engine " + fake("first") + " --fen W:W21-32:B1-10,12,15 --margin 15");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  // The fake scores moves 0, -10, -20, ... for the side to move, in its
  // generation order; the list shows them from White's side.
  EXPECT_TRUE(contains(r.output,
                       "Scores from White's side (White to move): higher is better for White.\n"
                       "  21-17      +0\n  22-18      -10\n  23-19      outside the margin\n"))
      << r.output;
  EXPECT_TRUE(contains(r.output, "fake best moves")) << r.output;

  r = quillbar("analyse --engine " + fake("first") + " --fen B:W1:B29");
  EXPECT_NE(r.exit_code, 0);
  EXPECT_TRUE(contains(r.output, "Lost game")) << r.output;
}

TEST(Cli, MovePrintsTheEnginesMoveOrRefusesAnIllegalBoard) {
  ProgramRun r = quillbar("move --engine " + fake("first") + " --fen W:W21-32:B1-10,12,15 --time 0.01");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, "move 21-17\nresult ")) << r.output;

  r = quillbar("move --engine " + fake("illegal") + " --time 0.01");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(contains(r.output, "move: ")) << r.output;
}

TEST(Cli, CommandPrintsTheReplyAndTheReturnValue) {
  ProgramRun r = quillbar("command 'get cl'");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, "5\n1\n")) << r.output;
  r = quillbar("command frobnicate");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(contains(r.output, "Unrecognized command 'frobnicate', ignored\n0\n")) << r.output;
}

TEST(Cli, BadOptionsAreRefused) {
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"play --time never", "play: --time wants seconds"},
      {"play --fen B:W1-40", "play: cannot read the position"},
      {"play --fen B:W5:B30", "play: a man stands on its own crowning row"},
      {"play --engine /no/such.so", "play: the engine /no/such.so does not start: cannot load"},
      {"match --games", "match: --games: 1 required"},
      {"match --tc 60", "match: cannot read the time '60'"},
      {"match --openings /no/deck.txt", "match: cannot read /no/deck.txt"},
      {"move --fen B:W1-40", "move: cannot read the position"},
      {"nonsense", "quillbar: The following argument was not expected: nonsense"},
  };
  for (const auto& c : cases) {
    ProgramRun r = quillbar(c.args);
    EXPECT_NE(r.exit_code, 0) << c.args;
    EXPECT_TRUE(contains(r.output, c.message)) << c.args << "\n" << r.output;
  }
}

// Asking for the usage is no mistake: it answers on standard output with
// status 0, for every spelling a user tries first.
TEST(Cli, HelpListsTheCommandsAndSucceeds) {
  for (const char* word : {"--help", "-h", "help"}) {
    ProgramRun r = quillbar(word);
    EXPECT_EQ(r.exit_code, 0) << word << "\n" << r.output;
    EXPECT_TRUE(contains(r.output, "usage: quillbar <command> [options]")) << word;
    EXPECT_TRUE(contains(r.output, "  play ")) << r.output;
  }
}

TEST(Cli, MatchPlaysBothColoursAndWritesPdn) {
  std::string pdn = qbtest::make_temp_dir("match") + "/games.pdn";
  ProgramRun r = quillbar("match " + fake("first") +
                          " --cmd-b 'set pick 1' --games 4 --time 0.01 "
                          "--pdn " +
                          pdn);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(contains(r.output, "Score of Fake engine A vs Fake engine B: ")) << r.output;
  EXPECT_TRUE(contains(r.output, "Elo difference: ")) << r.output;
  std::vector<host::PdnGame> games = read_games(pdn);
  ASSERT_EQ(games.size(), 4u);
  std::set<std::string> rounds;
  for (const host::PdnGame& g : games) {
    rounds.insert(g.tag("Round"));
    EXPECT_NE(g.result, host::GameResult::ONGOING);
    EXPECT_FALSE(g.tag("Termination").empty());
    int round = std::stoi(g.tag("Round"));
    EXPECT_EQ(g.tag("Black"), round % 2 ? "Fake engine A" : "Fake engine B");
    EXPECT_EQ(g.tag("Opening"), round <= 2 ? "9-13 21-17 5-9" : "9-13 21-17 6-9");
    ASSERT_GT(g.record.moves.size(), 3u);
    EXPECT_EQ(g.record.moves[3].comment.rfind("fake picks", 6), 6u) << g.record.moves[3].comment;
  }
  EXPECT_EQ(rounds.size(), 4u);
}

// A result an engine reports ends the game only when the other engine's
// last report agrees.
TEST(Cli, MatchEndsOnResultsBothEnginesReport) {
  struct Case {
    const char* commands;
    size_t plies;  // of the first game, the opening's three included
    const char* termination;
    host::GameResult result;
  } cases[] = {
      {"--cmd 'set claim 0'", 5, "result agreed by both engines", host::GameResult::DRAW},
      // Black's engine (A) claims a win, White's concedes.
      {"--cmd-a 'set claim 1' --cmd-b 'set claim 2'", 5, "result agreed by both engines",
       host::GameResult::BLACK_WINS},
      {"--cmd-a 'set claim 1'", 0, "threefold repetition", host::GameResult::DRAW},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commands);
    std::string pdn = qbtest::make_temp_dir("claims") + "/games.pdn";
    ProgramRun r =
        quillbar("match " + fake("first") + " " + c.commands + " --games 1 --time 0.01 --pdn " + pdn);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    std::vector<host::PdnGame> games = read_games(pdn);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].tag("Termination"), c.termination);
    EXPECT_EQ(games[0].result, c.result);
    if (c.plies) {
      EXPECT_EQ(games[0].record.moves.size(), c.plies);
    }
  }
}

TEST(Cli, FaultyEnginesLoseTheirGamesAndTheMatchGoesOn) {
  struct Case {
    const char* mode;
    const char* options;
    const char* reason;
  } cases[] = {
      {"crash", "", "engine crashed (signal 6: Aborted)"},
      {"illegal", "", "engine played an illegal move"},
      {"hang", "", "engine gave no move within"},
      {"first", "--cmd-a 'set sleep 800' --tc 0.5+0", "engine lost on time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    std::string pdn = qbtest::make_temp_dir("faulty") + "/games.pdn";
    ProgramRun r =
        quillbar("match " + fake(c.mode) + " " + fake("first") +
                 " --games 2 --time 0.01 --hang-timeout 0.5 --concurrency 2 --pdn " + pdn + " " + c.options);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "(+0 -2 =0)")) << r.output;
    std::vector<host::PdnGame> games = read_games(pdn);
    ASSERT_EQ(games.size(), 2u);
    for (const host::PdnGame& g : games) {
      bool faulty_black = g.tag("Round") == "1";
      EXPECT_EQ(g.result, faulty_black ? host::GameResult::WHITE_WINS : host::GameResult::BLACK_WINS);
      EXPECT_TRUE(contains(g.tag("Termination"), c.reason)) << g.tag("Termination");
    }
  }
}

}  // namespace
