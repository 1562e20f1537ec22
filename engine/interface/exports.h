// The host interface: the only symbols the engine library exports, with
// undecorated C names. Integers are 32-bit; texts are NUL-terminated.
#pragma once

#include <cstdint>

#include "board/movegen.h"
#include "board/position.h"
#include "search/result.h"  // the result codes getmove returns

#if defined(_WIN32)
#define QB_EXPORT extern "C" __declspec(dllexport)
#else
#define QB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace qb {
// The host's move list: exactly 30 entries.
constexpr int HOST_MOVELIST_SIZE = 30;
struct HostMoveList {
  int32_t count;
  Position moves[HOST_MOVELIST_SIZE];
};
}  // namespace qb

QB_EXPORT int32_t getmove(int32_t board[8][8], int32_t color, double maxtime, char* str, int32_t* playnow,
                          int32_t info, int32_t moreinfo);
QB_EXPORT int32_t enginecommand(const char* command, char* reply);
QB_EXPORT int32_t enginename(char* name);
QB_EXPORT int32_t engineabout(void* window);
QB_EXPORT int32_t enginehelp(char* text);
QB_EXPORT int32_t protocolversion(void);
QB_EXPORT int32_t staticevaluation(int32_t board[8][8], int32_t side, char* text);
QB_EXPORT int32_t build_movelist(const qb::Position* position, int32_t side, qb::HostMoveList* list,
                                 qb::CapturePath* paths);
QB_EXPORT int32_t qsearch(const qb::Position* position, int32_t side, qb::Position* end, int32_t* end_side,
                          char* text);
QB_EXPORT int32_t get_best_moves(const qb::Position* position, int32_t side, double maxtime, char* text,
                                 int32_t* stop, int32_t unused, int32_t margin, qb::HostMoveList* moves,
                                 int32_t* scores, int32_t min_depth);
QB_EXPORT int32_t DebugFunction1(void);
QB_EXPORT void DebugFunction2(void);
