// The exported C interface over a Database.
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "board/bitops.h"
#include "database.h"
#include "platform/shared.h"
#include "tbdrv.h"

namespace {

struct Handle {
  tbdrv_handle base;  // first, so a tbdrv_handle* is a Handle*
  std::unique_ptr<tb::Database> db;
};

tb::Database& db_of(tbdrv_handle* h) { return *reinterpret_cast<Handle*>(h)->db; }

int do_lookup(tbdrv_handle* h, const tbdrv_position* p, int side, int conditional) {
  if (!h || !p) return 0;
  qb::Position pos{{p->black, p->white}, p->kings};
  return tb::lookup(db_of(h), pos, side, conditional != 0);
}

int do_pieces(tbdrv_handle* h) { return h ? db_of(h).pieces : 0; }
int do_type(tbdrv_handle* h) { return h ? tb::kind_info(db_of(h).kind).type_code : 0; }

void do_stats(tbdrv_handle* h, tbdrv_stats* out) {
  if (!h || !out) return;
  tb::Database& db = db_of(h);
  out->cache_blocks = db.cache->slots();
  out->block_reads = db.block_reads.load();
  out->skipped = db.skipped.load();
  out->bad_blocks = db.bad_blocks.load();
}

void do_close(tbdrv_handle* h) { delete reinterpret_cast<Handle*>(h); }

const tbdrv_ops OPS = {do_lookup, do_pieces, do_type, do_stats, do_close};

// The library counts bits as the engine does, after its own look at the
// processor: once, before the first database opens.
void check_processor() {
  static std::once_flag once;
  std::call_once(once, [] { qb::init_popcount(qb::platform::cpu_info().popcnt); });
}

}  // namespace

extern "C" {

const int32_t tbdrv_version = 100;

TBDRV_API int tbdrv_identify(const char* dir, int* type, int* pieces) {
  return tbdrv_identify_report(dir, type, pieces, nullptr);
}

TBDRV_API int tbdrv_identify_report(const char* dir, int* type, int* pieces, tbdrv_message_fn message) {
  if (!dir || !type || !pieces) return -1;
  check_processor();
  tb::Kind kind = tb::Kind::WLD;
  int n = 0;
  std::vector<std::string> unusable;
  bool found = false;
  try {
    found = tb::find_database(dir, kind, n, message ? &unusable : nullptr);
  } catch (...) {
    return 1;
  }
  for (const std::string& file : unusable) {
    std::string text = "tbdrv: " + std::to_string(found ? n + 1 : 2) + " pieces not used: " + file + "\n";
    message(text.c_str());
  }
  if (!found) return 1;
  *type = tb::kind_info(kind).type_code;
  *pieces = n;
  return 0;
}

TBDRV_API tbdrv_handle* tbdrv_open(int reserved, int pieces, int cache_mb, const char* dir,
                                   tbdrv_message_fn message) {
  if (reserved != 0 || !dir) return nullptr;
  check_processor();
  try {
    auto db = tb::open_database(dir, pieces, cache_mb, message);
    if (!db) return nullptr;
    auto* h = new Handle{{&OPS}, std::move(db)};
    return &h->base;
  } catch (const std::bad_alloc&) {
    if (message) message("tbdrv: not enough memory for the cache\n");
    return nullptr;
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
