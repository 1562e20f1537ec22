// Consistency check of a whole directory: every stored value must follow
// from the values after its moves. For win/loss/draw tables: a win has a
// move to a lost position, a loss only moves to won ones, a draw a drawing
// move and no winning one. Distance tables must match exactly, which also
// rules out wins that only go round in circles.
#include <cstdio>
#include <mutex>

#include "board/movegen.h"
#include "database.h"
#include "gen/commands.h"
#include "gen/parallel.h"
#include "gen/progress.h"
#include "gen/store.h"
#include "tablefile.h"

namespace tb {
namespace {

struct Counts {
  uint64_t wins = 0, losses = 0, draws = 0, skipped = 0, errors = 0;
  void add(const Counts& o) {
    wins += o.wins, losses += o.losses, draws += o.draws, skipped += o.skipped, errors += o.errors;
  }
};

int category(Code c) { return is_win(c) ? 1 : is_loss(c) ? 2 : 3; }

// The value the moves of p imply, in the table's own terms.
Code expected_value(const ValueStore& store, const qb::Position& p, Code stored) {
  qb::MoveList list;
  qb::generate_noncaptures(p, list, qb::BLACK);
  Outcome o;
  for (int k = 0; k < list.count; ++k) o.add(store.get(flip(list.moves[k])));
  Code plain = o.result();
  if (store.kind() != Kind::MTC || plain == DRAW || category(plain) != category(stored)) return plain;
  // Conversions: a man move ends the count at one ply; king moves add one
  // to the count after them. The winner keeps to winning moves.
  bool won = is_win(plain);
  int best = won ? MAX_PLIES : 0;
  for (int k = 0; k < list.count; ++k) {
    Code child = store.get(flip(list.moves[k]));
    if (won && !is_loss(child)) continue;
    int plies = list.moves[k].men(qb::BLACK) != p.men(qb::BLACK) ? 1 : plies_of(child) + 1;
    best = won ? std::min(best, plies) : std::max(best, plies);
  }
  return make_code(best, won);
}

bool matches(Kind kind, Code stored, Code expected) {
  return kind == Kind::WLD ? category(stored) == category(expected) : stored == expected;
}

Counts verify_slice(const ValueStore& store, const Material& m, int threads, uint64_t& shown) {
  Shape sh = shape_of(m);
  Counts total;
  std::mutex lock;
  parallel_for(sh.size, threads, [&](uint64_t begin, uint64_t end, int) {
    Counts c;
    qb::Position p;
    for (uint64_t i = begin; i < end; ++i) {
      if (!position_at(i, sh, p) || qb::has_capture(p, qb::BLACK)) {
        ++c.skipped;
        continue;
      }
      Code stored = store.get(p);
      (is_win(stored) ? c.wins : is_loss(stored) ? c.losses : c.draws) += 1;
      Code expected = expected_value(store, p, stored);
      if (matches(store.kind(), stored, expected)) continue;
      ++c.errors;
      std::lock_guard<std::mutex> hold(lock);
      if (shown++ < 10)
        std::printf("  mismatch in %s index %llu: stored %d, moves give %d\n", slice_name(m).c_str(),
                    (unsigned long long)i, stored, expected);
    }
    std::lock_guard<std::mutex> hold(lock);
    total.add(c);
  });
  return total;
}

// Every table file present, whole: header, index and every block. Prints
// one line per missing, unreadable or damaged file (a file is missing when
// another of its piece count is there) and returns how many there were.
int check_files(const std::string& dir, Kind kind) {
  int problems = 0;
  for (int n = 2; n <= MAX_PIECES; ++n) {
    if (!any_slice_present(dir, n, kind)) continue;
    for (const Material& m : slices_up_to(n)) {
      if (m.pieces() != n) continue;
      std::string why, path = table_path(dir, m, kind);
      std::vector<uint8_t> values;
      auto table = open_table(path, kind, m, why);
      if (table && read_all_blocks(*table, values, why)) continue;
      std::printf("  %s: %s\n", path.c_str(), why.c_str());
      ++problems;
    }
  }
  return problems;
}

// The kind of the tables in `dir`: the complete one, else the first with
// any file there.
bool kind_present(const std::string& dir, Kind& kind, int& pieces) {
  if (find_database(dir, kind, pieces)) return true;
  pieces = 1;
  for (Kind k : ALL_KINDS)
    for (int n = 2; n <= MAX_PIECES; ++n)
      if (any_slice_present(dir, n, k)) return kind = k, true;
  return false;
}

}  // namespace

int run_verify(const std::string& dir, int threads) {
  Kind kind;
  int pieces;
  if (!kind_present(dir, kind, pieces)) {
    std::fprintf(stderr, "tbgen: no database in %s\n", dir.c_str());
    return 1;
  }
  std::printf("%s: %s tables, %d pieces complete\n", dir.c_str(), kind_info(kind).extension, pieces);
  int damaged = check_files(dir, kind);
  if (damaged)
    std::printf("missing or damaged files: %d; the values of more than %d pieces are not checked\n", damaged,
                pieces);
  if (pieces < 2) return 1;
  std::printf("%-8s %12s %12s %12s %12s %12s %7s\n", "slice", "positions", "wins", "losses", "draws",
              "captures", "errors");
  ValueStore store(dir, kind, threads);
  std::string why;
  std::vector<Material> slices = slices_up_to(pieces);
  if (!store.require(slices, why)) {
    std::fprintf(stderr, "tbgen: %s\n", why.c_str());
    return 1;
  }
  Counts all;
  uint64_t shown = 0;
  for (const Material& m : slices) {
    Counts c = verify_slice(store, m, threads, shown);
    std::printf("%-8s %12llu %12llu %12llu %12llu %12llu %7llu\n", slice_name(m).c_str(),
                (unsigned long long)shape_of(m).size, (unsigned long long)c.wins,
                (unsigned long long)c.losses, (unsigned long long)c.draws, (unsigned long long)c.skipped,
                (unsigned long long)c.errors);
    all.add(c);
  }
  std::printf("total: %llu wins, %llu losses, %llu draws, %llu errors\n", (unsigned long long)all.wins,
              (unsigned long long)all.losses, (unsigned long long)all.draws, (unsigned long long)all.errors);
  return all.errors || damaged ? 1 : 0;
}

}  // namespace tb
