// The values of finished slices, in memory while the builder or the checker
// needs them: loaded from table files, or handed over when a unit is built.
// Every position has a value here, including those the files leave out
// (Black to move with a capture), which are worked out from the captures
// when a slice is loaded.
#pragma once

#include <string>
#include <vector>

#include "board/position.h"
#include "code.h"
#include "format.h"
#include "indexer.h"

namespace tb {

class ValueStore {
 public:
  // Tables of `kind` are read from `dir`.
  ValueStore(std::string dir, Kind kind, int threads);

  // Loads every slice of `needed` that is not in memory, fewer pieces first
  // so that captures always find their results loaded. False when a file is
  // missing or damaged, with the reason in `why`.
  bool require(std::vector<Material> needed, std::string& why);

  void adopt(const Material& m, std::vector<Code>&& codes);
  bool has(const Material& m) const { return !codes_[m.key()].empty(); }

  // Frees slices outside `keep` once the store holds more than `budget` bytes.
  void trim(const std::vector<Material>& keep, uint64_t budget);

  // Black to move; the slice must be loaded.
  Code get(const qb::Position& p) const {
    if (!p.black()) return make_code(0, false);
    Material m = material_of(p);
    return codes_[m.key()][index_of(p, shapes_[m.key()])];
  }

  Kind kind() const { return kind_; }

 private:
  bool load(const Material& m, std::string& why);
  void fill_captures(const Material& m);

  std::string dir_;
  Kind kind_;
  int threads_;
  std::vector<Code> codes_[SLICE_KEYS];
  Shape shapes_[SLICE_KEYS];
};

// Slices whose values the moves of `unit` (and the captures after them) can
// reach, itself excluded.
std::vector<Material> dependencies(const Material& a, const Material& b, int max_pieces);

// The code of a position where Black must capture, from the store.
Code value_after_captures(const ValueStore& store, const qb::Position& p);

}  // namespace tb
