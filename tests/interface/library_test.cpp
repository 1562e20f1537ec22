// The engine as hosts load it: the shared library, in this process and in
// child processes that stand for separate program runs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/position.h"
#include "engine_library.h"
#include "interface/exports.h"
#include "interface/memory_rule.h"
#include "platform/platform.h"
#include "support/temp_env.h"

namespace {
namespace fs = std::filesystem;
using qbtest::EngineLibrary;

const char* const ENGINE_NAME = "Quillbar(x64) 1.19c";

// Points a child's settings store, documents and instance locks at fresh folders.
struct FreshUser {
  std::string config = qbtest::make_temp_dir("config");
  std::string documents = qbtest::make_temp_dir("documents");
  std::string runtime = qbtest::make_temp_dir("runtime");
  void apply() const {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  std::string log(const char* suffix = "") const {
    return documents + "/Orvandel/Quillbar/Quillbar" + suffix + ".log";
  }
};

std::string join_replies(const EngineLibrary& engine, const std::vector<std::string>& commands) {
  std::string out;
  for (const std::string& c : commands) out += engine.command(c).reply + "\n";
  return out;
}

void set_start_position(int32_t board[8][8]) { qb::to_host_board(qb::start_position(), board); }

TEST(Library, ExportsOnlyTheHostInterface) {
  EngineLibrary engine;
  ASSERT_TRUE(engine.loaded()) << dlerror();
  EXPECT_EQ(engine.name(), ENGINE_NAME);  // before any initialisation
  for (const char* name : {"getmove", "enginecommand", "enginename", "engineabout", "enginehelp",
                           "protocolversion", "staticevaluation", "DebugFunction1", "DebugFunction2"})
    EXPECT_NE(engine.symbol(name), nullptr) << name;
  for (const char* internal : {"_ZN2qb10g_settingsE", "_ZN2qb17initialise_engineEv",
                               "_ZN2qb11run_commandEPKcPc", "_ZN2qb8platform14cpu_infoEv"})
    EXPECT_EQ(engine.symbol(internal), nullptr) << internal;
}

TEST(Library, EveryExportAnswers) {
  EngineLibrary engine;
  ASSERT_TRUE(engine.loaded());
  EXPECT_EQ(engine.function<int32_t()>("protocolversion")(), 2);
  char text[qb::HOST_TEXT_SIZE] = "";
  int32_t board[8][8];
  set_start_position(board);
  EXPECT_EQ(engine.function<int32_t(int32_t[8][8], int32_t, char*)>("staticevaluation")(board, 0, text), 1);
  EXPECT_STREQ(text, "This engine does not use static evaluation\n");
  EXPECT_GE(engine.function<int32_t()>("DebugFunction1")(), 0);
  engine.function<void()>("DebugFunction2")();
  EXPECT_EQ(engine.name(), ENGINE_NAME);  // none of these initialises

  EXPECT_EQ(engine.function<int32_t(char*)>("enginehelp")(text), 1);
  EXPECT_STREQ(text, "QuillbarHelp.htm");
  EXPECT_EQ(engine.function<int32_t(void*)>("engineabout")(nullptr), 1);
  EXPECT_EQ(engine.command("get protocolversion").reply, "2");

  auto getmove = engine.function<decltype(::getmove)>("getmove");
  int32_t stop = 0;
  EXPECT_EQ(getmove(board, 0, 0.1, text, &stop, 1, 0), QB_UNKNOWN);
  EXPECT_NE(qb::from_host_board(board), qb::start_position());

  // The exports that live with other subsystems, when the build has them.
  if (auto build_movelist = engine.function<decltype(::build_movelist)>("build_movelist")) {
    qb::Position start = qb::start_position();
    qb::HostMoveList list{};
    EXPECT_EQ(build_movelist(&start, 0, &list, nullptr), 7);
  }
  if (auto qsearch = engine.function<decltype(::qsearch)>("qsearch")) {
    qb::Position start = qb::start_position(), end{};
    int32_t end_side = -1;
    qsearch(&start, 0, &end, &end_side, nullptr);
  }
}

TEST(Library, UnloadingReleasesTheInstance) {
  std::string first_name;
  {
    EngineLibrary engine;
    first_name = engine.command("name").reply;
  }
  EXPECT_EQ(dlopen(qbtest::engine_library_path().c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library stayed loaded";
  EngineLibrary again;
  EXPECT_EQ(again.command("name").reply, first_name);
}

TEST(Library, PersistedSettingsSurviveARestartOthersReset) {
  FreshUser user;
  std::string first = qbtest::run_in_child([&] {
    user.apply();
    EngineLibrary engine;
    return join_replies(
        engine, {"set hashsize 77", "set dbmbytes 99", "set dbpath end games", "set mtcpath mtc",
                 "set max_dbpieces 6", "set enable_wld 0", "set enable_mtc 1", "set book 3",
                 "set bookfile other.odb", "set drawpieces 4", "set allscores 1", "set cl 2", "set dither 1",
                 "set dither-offset 2", "set play_to_end 1", "set p1 1"});
  });
  ASSERT_EQ(first.rfind("child failed", 0), std::string::npos) << first;
  std::string second = qbtest::run_in_child([&] {
    user.apply();
    EngineLibrary engine;
    return join_replies(engine,
                        {"get hashsize", "get dbmbytes", "get dbpath", "get mtcpath", "get max_dbpieces",
                         "get enable_wld", "get enable_mtc", "get book", "get bookfile", "get drawpieces",
                         "get allscores", "get cl", "get dither", "get dither-offset", "get play_to_end"});
  });
  // other.odb cannot be loaded, so it was never saved.
  EXPECT_EQ(second, "77\n99\nend games\nmtc\n6\n0\n1\n3\nQuillbar.odb\n10\n0\n5\n0\n0\n0\n");
}

TEST(Library, StartUpLogAndStoredDefaults) {
  FreshUser user;
  // An empty current directory: no "engines" folder, so no book or weights.
  std::string cwd = fs::canonical(qbtest::make_temp_dir("cwd")).string();
  std::string log = qbtest::run_in_child([&] {
    user.apply();
    fs::current_path(cwd);
    EngineLibrary engine;
    engine.command("get hashsize");
    return qbtest::read_file(user.log());
  });
  int ram = qb::platform::installed_ram_mb();
  qb::MemorySizes sizes = qb::memory_sizes_for_ram(ram);
  std::size_t first_line_end = log.find('\n');
  ASSERT_NE(first_line_end, std::string::npos) << log;
  EXPECT_TRUE(std::regex_match(log.substr(0, first_line_end + 1),
                               std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                          "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                          "[ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n")))
      << log;
  std::ostringstream expected;
  expected << ENGINE_NAME << "\ninstalled RAM: " << ram << "mb\n"
           << "current directory: " << cwd << "\n"
           << "Cannot open bookfile Quillbar.odb\n"
           << "Cannot open weights_v3.bin for reading *****************\n"
           << "Evaluating by material only\n"
           << "hashsize: " << sizes.hashsize << "\nWLD cachesize: " << sizes.dbmbytes
           << "\nlimit max WLD pieces: 24\nWLD directory: db\nMTC directory: \n"
           << "WLD enable: 1\nMTC enable: 0\n\n"
           << "total processors: " << qb::platform::processor_count() << "\nsearch threads: 1\n";
  EXPECT_EQ(log.substr(first_line_end + 1), expected.str());

  std::string store = qbtest::read_file(user.config + "/Orvandel/Quillbar/registry.reg");
  char line[64];
  std::snprintf(line, sizeof line, "\"HashSize\"=dword:%08x\n", sizes.hashsize);
  EXPECT_NE(store.find(line), std::string::npos) << store;
  std::snprintf(line, sizeof line, "\"DBMbytes\"=dword:%08x\n", sizes.dbmbytes);
  EXPECT_NE(store.find(line), std::string::npos) << store;
  EXPECT_NE(store.find("\"Version\"=\"1.19c\"\n"), std::string::npos) << store;
}

TEST(Library, IniFileAndDataComeFromTheEnginesFolder) {
  FreshUser user;
  std::string dir = qbtest::make_temp_dir("host");
  fs::create_directory(dir + "/engines");
  std::ofstream(dir + "/engines/quillbar.ini") << "# play options\n"
                                                  "drawpieces = 6\n"
                                                  "dither = \"1\" # on\n"
                                                  "dither-offset = x\n"
                                                  "dither-offset = \"4\n";
  std::string out = qbtest::run_in_child([&] {
    user.apply();
    if (chdir(dir.c_str()) != 0) return std::string("no chdir");
    EngineLibrary engine;
    std::string replies = join_replies(engine, {"get drawpieces", "get dither", "get dither-offset"});
    return replies + qbtest::read_file(user.log());
  });
  EXPECT_EQ(out.substr(0, 6), "6\n1\n0\n") << out;
  EXPECT_NE(out.find("engines/quillbar.ini line 4 skipped: invalid stoi argument\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("engines/quillbar.ini line 5 skipped: unterminated quoted value\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("current directory: " + dir + "\n"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir + "/engines/Quillbar.log"));
}

// A second engine running at the same time takes instance 1: its own name
// and its own log; when the first ends, its number is free again.
TEST(Library, SecondRunningEngineIsInstanceOne) {
  FreshUser user;
  int ready[2], go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    user.apply();
    EngineLibrary engine;
    std::string name = engine.command("name").reply;
    ssize_t ignored = write(ready[1], name.data(), name.size());
    char c;
    ignored = read(go[0], &c, 1);
    (void)ignored;
    _exit(0);
  }
  char buffer[128] = "";
  ssize_t n = read(ready[0], buffer, sizeof buffer - 1);
  ASSERT_GT(n, 0);
  EXPECT_STREQ(buffer, ENGINE_NAME);

  std::string second = qbtest::run_in_child([&] {
    user.apply();
    EngineLibrary engine;
    std::string before = engine.name();
    std::string after = engine.command("name").reply;
    std::string log = qbtest::read_file(user.log("[1]"));
    return before + "|" + after + "|" +
           (log.find("Quillbar(x64)[1] 1.19c\n") != std::string::npos ? "log" : "no log");
  });
  EXPECT_EQ(second, "Quillbar(x64) 1.19c|Quillbar(x64)[1] 1.19c|log");

  ASSERT_EQ(write(go[1], "x", 1), 1);
  int status = 0;
  waitpid(first, &status, 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);

  std::string third = qbtest::run_in_child([&] {
    user.apply();
    EngineLibrary engine;
    return engine.command("name").reply;
  });
  EXPECT_EQ(third, ENGINE_NAME);
}

}  // namespace
