// The engine library as a host uses it: loaded at run time, driven only
// through its exports. The same checks run against libquillbar.so and, under
// Wine, against Quillbar64.dll.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "interface/exports.h"
#include "platform/platform.h"
#include "support/build_files.h"
#include "support/temp_env.h"

#ifdef _WIN32
#include "platform/windows/win.h"
#include <tlhelp32.h>
#else
#include <filesystem>
#endif

using namespace qb;

namespace {

constexpr int TEXT_SIZE = 1024;
constexpr int HOST_BLACK = 2, HOST_WHITE = 1;  // the colour codes hosts pass
constexpr const char* SECOND_PROCESS_VARIABLE = "QBTEST_SECOND_PROCESS";
// Where ZeroTimeGameRepeats writes its moves, for comparing two builds.
constexpr const char* GAME_RECORD_VARIABLE = "QBTEST_GAME_RECORD";

const char* const EXPORT_NAMES[] = {
    "getmove",          "enginecommand",  "enginename", "engineabout",    "enginehelp",     "protocolversion",
    "staticevaluation", "build_movelist", "qsearch",    "get_best_moves", "DebugFunction1", "DebugFunction2",
};

// The exports, looked up by name as a host does.
struct Engine {
  qbtest::SharedLibrary library;
  decltype(&::getmove) getmove = library.function<decltype(::getmove)>("getmove");
  decltype(&::enginecommand) enginecommand = library.function<decltype(::enginecommand)>("enginecommand");
  decltype(&::enginename) enginename = library.function<decltype(::enginename)>("enginename");
  decltype(&::engineabout) engineabout = library.function<decltype(::engineabout)>("engineabout");
  decltype(&::enginehelp) enginehelp = library.function<decltype(::enginehelp)>("enginehelp");
  decltype(&::protocolversion) protocolversion =
      library.function<decltype(::protocolversion)>("protocolversion");
  decltype(&::staticevaluation) staticevaluation =
      library.function<decltype(::staticevaluation)>("staticevaluation");
  decltype(&::build_movelist) build_movelist = library.function<decltype(::build_movelist)>("build_movelist");
  decltype(&::qsearch) qsearch = library.function<decltype(::qsearch)>("qsearch");
  decltype(&::get_best_moves) get_best_moves = library.function<decltype(::get_best_moves)>("get_best_moves");
  decltype(&::DebugFunction1) debug1 = library.function<decltype(::DebugFunction1)>("DebugFunction1");
  decltype(&::DebugFunction2) debug2 = library.function<decltype(::DebugFunction2)>("DebugFunction2");

  std::string command(const std::string& text, int32_t* result = nullptr) {
    char reply[TEXT_SIZE] = "";
    int32_t r = enginecommand(text.c_str(), reply);
    if (result) *result = r;
    return reply;
  }
};

// The library loaded, with the exports the test goes on to call.
#define ASSERT_EXPORTS(e, ...)                                                            \
  do {                                                                                    \
    ASSERT_TRUE((e).library.loaded()) << qbtest::engine_library_path();                   \
    for (const char* name : {__VA_ARGS__}) ASSERT_TRUE((e).library.symbol(name)) << name; \
  } while (0)

std::string log_folder() {
  return platform::join_path(platform::join_path(platform::documents_folder(), "Orvandel"), "Quillbar");
}

// Text mode: the log's lines end in "\r\n" on Windows.
std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<Position> successors(const Position& p, Side side) {
  MoveList list;
  int n = generate_moves(p, list, side);
  return std::vector<Position>(list.moves, list.moves + n);
}

bool contains(const std::vector<Position>& moves, const Position& p) {
  for (const Position& m : moves)
    if (m == p) return true;
  return false;
}

// Runs `show` (which shows the about box) and returns the box's text after
// pressing its OK button; fails the test when no box appears.
#ifdef _WIN32
std::string press_ok_on_about_box(const std::function<void()>& show) {
  std::atomic<bool> done{false};
  std::string text;
  bool found = false;
  std::thread watcher([&] {
    while (!done) {
      if (HWND box = FindWindowA(nullptr, "engine info")) {
        char body[TEXT_SIZE] = "";
        GetDlgItemTextA(box, 0xFFFF, body, sizeof body);  // the box's static text
        text = body;
        found = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(10);
    }
  });
  show();
  done = true;
  watcher.join();
  EXPECT_TRUE(found) << "no message box with caption \"engine info\" and an OK button only";
  return text;
}
#endif

}  // namespace

TEST(Library, ExportsEveryHostFunction) {
  qbtest::SharedLibrary library;
  ASSERT_TRUE(library.loaded()) << qbtest::engine_library_path();
  for (const char* name : EXPORT_NAMES) EXPECT_NE(library.symbol(name), nullptr) << name;
  // Internal names stay hidden.
  EXPECT_EQ(library.symbol("initialise_engine"), nullptr);
  EXPECT_EQ(library.symbol("_ZN2qb17initialise_engineEv"), nullptr);
}

#ifdef _WIN32
// The DLL's export table holds exactly the host interface, undecorated.
TEST(Library, ExportTableIsExactlyTheHostInterface) {
  qbtest::SharedLibrary library;
  ASSERT_TRUE(library.loaded());
  auto* base = static_cast<const BYTE*>(library.native_handle());
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(dir.VirtualAddress, 0u);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> exported;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    exported.push_back(reinterpret_cast<const char*>(base + names[i]));
  std::vector<std::string> expected(std::begin(EXPORT_NAMES), std::end(EXPORT_NAMES));
  std::sort(exported.begin(), exported.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(exported, expected);
  EXPECT_EQ(exports->NumberOfFunctions, DWORD(expected.size()));  // none by ordinal only
}
#endif

TEST(Library, InformationalExportsNeedNoStartUp) {
  Engine e;
  ASSERT_EXPORTS(e, "enginename", "protocolversion", "staticevaluation", "DebugFunction1", "DebugFunction2");
  char text[TEXT_SIZE] = "";
  EXPECT_EQ(e.enginename(text), 1);
  EXPECT_STREQ(text, "Quillbar(x64) 1.19c");
  EXPECT_EQ(e.protocolversion(), 2);

  int32_t board[8][8];
  to_host_board(start_position(), board);
  EXPECT_EQ(e.staticevaluation(board, HOST_BLACK, text), 1);
  EXPECT_STREQ(text, "This engine does not use static evaluation\n");

  uint32_t first = uint32_t(e.debug1());
  platform::sleep_ms(20);
  EXPECT_GE(uint32_t(e.debug1()) - first, 15u);
  e.debug2();
}

TEST(Library, StartUpWritesTheLogAndAnswersCommands) {
  Engine e;
  ASSERT_EXPORTS(e, "enginecommand", "enginehelp", "engineabout");
  int32_t result = -1;
  EXPECT_EQ(e.command("name", &result), "Quillbar(x64) 1.19c");
  EXPECT_EQ(result, 1);
  e.command("frobnicate", &result);
  EXPECT_EQ(result, 0);

  std::string log = read_file(platform::join_path(log_folder(), "Quillbar.log"));
  EXPECT_NE(log.find("Quillbar(x64) 1.19c\n"), std::string::npos) << log;
  EXPECT_NE(log.find("installed RAM: "), std::string::npos) << log;
  EXPECT_NE(log.find("current directory: " + platform::current_directory() + "\n"), std::string::npos) << log;

  char text[TEXT_SIZE] = "";
  EXPECT_EQ(e.enginehelp(text), 1);
  EXPECT_STREQ(text, "QuillbarHelp.htm");

  // The about box shows the about text under the caption "engine info".
  std::string about = e.command("about");
  EXPECT_NE(about.find("Quillbar"), std::string::npos) << about;
#ifdef _WIN32
  std::string shown = press_ok_on_about_box([&] { EXPECT_EQ(e.engineabout(nullptr), 1); });
#else
  testing::internal::CaptureStderr();
  EXPECT_EQ(e.engineabout(nullptr), 1);
  std::string shown = testing::internal::GetCapturedStderr();
  shown = shown.substr(shown.find('\n') + 1);  // after the caption line
  ASSERT_FALSE(shown.empty());
  shown.pop_back();  // the closing newline
#endif
  EXPECT_EQ(shown, about);
}

TEST(Library, MoveListAndCaptureSearch) {
  Engine e;
  ASSERT_EXPORTS(e, "build_movelist", "qsearch");
  Position start = start_position();
  HostMoveList list{};
  std::vector<CapturePath> paths(HOST_MOVELIST_SIZE);
  ASSERT_EQ(e.build_movelist(&start, BLACK, &list, paths.data()), 7);
  EXPECT_EQ(list.count, 7);
  EXPECT_EQ(paths[0].jumps, 0);
  std::vector<Position> expected = successors(start, BLACK);
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(contains(expected, list.moves[i])) << i;

  // A quiet position is its own capture-search end point.
  Position end{};
  int32_t end_side = -1;
  char text[TEXT_SIZE] = "not cleared";
  e.qsearch(&start, BLACK, &end, &end_side, text);
  EXPECT_EQ(end, start);
  EXPECT_EQ(end_side, BLACK);
  EXPECT_STREQ(text, "");
}

TEST(Library, PlaysLegalMovesForBothSides) {
  Engine e;
  ASSERT_EXPORTS(e, "getmove");
  int32_t board[8][8];
  to_host_board(start_position(), board);
  int color = HOST_BLACK;
  for (int ply = 0; ply < 6; ++ply) {
    Position before = from_host_board(board);
    Side side = host_color_to_side(color);
    char status[TEXT_SIZE] = "";
    int32_t playnow = 0;
    int32_t result = e.getmove(board, color, 0.2, status, &playnow, ply == 0 ? 1 : 0, 0);
    EXPECT_EQ(result, QB_UNKNOWN) << status;
    Position after = from_host_board(board);
    ASSERT_TRUE(contains(successors(before, side), after)) << "ply " << ply << ": " << status;
    EXPECT_STRNE(status, "") << ply;
    color = color == HOST_BLACK ? HOST_WHITE : HOST_BLACK;
  }

  // A man on its own crowning row: no move, the board as it was.
  Position illegal = start_position();
  illegal.pieces[WHITE] &= ~(1u << 29);
  illegal.pieces[BLACK] |= 1u << 29;  // a black man on 30
  to_host_board(illegal, board);
  char status[TEXT_SIZE] = "";
  int32_t playnow = 0;
  EXPECT_EQ(e.getmove(board, HOST_BLACK, 0.2, status, &playnow, 0, 0), QB_UNKNOWN);
  EXPECT_STREQ(status, "Illegal position.");
  EXPECT_EQ(from_host_board(board), illegal);
}

TEST(Library, BestMovesListEveryRootMove) {
  Engine e;
  ASSERT_EXPORTS(e, "get_best_moves");
  Position start = start_position();
  HostMoveList moves{};
  int32_t scores[HOST_MOVELIST_SIZE] = {};
  char status[TEXT_SIZE] = "";
  int32_t stop = 0;
  EXPECT_EQ(e.get_best_moves(&start, BLACK, 0.2, status, &stop, 0, 10, &moves, scores, 0), 0);
  ASSERT_EQ(moves.count, 7);
  std::vector<Position> expected = successors(start, BLACK);
  for (int i = 0; i < moves.count; ++i) EXPECT_TRUE(contains(expected, moves.moves[i])) << i;
}

TEST(Library, SettingsPersistAcrossLoads) {
  int hash = 0;
  std::string dbpath = "my db folder";
  {
    Engine e;
    ASSERT_EXPORTS(e, "enginecommand");
    hash = std::atoi(e.command("get hashsize").c_str()) == 64 ? 32 : 64;
    EXPECT_EQ(e.command("set hashsize " + std::to_string(hash)),
              "hashsize set to " + std::to_string(hash) + "mb");
    EXPECT_EQ(e.command("set dbpath " + dbpath), "dbpath set to " + dbpath);
  }
  Engine reloaded;
  ASSERT_EXPORTS(reloaded, "enginecommand");
  EXPECT_EQ(reloaded.command("get hashsize"), std::to_string(hash));
  EXPECT_EQ(reloaded.command("get dbpath"), dbpath);
}

// The engine finds a database through the driver library and plays from it:
// a three-piece database built here, two kings against one.
TEST(Library, EndgameDatabaseThroughTheDriver) {
  std::string db = platform::join_path(qbtest::make_temp_dir("endgame"), "wld");
  ASSERT_EQ(qbtest::run_quietly(qbtest::build_program("tbgen") + " build -n 3 --wld " + db), 0);
  Engine e;
  ASSERT_EXPORTS(e, "enginecommand", "getmove");
  EXPECT_EQ(e.command("set check_wld_dir " + db), "Quillbar WLD database found for 3 pieces");
  e.command("set dbpath " + db);
  e.command("set enable_wld 1");
  // Black kings on 14 and 23 against a white king on 32, black to move.
  Position p{{(1u << 13) | (1u << 22), 1u << 31}, (1u << 13) | (1u << 22) | (1u << 31)};
  int32_t board[8][8];
  to_host_board(p, board);
  char status[TEXT_SIZE] = "";
  int32_t playnow = 0;
  int32_t result = e.getmove(board, HOST_BLACK, 0.5, status, &playnow, 1, 0);
  EXPECT_TRUE(contains(successors(p, BLACK), from_host_board(board))) << status;
  EXPECT_EQ(e.command("get dbpieces"), "3");
  EXPECT_EQ(result, QB_WIN) << status;
}

// A search with no time at all stops at a point fixed by its node count, so
// with the same settings and weights one thread plays the same game on every
// build: a fresh library plays it twice alike here, and the Wine stage
// compares this build's game with the Linux library's.
std::vector<std::string> zero_time_game(int plies) {
  Engine e;
  EXPECT_TRUE(e.library.loaded() && e.getmove && e.enginecommand);
  if (!e.library.loaded() || !e.getmove || !e.enginecommand) return {};
  for (const char* setting :
       {"set hashsize 16", "set searchthreads 1", "set book 0", "set enable_wld 0", "set dither 0"})
    e.command(setting);
  std::vector<std::string> moves;
  int32_t board[8][8];
  to_host_board(start_position(), board);
  int color = HOST_BLACK;
  for (int ply = 0; ply < plies; ++ply) {
    Position before = from_host_board(board);
    char status[TEXT_SIZE] = "";
    int32_t playnow = 0;
    int32_t result = e.getmove(board, color, 0.0, status, &playnow, ply == 0 ? 1 : 0, 0);
    Position after = from_host_board(board);
    if (!contains(successors(before, host_color_to_side(color)), after)) {
      ADD_FAILURE() << "ply " << ply << ": illegal move; " << status;
      break;
    }
    char text[MOVE_TEXT_SIZE];
    moves.push_back(move_text(text, before, after));
    if (result != QB_UNKNOWN) break;
    color = color == HOST_BLACK ? HOST_WHITE : HOST_BLACK;
  }
  return moves;
}

TEST(Library, ZeroTimeGameRepeats) {
  constexpr int PLIES = 24;
  std::vector<std::string> first = zero_time_game(PLIES);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(zero_time_game(PLIES), first);
  if (const char* record = std::getenv(GAME_RECORD_VARIABLE); record && *record) {
    std::ofstream out(record, std::ios::binary);
    for (const std::string& move : first) out << move << '\n';
  }
}

// Unloading runs the shutdown, which gives the instance number back: a
// library loaded afterwards in the same process is instance 0 again.
TEST(Instances, UnloadingFreesTheNumber) {
  for (int load = 0; load < 2; ++load) {
    Engine e;
    ASSERT_EXPORTS(e, "enginecommand");
    EXPECT_EQ(e.command("name"), "Quillbar(x64) 1.19c") << "load " << load;
  }
}

int process_threads() {
  int count = 0;
#ifdef _WIN32
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (bool more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
#else
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
#endif
  return count;
}

// The search threads must have ended when the library is unloaded: one left
// running in the unmapped code would crash the host. The process loses the
// engine's helper thread (there is one on a machine with two processors or
// more) with the library; the system may start threads of its own meanwhile
// (Wine does), but never ends one. A thread may take a moment to vanish from
// the system's list after it has left the library.
TEST(Instances, UnloadingEndsTheSearchThreads) {
  const int helpers = platform::processor_count() > 1 ? 1 : 0;
  for (int load = 0; load < 3; ++load) {
    SCOPED_TRACE(load);
    int while_loaded;
    {
      Engine e;
      ASSERT_EXPORTS(e, "enginecommand", "getmove");
      e.command("set searchthreads 2");
      e.command("set enable_wld 0");  // no database set-up: no wait for one that is missing
      int32_t board[8][8];
      to_host_board(start_position(), board);
      char text[TEXT_SIZE] = "";
      int32_t playnow = 0;
      EXPECT_EQ(e.getmove(board, HOST_BLACK, 0.2, text, &playnow, 1, 0), QB_UNKNOWN);
      EXPECT_TRUE(contains(successors(start_position(), BLACK), from_host_board(board)));
      while_loaded = process_threads();
    }
    const int expected = while_loaded - helpers;
    for (int wait_ms = 0; process_threads() > expected && wait_ms < 2000; wait_ms += 10)
      platform::sleep_ms(10);
    EXPECT_LE(process_threads(), expected);
  }
}

#ifndef _WIN32
// A host should not unload the engine while getmove runs. If it does, the
// engine stops the search and waits for it before it frees the hash table
// and the rest: the call returns a legal move before the unload is over
// (freed or unmapped under the search, it would crash or corrupt memory).
TEST(Instances, UnloadingDuringASearchStopsAndWaitsForIt) {
  auto e = std::make_unique<Engine>();
  ASSERT_EXPORTS(*e, "enginecommand", "getmove");
  e->command("set searchthreads 2");
  e->command("set enable_wld 0");
  int32_t board[8][8];
  to_host_board(start_position(), board);
  char text[TEXT_SIZE] = "";
  int32_t playnow = 0, result = -1;
  std::atomic<bool> returned{false};
  std::thread host([&, getmove = e->getmove] {
    result = getmove(board, HOST_BLACK, 60.0, text, &playnow, 1, 0);
    returned = true;
  });
  platform::sleep_ms(1000);  // well into the search
  ASSERT_FALSE(returned.load());
  e.reset();  // unloads the library
  EXPECT_TRUE(returned.load()) << "the library was unloaded under a running search";
  host.join();
  EXPECT_EQ(result, QB_UNKNOWN);
  EXPECT_TRUE(contains(successors(start_position(), BLACK), from_host_board(board)));
}
#endif

// Two engines at once, each in its own process: the second takes instance
// number 1, names itself with the suffix and writes its own log.
TEST(Instances, SecondProcessGetsNumberOne) {
  Engine first;
  ASSERT_EXPORTS(first, "enginecommand");
  ASSERT_EQ(first.command("name"), "Quillbar(x64) 1.19c");

  std::string report = platform::join_path(qbtest::make_temp_dir("second"), "name.txt");
  qbtest::set_env(SECOND_PROCESS_VARIABLE, report);
  int exit_code = qbtest::run_this_program("SecondProcess.ReportsItsName");
  qbtest::set_env(SECOND_PROCESS_VARIABLE, "");
  ASSERT_EQ(exit_code, 0);
  EXPECT_EQ(read_file(report), "Quillbar(x64)[1] 1.19c");
  std::string second_log = read_file(platform::join_path(log_folder(), "Quillbar[1].log"));
  EXPECT_NE(second_log.find("Quillbar(x64)[1] 1.19c\n"), std::string::npos) << second_log;
}

TEST(SecondProcess, ReportsItsName) {
  const char* report = std::getenv(SECOND_PROCESS_VARIABLE);
  if (!report || !*report) GTEST_SKIP() << "started by Instances.SecondProcessGetsNumberOne";
  Engine e;
  ASSERT_EXPORTS(e, "enginecommand", "enginename");
  char name[TEXT_SIZE] = "";
  e.enginename(name);
  EXPECT_STREQ(name, "Quillbar(x64) 1.19c");  // no start-up yet: no suffix
  e.command("get hashsize");
  e.enginename(name);
  std::ofstream(report, std::ios::binary) << name;
}
