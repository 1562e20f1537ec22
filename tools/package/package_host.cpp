// The smallest host program: run from the folder of an unpacked package, it
// loads the engine from engines/ as a checkers program would, lets it play a
// few moves from the start and asks it how many pieces its endgame
// databases cover. Exit status 0 when the engine played and answered
// QB_EXPECTED_DB_PIECES; what went wrong otherwise.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/position.h"

#if defined(_WIN32)
#include <windows.h>
static const char* const ENGINE_FILE = "engines\\Quillbar64.dll";
static void* open_engine() { return reinterpret_cast<void*>(LoadLibraryA(ENGINE_FILE)); }
static void* symbol(void* lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
#else
#include <dlfcn.h>
static const char* const ENGINE_FILE = "./engines/libquillbar.so";
static void* open_engine() { return dlopen(ENGINE_FILE, RTLD_NOW | RTLD_LOCAL); }
static void* symbol(void* lib, const char* name) { return dlsym(lib, name); }
#endif

namespace {

using GetMove = int32_t (*)(int32_t[8][8], int32_t, double, char*, int32_t*, int32_t, int32_t);
using EngineCommand = int32_t (*)(const char*, char*);

constexpr int MOVES = 4;
constexpr double SECONDS_PER_MOVE = 0.2;
constexpr int32_t HOST_BLACK = 2, HOST_WHITE = 1;
constexpr uint32_t BLACK_START = 0x00000FFFu, WHITE_START = 0xFFF00000u;  // squares 1-12, 21-32
constexpr int REPLY_SIZE = 1024;

int fail(const std::string& why) {
  std::fprintf(stderr, "package host: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main() {
  void* engine = open_engine();
  if (!engine) return fail(std::string("cannot load ") + ENGINE_FILE);
  auto getmove = reinterpret_cast<GetMove>(symbol(engine, "getmove"));
  auto enginecommand = reinterpret_cast<EngineCommand>(symbol(engine, "enginecommand"));
  if (!getmove || !enginecommand) return fail("the engine lacks getmove or enginecommand");

  int32_t board[8][8];
  qb::to_host_board(qb::Position{{BLACK_START, WHITE_START}, 0}, board);
  int32_t color = HOST_BLACK;
  for (int i = 0; i < MOVES; ++i) {
    const qb::Position before = qb::from_host_board(board);
    char status[REPLY_SIZE] = "";
    int32_t playnow = 0;
    getmove(board, color, SECONDS_PER_MOVE, status, &playnow, 0, 0);
    const qb::Position after = qb::from_host_board(board);
    if (std::memcmp(&before, &after, sizeof before) == 0) return fail("the engine did not move");
    std::printf("move %d: %s\n", i + 1, status);
    color = color == HOST_BLACK ? HOST_WHITE : HOST_BLACK;
  }

  char reply[REPLY_SIZE] = "";
  if (!enginecommand("get dbpieces", reply)) return fail("get dbpieces was not understood");
  std::printf("dbpieces %s\n", reply);
  if (std::string(reply) != QB_EXPECTED_DB_PIECES) {
    return fail(std::string("the endgame databases cover ") + reply + " pieces, not " +
                QB_EXPECTED_DB_PIECES);
  }
  return 0;
}
