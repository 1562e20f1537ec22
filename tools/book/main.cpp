// bookgen: grows an opening book from the start position by searching every
// position it adds, and writes it in the engine's book format.
//
//   bookgen [--out FILE] [--positions N] [--depth D] [--hash MB] [--weights DIR]
//           [--max-ply P] [--ply-cost C] [--second-margin M] [--save-every N]
//           [--minutes T]
//
// The book is saved every --save-every positions, so an interrupted run
// still leaves a usable book, and checked by loading it back at the end.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "analysis.h"
#include "board/movegen.h"
#include "book/book.h"
#include "book/book_writer.h"
#include "book_tree.h"
#include "command_line.h"

namespace {

struct Options {
  std::string out = "Quillbar.odb";
  int positions = 5000;
  int depth = 9;
  int hash_mb = 64;
  std::string weights_dir = "engines/";
  int save_every = 500;
  double minutes = 0;  // 0: no limit
  bookgen::TreeOptions tree;
};

// Reads the command line into `o`; returns the status to end with when
// there is no book to grow (help asked for, or a mistake).
std::optional<int> parse_options(int argc, char** argv, Options& o) {
  CLI::App app{"Grows an opening book from the start position by searching every position it adds.",
               "bookgen"};
  cli::describe(app,
                "usage: bookgen [--out FILE] [--positions N] [--depth D] [--hash MB]\n"
                "               [--weights DIR] [--max-ply P] [--ply-cost C]\n"
                "               [--second-margin M] [--save-every N] [--minutes T]");
  auto add_int = [&app](const std::string& name, int& target, int low, int high, const std::string& help) {
    cli::add_int(app, name, target, low, high,
                 name + " wants " + std::to_string(low) + " to " + std::to_string(high), help);
  };
  app.add_option("--out", o.out, "the book file (default Quillbar.odb)")->type_name("FILE");
  add_int("--positions", o.positions, 1, 1000000, "positions to expand (default 5000)");
  add_int("--depth", o.depth, 1, 40, "plies searched per position (default 9)");
  add_int("--hash", o.hash_mb, 1, 4096, "hash table in MB (default 64)");
  app.add_option("--weights", o.weights_dir, "weights directory (default engines/)")->type_name("DIR");
  add_int("--max-ply", o.tree.max_ply, 1, 200, "positions this deep are never expanded (default 40)");
  add_int("--ply-cost", o.tree.ply_cost, 0, 1000, "priority per ply with a choice of moves (default 10)");
  add_int("--second-margin", o.tree.second_margin, 0, 100,
          "a second move is stored when this close to the best (default 4)");
  add_int("--save-every", o.save_every, 1, 1000000, "save the book every N positions (default 500)");
  cli::add_double(app, "--minutes", o.minutes, 0, 1e9, "--minutes wants a number of minutes",
                  "stop after T minutes (default 0: no limit)");
  if (std::optional<int> status = cli::parse(app, argc, argv)) return status;
  if (!o.weights_dir.empty() && o.weights_dir.back() != '/') o.weights_dir += '/';
  return std::nullopt;
}

bool save(const bookgen::BookTree& tree, const std::string& path) {
  std::string error;
  if (qb::write_book(path, tree.book_positions(), &error)) return true;
  std::fprintf(stderr, "bookgen: %s\n", error.c_str());
  return false;
}

// Loads the written book back and finds every position with its first move.
bool verify(const std::vector<qb::BookPosition>& positions, const std::string& path) {
  if (!qb::load_book(path.c_str(), 0)) return false;
  for (const qb::BookPosition& b : positions) {
    int slot = qb::book_find(b.position, b.side);
    qb::MoveList moves;
    int count = qb::generate_moves(b.position, moves, b.side);
    if (slot == qb::BOOK_NOT_FOUND || qb::book_decode(slot, b.position.kings).first >= count) return false;
  }
  qb::free_book();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (std::optional<int> status = parse_options(argc, argv, o)) return *status;
  std::string error;
  if (!bookgen::start_analysis(o.hash_mb, o.weights_dir, &error)) {
    std::fprintf(stderr, "bookgen: %s\n", error.c_str());
    return 1;
  }
  const int depth = o.depth;
  bookgen::BookTree tree(o.tree, [depth](const qb::Position& p, qb::Side side) {
    return bookgen::analyse(p, side, depth).value;
  });

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  while (tree.expanded_count() < o.positions && tree.expand_next()) {
    if (tree.expanded_count() % 100 == 0) {
      std::printf("%d/%d positions, %d searched, ply %d, %.0f s, %.1f searches/s, value %d: %s\n",
                  tree.expanded_count(), o.positions, tree.searches(), tree.deepest_expanded_ply(), seconds(),
                  tree.searches() / std::max(seconds(), 1e-3), tree.root_value(),
                  tree.principal_line().c_str());
      std::fflush(stdout);
    }
    if (tree.expanded_count() % o.save_every == 0 && !save(tree, o.out)) return 1;
    if (o.minutes > 0 && seconds() > o.minutes * 60) {
      std::printf("time limit reached\n");
      break;
    }
  }
  std::vector<qb::BookPosition> positions = tree.book_positions();
  if (!save(tree, o.out)) return 1;
  if (!verify(positions, o.out)) {
    std::fprintf(stderr, "bookgen: %s does not read back as written\n", o.out.c_str());
    return 1;
  }
  std::printf("wrote %s: %zu positions, %d searches of depth %d, %llu nodes, %.0f s\n", o.out.c_str(),
              positions.size(), tree.searches(), o.depth, bookgen::analysis_nodes(), seconds());
  return 0;
}
