#include "book/book.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "book/random.h"
#include "interface/base/log.h"
#include "interface/base/engine_status.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"

namespace qb {

OpeningBook g_book;

namespace {

// Seeds derived from the clock always have these bits set.
constexpr uint32_t SEED_BITS = 0xAAA;

BookHeader parse_header(const uint8_t* bytes) {
  BookHeader h;
  std::memcpy(h.version, bytes, BOOK_VERSION_BYTES);
  h.version[BOOK_VERSION_BYTES - 1] = '\0';
  h.positions = int32_t(read_word(bytes + 16));
  h.slots = int32_t(read_word(bytes + 20));
  h.probe_limit = int32_t(read_word(bytes + 24));
  h.king_masks = int32_t(read_word(bytes + 28));
  return h;
}

bool header_counts_valid(const BookHeader& h) {
  return h.positions >= 0 && h.slots > 0 && h.probe_limit > 0 && h.king_masks >= 0 &&
         h.king_masks <= BOOK_MAX_KING_MASKS;
}

// Reads `count` bytes of a table and undoes the substitution.
bool read_table(std::ifstream& in, std::vector<uint8_t>& bytes, std::size_t count) {
  bytes.resize(count);
  if (count && !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(count))) return false;
  for (uint8_t& b : bytes) b = restore_byte(b);
  return true;
}

std::streamoff bytes_left(std::ifstream& in) {
  std::streamoff here = in.tellg();
  in.seekg(0, std::ios::end);
  std::streamoff end = in.tellg();
  in.seekg(here);
  return here < 0 || end < here ? 0 : end - here;
}

// Reads the two tables of a book whose header has been accepted. False for
// a file too short for its header's counts or when memory runs out.
bool read_tables(std::ifstream& in, const BookHeader& h) {
  const std::size_t slots = std::size_t(h.slots);
  const std::size_t masks = std::size_t(h.king_masks);
  if (bytes_left(in) < std::streamoff(masks * 4 + slots * BOOK_RECORD_SIZE)) return false;
  try {
    std::vector<uint8_t> bytes;
    if (!read_table(in, bytes, masks * 4)) return false;
    g_book.king_masks.resize(masks);
    for (std::size_t i = 0; i < masks; ++i) g_book.king_masks[i] = read_word(&bytes[4 * i]);
    if (!read_table(in, bytes, slots * BOOK_RECORD_SIZE)) return false;
    g_book.records.resize(slots);
    for (std::size_t i = 0; i < slots; ++i) {
      const uint8_t* r = &bytes[BOOK_RECORD_SIZE * i];
      g_book.records[i] = BookRecord{read_word(r), read_word(r + 4), read_word(r + 8)};
    }
    g_book.marks.assign(slots, BookMark{});
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The about text reads the book's state from the host's threads.
void publish_status() {
  g_book_status.loaded = false;
  if (!g_book.loaded) return;
  std::memcpy(g_book_status.version, g_book.header.version, sizeof g_book_status.version);
  g_book_status.positions = g_book.header.positions;
  g_book_status.loaded = true;
}

}  // namespace

void free_book() {
  g_book.records = {};
  g_book.king_masks = {};
  g_book.marks = {};
  g_book.loaded = false;
  publish_status();
}

bool load_book(const char* name, uint32_t clock_ms) {
  const std::string book_name = name;  // may be the bookfile setting itself
  const std::string path = std::string(g_startup.dir_prefix) + book_name;
  std::error_code ignored;
  std::ifstream in;
  // Only a regular file: opening a FIFO (or a device) would wait for a
  // writer that never comes, at every start-up once the name is saved.
  if (std::filesystem::is_regular_file(path, ignored)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    log_printf("Cannot open bookfile %s\n", path.c_str());
    return false;
  }
  uint8_t header[BOOK_HEADER_SIZE];
  bool header_read = bool(in.read(reinterpret_cast<char*>(header), sizeof header));
  g_book.header = header_read ? parse_header(header) : BookHeader{};
  if (header_read && std::strcmp(g_book.header.version, BOOK_OLDEST_VERSION) < 0) {
    log_text("Old version of Quillbar.odb incompatible with this engine\n");
    g_book.loaded = false;
    publish_status();
    return false;
  }
  free_book();
  if (!header_read || !header_counts_valid(g_book.header) || !read_tables(in, g_book.header)) {
    free_book();
    log_printf("Bookfile %s is damaged, no opening book in use\n", path.c_str());
    return false;
  }
  // One wrap at most: a lookup never examines more slots than there are.
  g_book.header.probe_limit = std::min(g_book.header.probe_limit, g_book.header.slots);
  g_book.loaded = true;
  log_printf("Loading open book file %s, version %s, %d positions read\n", path.c_str(),
             g_book.header.version, g_book.header.positions);
  publish_status();
  set_text_setting(g_settings.bookfile, book_name);
  random_seed(clock_ms | SEED_BITS);
  return true;
}

bool book_in_use() { return g_book.loaded && g_settings.book.load() != 0; }

namespace {

bool kings_match(const BookRecord& r, uint32_t kings) {
  if (kings == 0) return !info_has_kings(r.info);
  if (!info_has_kings(r.info)) return false;
  std::size_t index = std::size_t(info_king_index(r.info));
  return index < g_book.king_masks.size() && g_book.king_masks[index] == kings;
}

}  // namespace

int book_find(const Position& p, Side side) {
  if (!g_book.loaded || g_book.records.empty()) return BOOK_NOT_FOUND;
  const uint32_t slots = uint32_t(g_book.records.size());
  const uint32_t start = book_hash(p, side) % slots;
  const uint32_t limit = uint32_t(g_book.header.probe_limit);
  for (uint32_t i = 0; i < limit; ++i) {
    uint32_t slot = start + i;
    if (slot >= slots) slot -= slots;
    const BookRecord& r = g_book.records[slot];
    if (r.empty()) return BOOK_NOT_FOUND;
    if (r.black == p.pieces[BLACK] && r.white == p.pieces[WHITE] && info_side(r.info) == side &&
        kings_match(r, p.kings))
      return int(slot);
  }
  return BOOK_NOT_FOUND;
}

BookEntry book_decode(int slot, uint32_t kings) {
  return decode_entry(g_book.records[std::size_t(slot)].info, kings);
}

void clear_book_marks() { std::fill(g_book.marks.begin(), g_book.marks.end(), BookMark{}); }

}  // namespace qb
