#include "store.h"

#include <algorithm>

#include "board/movegen.h"
#include "gen/parallel.h"
#include "tablefile.h"

namespace tb {

ValueStore::ValueStore(std::string dir, Kind kind, int threads)
    : dir_(std::move(dir)), kind_(kind), threads_(threads) {}

bool ValueStore::require(std::vector<Material> needed, std::string& why) {
  std::stable_sort(needed.begin(), needed.end(),
                   [](const Material& a, const Material& b) { return a.pieces() < b.pieces(); });
  for (const Material& m : needed)
    if (!has(m) && !load(m, why)) return false;
  return true;
}

void ValueStore::adopt(const Material& m, std::vector<Code>&& codes) {
  shapes_[m.key()] = shape_of(m);
  codes_[m.key()] = std::move(codes);
}

void ValueStore::trim(const std::vector<Material>& keep, uint64_t budget) {
  uint64_t held = 0;
  for (const auto& c : codes_) held += c.size() * sizeof(Code);
  for (int key = 0; key < SLICE_KEYS && held > budget; ++key) {
    if (codes_[key].empty()) continue;
    bool kept = std::any_of(keep.begin(), keep.end(), [&](const Material& m) { return m.key() == key; });
    if (kept) continue;
    held -= codes_[key].size() * sizeof(Code);
    std::vector<Code>().swap(codes_[key]);
  }
}

bool ValueStore::load(const Material& m, std::string& why) {
  std::string path = table_path(dir_, m, kind_);
  auto table = open_table(path, kind_, m, why);
  std::vector<uint8_t> raw;
  if (!table || !read_all_blocks(*table, raw, why)) return why = path + ": " + why, false;
  Shape sh = shape_of(m);
  std::vector<Code> codes(sh.size);
  int bits = table->bits();
  for (uint64_t i = 0; i < sh.size; ++i) {
    uint64_t at = i * uint64_t(bits);
    uint32_t value = bits == 16 ? uint32_t(raw[at / 8] | raw[at / 8 + 1] << 8) : raw[at / 8] >> (at % 8);
    codes[i] = code_of_file_value(kind_, uint16_t(value & ((1u << bits) - 1)));
  }
  adopt(m, std::move(codes));
  fill_captures(m);
  return true;
}

// The files leave out positions where Black must capture; their captures
// lead to slices with fewer pieces, which are loaded first.
void ValueStore::fill_captures(const Material& m) {
  const Shape& sh = shapes_[m.key()];
  std::vector<Code>& codes = codes_[m.key()];
  parallel_for(sh.size, threads_, [&](uint64_t begin, uint64_t end, int) {
    qb::Position p;
    for (uint64_t i = begin; i < end; ++i)
      if (position_at(i, sh, p) && qb::has_capture(p, qb::BLACK)) codes[i] = value_after_captures(*this, p);
  });
}

Code value_after_captures(const ValueStore& store, const qb::Position& p) {
  qb::MoveList list;
  qb::generate_captures(p, list, qb::BLACK);
  Outcome o;
  for (int i = 0; i < list.count; ++i) o.add(store.get(flip(list.moves[i])));
  Code c = o.result();
  if (store.kind() == Kind::WLD && c != DRAW) c = o.won() ? WLD_WIN : WLD_LOSS;
  if (store.kind() == Kind::MTC && c != DRAW) c = make_code(1, o.won());  // the capture converts
  return c;
}

std::vector<Material> dependencies(const Material& a, const Material& b, int max_pieces) {
  std::vector<Material> deps;
  for (const Material& m : slices_up_to(max_pieces))
    if (m != a && m != b && (reachable(a, m) || reachable(b, m))) deps.push_back(m);
  return deps;
}

}  // namespace tb
