#include "database.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <stop_token>

#include "board/movegen.h"

namespace tb {
namespace {

// Opens every slice of exactly n pieces; false on the first failure.
bool open_slices(Database* db, const std::string& dir, int n, Kind kind, std::string* failure) {
  for (const Material& m : slices_up_to(n)) {
    if (m.pieces() != n) continue;
    std::string why, path = table_path(dir, m, kind);
    auto table = open_table(path, kind, m, why);
    if (!table) {
      if (failure) *failure = path + ": " + why;
      return false;
    }
    if (db) db->tables[m.key()] = std::move(table);
  }
  return true;
}

// Cache key of a block: slice and block number (never 0).
uint64_t block_key(const TableFile& t, uint64_t block) { return uint64_t(t.shape.m.key() + 1) << 40 | block; }

// Where value `within` of a block starts, in bits.
uint32_t value_bit(int bits, uint64_t within) { return uint32_t(within * uint64_t(bits)); }

// The code from the 8 bytes holding its value (bytes from a multiple of 8);
// values never straddle two such words.
Code code_in_word(Kind kind, int bits, uint64_t word, uint64_t within) {
  uint64_t value = word >> (value_bit(bits, within) % 64);
  return code_of_file_value(kind, uint16_t(value & ((uint64_t(1) << bits) - 1)));
}

Code read_code(Kind kind, int bits, const uint8_t* block, uint64_t within) {
  uint64_t word;
  std::memcpy(&word, block + value_bit(bits, within) / 64 * 8, 8);
  return code_in_word(kind, bits, word, within);
}

Found stored_value(Database& db, const TableFile& t, const qb::Position& p, bool conditional, Code& out) {
  uint64_t index = index_of(p, t.shape);
  int bits = t.bits();
  int shift = std::countr_zero(positions_per_block(bits));  // a power of two
  uint64_t block = index >> shift, within = index & ((uint64_t(1) << shift) - 1);
  uint64_t key = block_key(t, block);
  uint64_t word;
  if (db.cache->find(key, value_bit(bits, within) / 8, word)) {
    out = code_in_word(db.kind, bits, word, within);
    return Found::VALUE;
  }
  if (conditional) {
    db.skipped.fetch_add(1, std::memory_order_relaxed);
    return Found::UNKNOWN;
  }
  thread_local uint8_t buffer[BLOCK_BYTES];
  std::string why;
  if (!read_block(t, block, buffer, why)) {
    db.bad_blocks.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> hold(db.message_lock);
    if (db.reported.insert(key).second && db.message) {
      std::string text = "tbdrv: " + slice_name(t.shape.m) + "." + kind_info(db.kind).extension + " block " +
                         std::to_string(block) + ": " + why + "; answering no value\n";
      db.message(text.c_str());
    }
    return Found::UNKNOWN;
  }
  db.block_reads.fetch_add(1, std::memory_order_relaxed);
  db.cache->insert(key, buffer);
  out = read_code(db.kind, bits, buffer, within);
  return Found::VALUE;
}

// Black must capture: combine the values after each capture.
Found capture_value(Database& db, const qb::Position& p, bool conditional, Code& out) {
  qb::MoveList list;
  qb::generate_captures(p, list, qb::BLACK);
  Outcome o;
  for (int i = 0; i < list.count; ++i) {
    Code child;
    if (value_of(db, flip(list.moves[i]), conditional, child) != Found::VALUE) return Found::UNKNOWN;
    o.add(child);
  }
  out = o.result();
  if (db.kind == Kind::WLD && out != DRAW) out = o.won() ? WLD_WIN : WLD_LOSS;
  if (db.kind == Kind::MTC && out != DRAW) out = make_code(1, o.won());
  return Found::VALUE;
}

bool plausible(const qb::Position& p) {
  return !(p.black() & p.white()) && !(p.kings & ~p.occupied()) && !qb::has_man_on_crown_row(p);
}

// The decoded bytes read into the cache before an open returns.
constexpr uint64_t PRELOAD_BEFORE_OPEN_BYTES = uint64_t(64) << 20;

// Where reading the database into the cache has got to: table, block.
struct ReadAhead {
  int table = 0;
  uint64_t block = 0;
};

// Reads blocks into the cache in table order from `at` on, until `count`
// blocks are in, the database is read or a stop is asked; `at` is left at
// the next block. A block that does not read is skipped: it is reported
// when a lookup needs it.
void read_ahead(Database& db, ReadAhead& at, uint64_t count, const std::stop_token& stop) {
  thread_local uint8_t buffer[BLOCK_BYTES];
  for (; at.table < SLICE_KEYS; ++at.table, at.block = 0) {
    const TableFile* t = db.tables[at.table].get();
    if (!t) continue;
    for (; at.block < t->header.blocks; ++at.block) {
      if (count-- == 0 || stop.stop_requested()) return;
      std::string why;
      if (read_block(*t, at.block, buffer, why)) db.cache->insert(block_key(*t, at.block), buffer);
    }
  }
}

// When the whole database fits in half the cache, reading it all costs
// little (the files are small) and lets every conditional lookup answer.
// Half, because the sets fill unevenly. The first blocks (a 5-piece
// database whole) are read before the open returns; the rest, 680 MB
// decoded at 6 pieces and seconds of work, on a thread of its own, so that
// the first search does not wait for it: until then lookups read what they
// need as usual.
void preload(Database& db) {
  uint64_t blocks = 0;
  for (const auto& t : db.tables)
    if (t) blocks += t->header.blocks;
  if (blocks > db.cache->slots() / 2) return;
  ReadAhead at;
  read_ahead(db, at, PRELOAD_BEFORE_OPEN_BYTES / BLOCK_BYTES, {});
  if (at.table < SLICE_KEYS)
    db.preloader =
        std::jthread([&db, at](std::stop_token stop) mutable { read_ahead(db, at, UINT64_MAX, stop); });
}

}  // namespace

void Database::tell(const std::string& text) {
  std::lock_guard<std::mutex> hold(message_lock);
  if (message) message(text.c_str());
}

std::vector<std::string> slice_failures(const std::string& dir, int n, Kind kind) {
  std::vector<std::string> failures;
  for (const Material& m : slices_up_to(n)) {
    if (m.pieces() != n) continue;
    std::string why, path = table_path(dir, m, kind);
    if (!open_table(path, kind, m, why)) failures.push_back(path + ": " + why);
  }
  return failures;
}

bool any_slice_present(const std::string& dir, int n, Kind kind) {
  std::error_code ignored;
  for (const Material& m : slices_up_to(n))
    if (m.pieces() == n && std::filesystem::exists(table_path(dir, m, kind), ignored)) return true;
  return false;
}

bool find_database(const std::string& dir, Kind& kind, int& pieces, std::vector<std::string>* unusable) {
  pieces = 0;
  int best_present = 0;  // the kind with files present, when none is complete
  for (Kind k : ALL_KINDS) {
    int n = 1;
    while (n < MAX_PIECES && open_slices(nullptr, dir, n + 1, k, nullptr)) ++n;
    if (n >= 2 && n > pieces) kind = k, pieces = n;
    if (pieces < 2 && !best_present && any_slice_present(dir, n + 1, k)) kind = k, best_present = n + 1;
  }
  if (unusable) {
    unusable->clear();
    int next = pieces >= 2 ? pieces + 1 : best_present;
    if (next >= 2 && next <= MAX_PIECES && any_slice_present(dir, next, kind))
      *unusable = slice_failures(dir, next, kind);
  }
  return pieces >= 2;
}

std::unique_ptr<Database> open_database(const std::string& dir, int pieces, int cache_mb,
                                        tbdrv_message_fn message) {
  auto db = std::make_unique<Database>();
  db->message = message;
  int found = 0;
  if (!find_database(dir, db->kind, found)) {
    db->tell("tbdrv: no complete database in " + dir + "\n");
    return nullptr;
  }
  if (pieces < 2 || pieces > MAX_PIECES) {
    db->tell("tbdrv: cannot open " + std::to_string(pieces) + " pieces\n");
    return nullptr;
  }
  db->pieces = pieces;
  for (int n = 2; n <= pieces; ++n) {  // names the first missing or damaged file
    std::string failure;
    if (!open_slices(db.get(), dir, n, db->kind, &failure)) {
      db->tell("tbdrv: " + failure + "\n");
      return nullptr;
    }
  }
  // More cache than twice the decoded database (room for the sets to fill
  // unevenly) would cost memory and page faults for nothing: the engine
  // passes whatever its memory rule gives, many gigabytes on a large machine.
  uint64_t blocks = 0;
  for (const auto& t : db->tables)
    if (t) blocks += t->header.blocks;
  uint64_t useful_mb = ((2 * blocks * BLOCK_BYTES) >> 20) + 1;
  db->cache =
      std::make_unique<BlockCache>(int(std::min<uint64_t>(uint64_t(std::max(cache_mb, 1)), useful_mb)));
  preload(*db);
  return db;
}

Found value_of(Database& db, const qb::Position& p, bool conditional, Code& out) {
  if (!p.black()) {
    out = db.kind == Kind::WLD ? WLD_LOSS : make_code(0, false);
    return Found::VALUE;
  }
  if (!p.white()) return Found::UNKNOWN;  // the game ended a move ago
  Material m = material_of(p);
  if (m.pieces() > db.pieces || !db.tables[m.key()]) return Found::UNKNOWN;
  if (qb::has_capture(p, qb::BLACK)) return capture_value(db, p, conditional, out);
  return stored_value(db, *db.tables[m.key()], p, conditional, out);
}

int lookup(Database& db, const qb::Position& p, int side, bool conditional) {
  bool wld = db.kind == Kind::WLD;
  int no_answer = wld ? int(TBDRV_UNKNOWN) : int(TBDRV_NO_DISTANCE);
  if (!plausible(p) || (side != qb::BLACK && side != qb::WHITE)) return no_answer;
  Code c;
  if (value_of(db, side == qb::WHITE ? flip(p) : p, conditional, c) != Found::VALUE) return no_answer;
  if (wld) return is_win(c) ? TBDRV_WIN : is_loss(c) ? TBDRV_LOSS : TBDRV_DRAW;
  // Distances count the winner's moves: a win in p plies is (p - 1) / 2, a
  // loss in p plies p / 2, so that both sides of a move agree.
  int units = c == DRAW ? -1 : is_win(c) ? (plies_of(c) - 1) / 2 : plies_of(c) / 2;
  if (db.kind == Kind::DTW) return units;
  return units <= TBDRV_MTC_NEAR ? TBDRV_MTC_NEAR : units;
}

}  // namespace tb
