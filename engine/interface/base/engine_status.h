// What the endgame databases and the opening book report about themselves,
// for the about text and "get dbpieces". The database set-up at the start of
// a getmove and the book loader fill these; the host may read them from
// another thread at any time, hence atomics.
#pragma once

#include <atomic>
#include <cstdint>

namespace qb {

struct DatabaseStatus {
  std::atomic<bool> set_up{false};  // the first getmove has set the databases up
  std::atomic<bool> wld_open{false};
  std::atomic<int32_t> wld_type{0};
  std::atomic<int32_t> wld_pieces{0};  // pieces in use, 0 when none
  std::atomic<bool> aux_open{false};
  std::atomic<int32_t> aux_type{0};
  std::atomic<int32_t> aux_pieces{0};
};

constexpr int BOOK_VERSION_SIZE = 16;

struct BookStatus {
  std::atomic<bool> loaded{false};
  char version[BOOK_VERSION_SIZE] = "";  // written only while a book loads
  std::atomic<int32_t> positions{0};
};

extern DatabaseStatus g_database_status;
extern BookStatus g_book_status;

}  // namespace qb
