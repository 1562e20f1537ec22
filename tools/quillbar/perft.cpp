// perft: counts the leaf positions of the legal-move tree, the standard check
// of a move generator (duplicate king captures count as separate moves).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "command_line.h"
#include "commands.h"

namespace {

constexpr int MAX_DEPTH = 30;

// Bulk counting: at the last ply the move count is the leaf count.
uint64_t perft(const qb::Position& p, int side, int depth) {
  qb::MoveList list;
  int n = qb::generate_moves(p, list, qb::Side(side));
  if (depth == 1) return uint64_t(n);
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) total += perft(list.moves[i], side ^ 1, depth - 1);
  return total;
}

}  // namespace

int run_perft(const Args& args) {
  std::string fen;
  int depth = 10;
  bool divide = false;
  CLI::App app{"Counts the leaf positions of the legal-move tree, depth by depth.", "quillbar perft"};
  cli::describe(app, "usage: quillbar perft [--fen FEN] [--depth N] [--divide]");
  app.add_option("--fen", fen, "position to count from (default the start)")->type_name("FEN");
  cli::add_int(app, "--depth", depth, 1, MAX_DEPTH, "--depth wants a number from 1 to 30",
               "plies (default 10)");
  app.add_flag("--divide", divide, "the count below each move of the root");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  qb::FenPosition root{qb::start_position(), qb::BLACK};
  if (!fen.empty()) {
    auto parsed = qb::parse_fen(fen);
    if (!parsed) return cli::refuse("perft", "cannot read the position '" + fen + "'");
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
    std::printf("perft %d: %llu  (%.3f s, %.1f M leaves/s)\n", d, (unsigned long long)leaves, seconds, rate);
    std::fflush(stdout);
  }
  return 0;
}
