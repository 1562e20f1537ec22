// The values of finished slices, in memory while the builder or the checker
// needs them: loaded from table files, or handed over when a unit is built.
// Every position has a value here, including those the files leave out
// (Black to move with a capture), which are worked out from the captures
// when a slice is loaded. Win/loss/draw values are kept packed as in the
// files, 2 bits a position, so that large builds read their dependencies
// from an eighth of the memory 16-bit codes would take.
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
  bool has(const Material& m) const { return !codes_[m.key()].empty() || !verdicts_[m.key()].empty(); }

  // Frees slices outside `keep` once the store holds more than `budget` bytes.
  void trim(const std::vector<Material>& keep, uint64_t budget);

  // Black to move; the slice must be loaded.
  Code get(const qb::Position& p) const {
    if (!p.black()) return make_code(0, false);
    int key = material_of(p).key();
    uint64_t i = index_of(p, shapes_[key]);
    if (kind_ != Kind::WLD) return codes_[key][i];
    return WLD_CODES[verdicts_[key][i / VERDICTS_PER_BYTE] >> (i % VERDICTS_PER_BYTE * 2) & 3];
  }

  Kind kind() const { return kind_; }

 private:
  static constexpr uint64_t VERDICTS_PER_BYTE = 4;
  // Code of each 2-bit file value (WldValue; 3 is never written).
  static constexpr Code WLD_CODES[4] = {DRAW, WLD_WIN, WLD_LOSS, DRAW};

  bool load(const Material& m, std::string& why);
  void fill_captures(const Material& m);
  void set(int key, uint64_t i, Code code);
  uint64_t bytes_held(int key) const { return codes_[key].size() * sizeof(Code) + verdicts_[key].size(); }

  std::string dir_;
  Kind kind_;
  int threads_;
  std::vector<Code> codes_[SLICE_KEYS];        // distance kinds
  std::vector<uint8_t> verdicts_[SLICE_KEYS];  // win/loss/draw, packed as in the files
  Shape shapes_[SLICE_KEYS];
};

// Slices whose values the moves of `unit` (and the captures after them) can
// reach, itself excluded.
std::vector<Material> dependencies(const Material& a, const Material& b, int max_pieces);

// The code of a position where Black must capture, from the store.
Code value_after_captures(const ValueStore& store, const qb::Position& p);

}  // namespace tb
