// perft: counts the leaf positions of the legal-move tree, the standard check
// of a move generator (duplicate king captures count as separate moves).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "commands.h"

namespace {

// Bulk counting: at the last ply the move count is the leaf count.
uint64_t perft(const qb::Position& p, int side, int depth) {
  qb::MoveList list;
  int n = qb::generate_moves(p, list, qb::Side(side));
  if (depth == 1) return uint64_t(n);
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) total += perft(list.moves[i], side ^ 1, depth - 1);
  return total;
}

bool parse_int(const std::string& s, int& out) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end || v < 1 || v > 30) return false;
  out = int(v);
  return true;
}

}  // namespace

int run_perft(const Args& args) {
  std::string fen;
  int depth = 10;
  bool divide = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--fen" && i + 1 < args.size()) fen = args[++i];
    else if (args[i] == "--depth" && i + 1 < args.size()) {
      if (!parse_int(args[++i], depth)) {
        std::fprintf(stderr, "perft: --depth wants a number from 1 to 30\n");
        return 2;
      }
    } else if (args[i] == "--divide") divide = true;
    else {
      std::fprintf(stderr, "perft: unknown option '%s'\n", args[i].c_str());
      return 2;
    }
  }
  qb::FenPosition root{qb::start_position(), qb::BLACK};
  if (!fen.empty()) {
    auto parsed = qb::parse_fen(fen);
    if (!parsed) {
      std::fprintf(stderr, "perft: cannot read the position '%s'\n", fen.c_str());
      return 2;
    }
    root = *parsed;
  }
  std::printf("%s\n", qb::position_text(root.position, root.side).c_str());
  if (divide) {
    qb::MoveList list;
    int n = qb::generate_moves(root.position, list, root.side);
    uint64_t total = 0;
    for (int i = 0; i < n; ++i) {
      char text[qb::MOVE_TEXT_SIZE];
      uint64_t count = depth > 1 ? perft(list.moves[i], root.side ^ 1, depth - 1) : 1;
      total += count;
      std::printf("%-6s %llu\n", qb::move_text(text, root.position, list.moves[i]),
                  (unsigned long long)count);
    }
    std::printf("total %llu\n", (unsigned long long)total);
    return 0;
  }
  for (int d = 1; d <= depth; ++d) {
    auto start = std::chrono::steady_clock::now();
    uint64_t leaves = perft(root.position, root.side, d);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = seconds > 0 ? leaves / seconds / 1e6 : 0;
    std::printf("perft %d: %llu  (%.3f s, %.1f M leaves/s)\n", d, (unsigned long long)leaves,
                seconds, rate);
    std::fflush(stdout);
  }
  return 0;
}
