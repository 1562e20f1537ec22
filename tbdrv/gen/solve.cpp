#include "gen/solve.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "board/movegen.h"
#include "gen/huge_pages.h"
#include "gen/parallel.h"

namespace tb {
namespace {

// While a position is undecided its code carries this flag and, below it,
// the plies of its slowest loss through moves that leave the unit.
constexpr Code PENDING = 0x8000;
// Counter of a position that cannot lose (a successor is not won by the
// opponent), or that takes no part.
constexpr uint8_t CANNOT_LOSE = 255;

// Read from win/loss/draw tables, a move leaving the unit wins at once
// (WLD_LOSS has no plies) or loses after at most two plies (WLD_WIN has
// one), so every position the unit's own moves do not decide is decided
// by level 2. That lets such a build keep its counters inside the pending
// codes and find its first levels by sweeping the codes instead of
// listing them: the counters' byte and the lists' 4 bytes a position were
// most of a large unit's peak. A pending code then holds, below PENDING:
constexpr Code EXTERNAL_WIN = 0x4000;   // a move leaving the unit wins
constexpr int EXTERNAL_LOSS_SHIFT = 8;  // slowest loss through such moves
constexpr Code COUNTER_MASK = 0xFF;     // as `counters_`, CANNOT_LOSE included
constexpr int LAST_EXTERNAL_LEVEL = plies_of(WLD_WIN) + 1;
static_assert(plies_of(WLD_LOSS) + 1 <= LAST_EXTERNAL_LEVEL);
static_assert(LAST_EXTERNAL_LEVEL < (EXTERNAL_WIN >> EXTERNAL_LOSS_SHIFT));

// Squares one step away, toward higher and lower numbers, from the engine's
// own move generator so that the geometry has one source.
struct Steps {
  uint32_t up[32], down[32];
  Steps() {
    for (int s = 0; s < 32; ++s) {
      uint32_t sq = 1u << s;
      qb::Position p{{sq, 0}, sq};
      qb::MoveList list;
      qb::generate_noncaptures(p, list, qb::BLACK);
      up[s] = down[s] = 0;
      for (int i = 0; i < list.count; ++i) {
        uint32_t to = list.moves[i].black();
        (to > sq ? up[s] : down[s]) |= to;
      }
    }
  }
};
const Steps STEPS;

struct Buckets {
  std::vector<std::vector<uint32_t>> win, loss;  // by level

  void add(bool won, int level, uint32_t id) {
    auto& b = won ? win : loss;
    if (b.size() <= size_t(level)) b.resize(level + 1);
    b[level].push_back(id);
  }
  void merge(Buckets& other) {
    for (int w = 0; w < 2; ++w) {
      auto& to = w ? win : loss;
      auto& from = w ? other.win : other.loss;
      if (to.size() < from.size()) to.resize(from.size());
      // Exact reservations and each level freed once copied: the first
      // levels hold a good share of the unit, and growing them by
      // doubling beside the other thread's copy set the build's peak.
      for (size_t l = 0; l < from.size(); ++l) {
        if (to[l].empty()) {
          to[l].swap(from[l]);
          continue;
        }
        to[l].reserve(to[l].size() + from[l].size());
        to[l].insert(to[l].end(), from[l].begin(), from[l].end());
        std::vector<uint32_t>().swap(from[l]);
      }
    }
    other = Buckets{};
  }
  size_t levels() const { return std::max(win.size(), loss.size()); }
};

// The positions decided at one level, the won ones first, so that
// expanding them needs no look at their codes (a cache miss each).
struct Level {
  std::vector<uint32_t> ids;
  size_t won = 0;  // ids[0, won) are won, the rest lost
};

struct ThreadWork {
  std::vector<uint32_t> next_won, next_lost;
  bool overflow = false;  // packed build: the next level is swept, not listed
  Buckets buckets;
};

// A packed build lists at most this share of its positions a level (per
// list and thread) and sweeps the codes for larger levels: those lists
// set its peak, and a level that large costs more to expand than to sweep.
constexpr uint64_t LISTED_SHARE = 64;
constexpr uint64_t MIN_LISTED = 1024;

enum class Mode { DISTANCE, CONVERSION };

class Solver {
 public:
  Solver(const UnitTables& unit, Mode mode, const ValueStore& store, int threads)
      : unit_(unit),
        mode_(mode),
        store_(store),
        threads_(threads),
        packed_(mode == Mode::DISTANCE && store.kind() == Kind::WLD) {
    offset_[0] = 0;
    offset_[1] = unit.shape[0].size;
    uint64_t total = unit.shape[0].size + (unit.parts == 2 ? unit.shape[1].size : 0);
    if (total >= (uint64_t(1) << 32)) throw std::runtime_error("unit too large for 32-bit ids");
    list_limit_ = std::max(MIN_LISTED, total / LISTED_SHARE / threads);
    for (int part = 0; part < unit.parts; ++part) {
      assign_on_huge_pages(codes_[part], unit.shape[part].size, DRAW);
      if (!packed_) assign_on_huge_pages(counters_[part], unit.shape[part].size, CANNOT_LOSE);
    }
  }

  // Fills the codes, the counters and the first buckets. `skipped` is
  // written in DISTANCE mode only (whole words per thread: chunks align to 64).
  void initialise(std::vector<uint64_t>* skipped, const ProgressFn& progress) {
    for (int part = 0; part < unit_.parts; ++part) {
      uint64_t size = unit_.shape[part].size;
      std::vector<ThreadWork> work(threads_);
      parallel_for(size, threads_, [&](uint64_t begin, uint64_t end, int t) {
        for (uint64_t i = begin; i < end; ++i) {
          bool skip = mode_ == Mode::DISTANCE ? init_distance(part, i, work[t].buckets)
                                              : init_conversion(part, i, work[t].buckets);
          if (skip && skipped) skipped[part][i >> 6] |= uint64_t(1) << (i & 63);
          if (t == 0 && progress && (i & 0xFFFF) == 0)
            progress(0.5 * (double(part) + double(i - begin) / double(end - begin)) / unit_.parts);
        }
      });
      for (auto& w : work) buckets_.merge(w.buckets);
    }
  }

  void run(const ProgressFn& progress) {
    Level current;
    // Kept from level to level: freeing and growing the lists again at
    // every level costs page faults by the thousand.
    std::vector<ThreadWork> work(threads_);
    uint64_t decided = 0, total = offset_[1] + (unit_.parts == 2 ? unit_.shape[1].size : 0);
    for (int level = 0; level <= MAX_PLIES; ++level) {
      bool overflow = std::any_of(work.begin(), work.end(), [](const ThreadWork& w) { return w.overflow; });
      if (packed_ && (level <= LAST_EXTERNAL_LEVEL || overflow)) {
        decided += sweep_level(level, work);
        if (progress) progress(0.5 + 0.5 * double(decided) / double(total));
        continue;
      }
      take_bucket(buckets_.win, level, true, current.ids);
      for (auto& w : work) {
        current.ids.insert(current.ids.end(), w.next_won.begin(), w.next_won.end());
        w.next_won.clear();
      }
      current.won = current.ids.size();
      for (auto& w : work) {
        current.ids.insert(current.ids.end(), w.next_lost.begin(), w.next_lost.end());
        w.next_lost.clear();
      }
      take_bucket(buckets_.loss, level, false, current.ids);
      if (current.ids.empty() && size_t(level) >= buckets_.levels()) break;
      decided += current.ids.size();
      parallel_for(
          current.ids.size(), threads_,
          [&](uint64_t begin, uint64_t end, int t) { expand(current, begin, end, level, work[t]); }, 1);
      current.ids.clear();
      for (auto& w : work) buckets_.merge(w.buckets);
      if (progress) progress(0.5 + 0.5 * double(decided) / double(total));
    }
    // What was never decided is a draw.
    for (int part = 0; part < unit_.parts; ++part)
      for (Code& c : codes_[part])
        if (c & PENDING) c = DRAW;
  }

  std::vector<Code>& codes(int part) { return codes_[part]; }

 private:
  int mirror_part(int part) const { return unit_.parts == 1 ? 0 : 1 - part; }

  // A level of a packed build found by sweeping the codes: on the first
  // levels the pending positions the moves leaving the unit decide at
  // `level` are decided; then every position decided at `level` (these and
  // the previous level's finds, already in the codes) is expanded, found by
  // its code. Two passes, so that no expansion decides a position a level
  // late before the sweep reaches it. Returns how many were expanded.
  uint64_t sweep_level(int level, std::vector<ThreadWork>& work) {
    for (auto& w : work) w.next_won.clear(), w.next_lost.clear(), w.overflow = false;
    const Code won = make_code(level, true), lost = make_code(level, false);
    std::vector<uint64_t> expanded(threads_, 0);
    for (int part = 0; part < unit_.parts; ++part) {
      std::vector<Code>& codes = codes_[part];
      if (level <= LAST_EXTERNAL_LEVEL)
        parallel_for(codes.size(), threads_, [&](uint64_t begin, uint64_t end, int) {
          for (uint64_t i = begin; i < end; ++i)
            if (Code c = codes[i]; c & PENDING) {
              if (level == 1 && (c & EXTERNAL_WIN)) codes[i] = won;
              else if ((c & COUNTER_MASK) == 0 && external_loss(c) <= level) codes[i] = lost;
            }
        });
      parallel_for(codes.size(), threads_, [&](uint64_t begin, uint64_t end, int t) {
        Batch batch;
        for (uint64_t i = begin; i < end; ++i) {
          Code c = std::atomic_ref<Code>(codes[i]).load(std::memory_order_relaxed);
          if (c != won && c != lost) continue;
          if (batch.count > Batch::SIZE - MAX_PREDECESSORS) settle_batch(batch, level, work[t]);
          add_predecessors(uint32_t(offset_[part] + i), c == lost, batch);
          ++expanded[t];
        }
        settle_batch(batch, level, work[t]);
      });
    }
    uint64_t sum = 0;
    for (uint64_t n : expanded) sum += n;
    return sum;
  }

  static int external_loss(Code c) { return (c & (EXTERNAL_WIN - 1)) >> EXTERNAL_LOSS_SHIFT; }

  bool try_decide(int part, uint64_t i, Code code) {
    std::atomic_ref<Code> c(codes_[part][i]);
    Code old = c.load(std::memory_order_relaxed);
    while (old & PENDING)
      if (c.compare_exchange_weak(old, code, std::memory_order_relaxed)) return true;
    return false;
  }

  // Decides the bucket's positions at `level`, keeps in place those it
  // decided and hands them to `out`: the bucket's own memory becomes the
  // list when `out` is empty, so the largest buckets are never copied.
  void take_bucket(std::vector<std::vector<uint32_t>>& b, int level, bool won, std::vector<uint32_t>& out) {
    if (size_t(level) >= b.size()) return;
    std::vector<uint32_t>& ids = b[level];
    size_t kept = 0;
    for (uint32_t id : ids) {
      int part = part_of(id);
      if (try_decide(part, id - offset_[part], make_code(level, won))) ids[kept++] = id;
    }
    ids.resize(kept);
    if (out.empty()) out.swap(ids);
    else out.insert(out.end(), ids.begin(), ids.end());
    std::vector<uint32_t>().swap(ids);
  }

  // Records what the moves leaving the unit give, and how many stay in it.
  void settle(int part, uint64_t i, const Outcome& ext, int inside, Buckets& out) {
    if (packed_) {
      Code counter = ext.can_lose ? Code(inside) : Code(CANNOT_LOSE);
      codes_[part][i] =
          Code(PENDING | (ext.won() ? EXTERNAL_WIN : 0) | ext.loss_plies << EXTERNAL_LOSS_SHIFT | counter);
      return;
    }
    uint32_t id = uint32_t(offset_[part] + i);
    codes_[part][i] = Code(PENDING | std::min(ext.loss_plies, MAX_PLIES));
    counters_[part][i] = ext.can_lose ? uint8_t(inside) : CANNOT_LOSE;
    if (ext.won()) out.add(true, ext.win_plies, id);
    if (ext.can_lose && inside == 0) out.add(false, ext.loss_plies, id);
  }

  // Returns true for positions the files leave out.
  bool init_distance(int part, uint64_t i, Buckets& out) {
    qb::Position p;
    if (!position_at(i, unit_.shape[part], p)) return true;
    bool capture = qb::has_capture(p, qb::BLACK);
    qb::MoveList list;
    if (capture) qb::generate_captures(p, list, qb::BLACK);
    else qb::generate_noncaptures(p, list, qb::BLACK);
    Outcome ext;
    int inside = 0;
    // Once a move wins at once the moves still to come change nothing: the
    // position is won at the first level, whatever stays inside the unit.
    for (int k = 0; k < list.count && !ext.settled(); ++k) {
      const qb::Position& child = list.moves[k];
      if (!capture && material_of(child) == unit_.shape[part].m) ++inside;
      else ext.add(store_.get(flip(child)));
    }
    settle(part, i, ext, inside, out);
    return capture;
  }

  // A conversion is a capture or a man move; only king moves stay inside.
  bool init_conversion(int part, uint64_t i, Buckets& out) {
    Code value = unit_.codes[part][i];
    qb::Position p;
    if (value == DRAW || !position_at(i, unit_.shape[part], p)) return false;
    bool won = is_win(value);
    Outcome ext;
    int inside = 0;
    qb::MoveList list;
    if (qb::has_capture(p, qb::BLACK)) {
      ext.add(make_code(0, !won));
    } else {
      qb::generate_noncaptures(p, list, qb::BLACK);
      for (int k = 0; k < list.count; ++k) {
        const qb::Position& child = list.moves[k];
        if (child.men(qb::BLACK) == p.men(qb::BLACK)) ++inside;
        else if (!won || is_loss(value_in_unit_or_store(part, flip(child)))) ext.add(make_code(0, !won));
      }
    }
    if (won) ext.can_lose = false;  // a won position is decided by its wins only
    settle(part, i, ext, inside, out);
    return false;
  }

  Code value_in_unit_or_store(int part, const qb::Position& p) const {
    int other = mirror_part(part);
    if (material_of(p) == unit_.shape[other].m) return unit_.codes[other][index_of(p, unit_.shape[other])];
    return store_.get(p);
  }

  // The predecessors of the level's positions [begin, end). Each touches a
  // cell at random in arrays far larger than the caches, and the atomic
  // updates would wait on one miss after another; so the predecessors of a
  // batch of positions are found and their cells prefetched first, and the
  // misses overlap.
  void expand(const Level& current, uint64_t begin, uint64_t end, int level, ThreadWork& work) {
    Batch batch;
    for (uint64_t k = begin; k < end; ++k) {
      if (batch.count > Batch::SIZE - MAX_PREDECESSORS) settle_batch(batch, level, work);
      add_predecessors(current.ids[k], k >= current.won, batch);
    }
    settle_batch(batch, level, work);
  }

  // A white piece comes from at most 4 squares, and a side has at most 7.
  static constexpr int MAX_PREDECESSORS = 4 * 7;
  struct Batch {
    static constexpr int SIZE = 256;
    uint32_t ids[SIZE];
    bool after_loss[SIZE];  // the predecessor's move led to a lost position
    int count = 0;
  };

  // White's last move undone (in the flipped view, Black to move in the
  // mirror part).
  void add_predecessors(uint32_t id, bool lost, Batch& batch) {
    int part = part_of(id);
    qb::Position q;
    position_at(id - offset_[part], unit_.shape[part], q);
    int pred = mirror_part(part);
    uint32_t empty = q.empty();
    for (uint32_t white = q.white(); white; white &= white - 1) {
      uint32_t w = white & (0u - white);
      int s = std::countr_zero(w);
      bool king = q.kings & w;
      if (!king && mode_ == Mode::CONVERSION) continue;
      // White men move toward lower squares, so they came from above.
      uint32_t from = (king ? STEPS.up[s] | STEPS.down[s] : STEPS.up[s]) & empty;
      for (; from; from &= from - 1) {
        uint32_t t = from & (0u - from);
        qb::Position p = q;
        p.pieces[qb::WHITE] ^= w | t;
        if (king) p.kings ^= w | t;
        if (qb::has_capture(p, qb::WHITE)) continue;  // the move was not legal
        uint64_t i = index_of(flip(p), unit_.shape[pred]);
        if (lost || packed_) __builtin_prefetch(&codes_[pred][i], 1);
        else __builtin_prefetch(&counters_[pred][i], 1);
        batch.ids[batch.count] = uint32_t(offset_[pred] + i);
        batch.after_loss[batch.count++] = lost;
      }
    }
  }

  void settle_batch(Batch& batch, int level, ThreadWork& work) {
    for (int k = 0; k < batch.count; ++k) {
      uint32_t pid = batch.ids[k];
      int part = part_of(pid);
      uint64_t i = pid - offset_[part];
      if (batch.after_loss[k]) {
        if (try_decide(part, i, make_code(level + 1, true))) list(work.next_won, pid, work);
      } else {
        lose_one(part, i, pid, level, work);
      }
    }
    batch.count = 0;
  }

  // Notes a position decided at the next level, unless the packed build's
  // lists are full and the next level is swept.
  void list(std::vector<uint32_t>& ids, uint32_t id, ThreadWork& work) const {
    if (!packed_ || ids.size() < list_limit_) ids.push_back(id);
    else work.overflow = true;
  }

  int part_of(uint32_t id) const { return id >= offset_[1] && unit_.parts == 2; }

  // One more successor of (part, i) is won by the opponent.
  void lose_one(int part, uint64_t i, uint32_t id, int level, ThreadWork& work) {
    if (packed_) return lose_one_packed(part, i, id, level, work);
    std::atomic_ref<uint8_t> counter(counters_[part][i]);
    if (counter.load(std::memory_order_relaxed) == CANNOT_LOSE) return;
    if (counter.fetch_sub(1, std::memory_order_relaxed) != 1) return;
    Code pending = std::atomic_ref<Code>(codes_[part][i]).load(std::memory_order_relaxed);
    if (!(pending & PENDING)) return;
    int at = std::max(level + 1, int(pending & ~PENDING));
    if (at > level + 1) work.buckets.add(false, at, id);
    else if (try_decide(part, i, make_code(at, false))) list(work.next_lost, id, work);
  }

  // As lose_one, the counter being the pending code's low byte. A loss
  // that must wait for a slower external loss stays pending at zero, for
  // the sweep of its level to find.
  void lose_one_packed(int part, uint64_t i, uint32_t id, int level, ThreadWork& work) {
    std::atomic_ref<Code> cell(codes_[part][i]);
    Code old = cell.load(std::memory_order_relaxed);
    for (;;) {
      if (!(old & PENDING) || (old & COUNTER_MASK) == CANNOT_LOSE) return;
      Code fewer = Code(old - 1);
      bool decides = (fewer & COUNTER_MASK) == 0 && external_loss(old) <= level + 1;
      Code next = decides ? make_code(level + 1, false) : fewer;
      if (!cell.compare_exchange_weak(old, next, std::memory_order_relaxed)) continue;
      if (decides) list(work.next_lost, id, work);
      return;
    }
  }

  const UnitTables& unit_;
  Mode mode_;
  const ValueStore& store_;
  int threads_;
  bool packed_;  // counters inside the pending codes (see EXTERNAL_WIN)
  uint64_t list_limit_;
  uint64_t offset_[2];
  std::vector<Code> codes_[2];
  std::vector<uint8_t> counters_[2];
  Buckets buckets_;
};

}  // namespace

UnitTables::UnitTables(const Unit& u) {
  parts = u.symmetric() ? 1 : 2;
  shape[0] = shape_of(u.first);
  shape[1] = shape_of(u.second);
  for (int p = 0; p < parts; ++p) skipped[p].assign((shape[p].size + 63) / 64, 0);
}

void solve_unit(UnitTables& unit, const ValueStore& store, int threads, const ProgressFn& progress) {
  Solver s(unit, Mode::DISTANCE, store, threads);
  s.initialise(unit.skipped, progress);
  s.run(progress);
  for (int part = 0; part < unit.parts; ++part) unit.codes[part] = std::move(s.codes(part));
}

void solve_conversions(const UnitTables& unit, const ValueStore& store, int threads,
                       std::vector<Code> out[2]) {
  Solver s(unit, Mode::CONVERSION, store, threads);
  s.initialise(nullptr, nullptr);
  s.run(nullptr);
  for (int part = 0; part < unit.parts; ++part) out[part] = std::move(s.codes(part));
}

}  // namespace tb
