// An open database directory: the tables of one kind for every slice up to
// a piece count, the block cache, and the lookup that answers the engine.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "board/position.h"
#include "cache.h"
#include "code.h"
#include "tablefile.h"
#include "tbdrv.h"

namespace tb {

struct Database {
  Kind kind = Kind::WLD;
  int pieces = 0;
  std::unique_ptr<TableFile> tables[SLICE_KEYS];
  std::unique_ptr<BlockCache> cache;

  tbdrv_message_fn message = nullptr;
  std::mutex message_lock;
  std::unordered_set<uint64_t> reported;  // bad blocks already reported

  std::atomic<uint64_t> block_reads{0}, skipped{0}, bad_blocks{0};

  // Reads the rest of a database that fits the cache after the open;
  // last, so that it stops before anything it reads goes.
  std::jthread preloader;

  void tell(const std::string& text);
};

// The kind with the most pieces complete and intact in `dir` (win/loss/draw
// first on a tie); false when there is none. `unusable`, when given, gets
// "path: reason" for every missing or damaged file of the next piece count
// of that kind when some of its files are there: the files that kept that
// count from being used.
bool find_database(const std::string& dir, Kind& kind, int& pieces,
                   std::vector<std::string>* unusable = nullptr);

// "path: reason" for every slice file of exactly `n` pieces that is missing
// or does not open intact.
std::vector<std::string> slice_failures(const std::string& dir, int n, Kind kind);

// Whether any slice file of exactly `n` pieces is present.
bool any_slice_present(const std::string& dir, int n, Kind kind);

// Null (with the reason told through `message`) unless every slice of up to
// `pieces` pieces opens intact.
std::unique_ptr<Database> open_database(const std::string& dir, int pieces, int cache_mb,
                                        tbdrv_message_fn message);

// What a lookup found, before it is put in the engine's terms.
enum class Found { VALUE, UNKNOWN };

// The code of a position with Black to move (WLD_WIN/WLD_LOSS/DRAW for
// win/loss/draw tables). Positions where Black must capture are not stored:
// their value follows from the captures, searched here; for conversion
// tables a capture is itself the conversion, one ply away.
Found value_of(Database& db, const qb::Position& black_to_move, bool conditional, Code& out);

// The answer in the engine's terms for its side to move.
int lookup(Database& db, const qb::Position& p, int side, bool conditional);

}  // namespace tb
