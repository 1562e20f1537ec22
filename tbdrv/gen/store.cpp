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

static_assert(WLD_DRAW_BITS == 0 && WLD_WIN_BITS == 1 && WLD_LOSS_BITS == 2,
              "WLD_CODES follows the file values");

void ValueStore::adopt(const Material& m, std::vector<Code>&& codes) {
  shapes_[m.key()] = shape_of(m);
  if (kind_ != Kind::WLD) {
    codes_[m.key()] = std::move(codes);
    return;
  }
  std::vector<uint8_t> packed((codes.size() + VERDICTS_PER_BYTE - 1) / VERDICTS_PER_BYTE, 0);
  for (uint64_t i = 0; i < codes.size(); ++i)
    packed[i / VERDICTS_PER_BYTE] |= uint8_t(file_value(kind_, codes[i]) << (i % VERDICTS_PER_BYTE * 2));
  std::vector<Code>().swap(codes);
  verdicts_[m.key()] = std::move(packed);
}

void ValueStore::trim(const std::vector<Material>& keep, uint64_t budget) {
  uint64_t held = 0;
  for (int key = 0; key < SLICE_KEYS; ++key) held += bytes_held(key);
  for (int key = 0; key < SLICE_KEYS && held > budget; ++key) {
    if (!bytes_held(key)) continue;
    bool kept = std::any_of(keep.begin(), keep.end(), [&](const Material& m) { return m.key() == key; });
    if (kept) continue;
    held -= bytes_held(key);
    std::vector<Code>().swap(codes_[key]);
    std::vector<uint8_t>().swap(verdicts_[key]);
  }
}

// Win/loss/draw files hold exactly the packed form the store keeps; the
// distance kinds are widened to codes.
bool ValueStore::load(const Material& m, std::string& why) {
  std::string path = table_path(dir_, m, kind_);
  auto table = open_table(path, kind_, m, why);
  std::vector<uint8_t> raw;
  if (!table || !read_all_blocks(*table, raw, why)) return why = path + ": " + why, false;
  shapes_[m.key()] = shape_of(m);
  if (kind_ == Kind::WLD) {
    verdicts_[m.key()] = std::move(raw);
  } else {
    std::vector<Code> codes(shapes_[m.key()].size);
    int bits = table->bits();
    for (uint64_t i = 0; i < codes.size(); ++i) {
      uint64_t at = i * uint64_t(bits);
      uint32_t value = bits == 16 ? uint32_t(raw[at / 8] | raw[at / 8 + 1] << 8) : raw[at / 8];
      codes[i] = code_of_file_value(kind_, uint16_t(value));
    }
    codes_[m.key()] = std::move(codes);
  }
  fill_captures(m);
  return true;
}

// The files leave out positions where Black must capture; their captures
// lead to slices with fewer pieces, which are loaded first.
void ValueStore::fill_captures(const Material& m) {
  const Shape& sh = shapes_[m.key()];
  // Chunks are whole multiples of 64 positions, so no two threads write
  // to the same byte of packed values.
  parallel_for(sh.size, threads_, [&](uint64_t begin, uint64_t end, int) {
    qb::Position p;
    for (uint64_t i = begin; i < end; ++i)
      if (position_at(i, sh, p) && qb::has_capture(p, qb::BLACK))
        set(m.key(), i, value_after_captures(*this, p));
  });
}

void ValueStore::set(int key, uint64_t i, Code code) {
  if (kind_ != Kind::WLD) {
    codes_[key][i] = code;
    return;
  }
  uint8_t& byte = verdicts_[key][i / VERDICTS_PER_BYTE];
  int shift = int(i % VERDICTS_PER_BYTE * 2);
  byte = uint8_t((byte & ~(3 << shift)) | file_value(kind_, code) << shift);
}

Code value_after_captures(const ValueStore& store, const qb::Position& p) {
  qb::MoveList list;
  qb::generate_captures(p, list, qb::BLACK);
  Outcome o;
  for (int i = 0; i < list.count && !o.settled(); ++i) o.add(store.get(flip(list.moves[i])));
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
