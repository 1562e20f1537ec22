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
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis.h"
#include "book/book.h"
#include "book/book_writer.h"
#include "board/movegen.h"
#include "book_tree.h"

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

int usage() {
  std::fprintf(stderr,
               "usage: bookgen [--out FILE] [--positions N] [--depth D] [--hash MB]\n"
               "               [--weights DIR] [--max-ply P] [--ply-cost C]\n"
               "               [--second-margin M] [--save-every N] [--minutes T]\n");
  return 2;
}

bool parse_int(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return false;
  out = int(v);
  return true;
}

bool parse_options(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    bool ok = true;
    if (flag == "--out") o.out = value;
    else if (flag == "--weights") o.weights_dir = value;
    else if (flag == "--positions") ok = parse_int(value, 1, 1000000, o.positions);
    else if (flag == "--depth") ok = parse_int(value, 1, 40, o.depth);
    else if (flag == "--hash") ok = parse_int(value, 1, 4096, o.hash_mb);
    else if (flag == "--max-ply") ok = parse_int(value, 1, 200, o.tree.max_ply);
    else if (flag == "--ply-cost") ok = parse_int(value, 0, 1000, o.tree.ply_cost);
    else if (flag == "--second-margin") ok = parse_int(value, 0, 100, o.tree.second_margin);
    else if (flag == "--save-every") ok = parse_int(value, 1, 1000000, o.save_every);
    else if (flag == "--minutes") o.minutes = std::atof(value);
    else ok = false;
    if (!ok) {
      std::fprintf(stderr, "bookgen: bad option %s %s\n", flag.c_str(), value);
      return false;
    }
  }
  if (!o.weights_dir.empty() && o.weights_dir.back() != '/') o.weights_dir += '/';
  return true;
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
    if (slot == qb::BOOK_NOT_FOUND || qb::book_decode(slot, b.position.kings).first >= count)
      return false;
  }
  qb::free_book();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, o)) return usage();
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
                  tree.expanded_count(), o.positions, tree.searches(), tree.deepest_expanded_ply(),
                  seconds(), tree.searches() / std::max(seconds(), 1e-3), tree.root_value(),
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
  std::printf("wrote %s: %zu positions, %d searches of depth %d, %llu nodes, %.0f s\n",
              o.out.c_str(), positions.size(), tree.searches(), o.depth, bookgen::analysis_nodes(),
              seconds());
  return 0;
}
