// Loading book files, finding positions in them, and surviving bad files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>
#include <set>
#include <tuple>

#include "board/fen.h"
#include "book/book.h"
#include "book/book_fixture.h"
#include "book/book_move.h"
#include "book/random.h"
#include "interface/base/engine_status.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/settings.h"
#include "support/temp_env.h"

namespace {

using namespace qb;
using qbtest::RawBook;

class BookFile : public testing::Test {
 protected:
  void SetUp() override {
    free_book();
    g_log_path = qbtest::make_temp_dir("log") + "/test.log";
  }
  void TearDown() override {
    free_book();
    g_log_path.clear();
  }
  std::string log() const { return qbtest::read_file(g_log_path); }
};

// Positions from random games: with and without kings, both sides to move.
std::vector<BookPosition> random_game_positions(int wanted, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<BookPosition> out;
  std::set<std::tuple<uint32_t, uint32_t, uint32_t, int>> seen;
  while (int(out.size()) < wanted) {
    Position p = start_position();
    Side side = BLACK;
    for (int ply = 0; ply < 120 && int(out.size()) < wanted; ++ply) {
      MoveList list = qbtest::legal_moves(p, side);
      if (list.count == 0 || p.pieces[BLACK] == 0) break;
      int first = int(rng() % uint32_t(std::min(list.count, BOOK_MAX_MOVE_INDEX + 1)));
      int second = p.kings ? BOOK_NO_MOVE : int(rng() % 32);
      int value = int(rng() % 4096) - 2048;
      if (seen.emplace(p.pieces[BLACK], p.pieces[WHITE], p.kings, side).second)
        out.push_back(BookPosition{p, side, BookEntry{first, second, value}});
      p = list.moves[rng() % uint32_t(list.count)];
      side = opponent_of(side);
    }
  }
  return out;
}

TEST_F(BookFile, WrittenPositionsAreFoundWithTheirEntries) {
  std::vector<BookPosition> positions = random_game_positions(3000, 7);
  int with_kings = 0;
  for (const BookPosition& b : positions) with_kings += b.position.kings != 0;
  ASSERT_GT(with_kings, 100);
  qbtest::load_positions(positions);
  for (const BookPosition& b : positions) {
    int slot = book_find(b.position, b.side);
    ASSERT_NE(slot, BOOK_NOT_FOUND);
    BookEntry e = book_decode(slot, b.position.kings);
    EXPECT_EQ(e.first, b.entry.first);
    EXPECT_EQ(e.second, b.entry.second);
    EXPECT_EQ(e.value, b.entry.value);
  }
  EXPECT_EQ(g_book.header.positions, 3000);
}

TEST_F(BookFile, SideToMoveAndKingsTellPositionsApart) {
  // The same men with black to move only; the same squares with one king,
  // and with another king.
  Position plain{{0x30, 0x300000}, 0};
  Position king_a{{0x30, 0x300000}, 0x10};
  Position king_b{{0x30, 0x300000}, 0x100000};
  qbtest::load_positions({{plain, BLACK, {0, BOOK_NO_MOVE, 5}},
                          {king_a, BLACK, {1, BOOK_NO_MOVE, 6}},
                          {king_b, BLACK, {2, BOOK_NO_MOVE, 7}}});
  EXPECT_EQ(book_find(plain, WHITE), BOOK_NOT_FOUND);
  EXPECT_EQ(book_find(king_a, WHITE), BOOK_NOT_FOUND);
  EXPECT_EQ(book_find(Position{{0x30, 0x300000}, 0x20}, BLACK), BOOK_NOT_FOUND);
  EXPECT_EQ(book_find(Position{{0x30, 0x300000}, 0x110}, BLACK), BOOK_NOT_FOUND);
  struct Case {
    Position p;
    int value;
  } cases[] = {{plain, 5}, {king_a, 6}, {king_b, 7}};
  for (const Case& c : cases) {
    int slot = book_find(c.p, BLACK);
    ASSERT_NE(slot, BOOK_NOT_FOUND);
    EXPECT_EQ(book_decode(slot, c.p.kings).value, c.value);
  }
}

TEST_F(BookFile, VersionTextMustNotSortBefore401) {
  struct Case {
    const char* version;
    bool accepted;
  } cases[] = {{"4.01", true},  {"4.10", true},  {"5.00", true}, {"4.01b", true},
               {"3.99", false}, {"4.00", false}, {"4.0", false}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    qbtest::load_positions({{start_position(), BLACK, {0, BOOK_NO_MOVE, 0}}});
    RawBook raw;
    raw.version = c.version;
    raw.records.push_back(qbtest::record_for(start_position(), BLACK, {1, BOOK_NO_MOVE, 3}));
    EXPECT_EQ(load_book(qbtest::save_image(qbtest::raw_image(raw)).c_str(), 1), c.accepted);
    EXPECT_EQ(g_book.loaded, c.accepted);
    EXPECT_EQ(g_book_status.loaded, c.accepted);
    EXPECT_EQ(book_find(start_position(), BLACK) != BOOK_NOT_FOUND, c.accepted);
    EXPECT_EQ(log().find("Old version of Quillbar.odb incompatible with this engine\n") != std::string::npos,
              !c.accepted);
    std::filesystem::remove(g_log_path);
  }
}

TEST_F(BookFile, MissingFileKeepsTheBookInUse) {
  qbtest::load_positions({{start_position(), BLACK, {2, BOOK_NO_MOVE, 0}}});
  std::string loaded_name = g_settings.bookfile;
  std::string missing = qbtest::make_temp_dir("missing") + "/none.odb";
  EXPECT_FALSE(load_book(missing.c_str(), 1));
  EXPECT_TRUE(g_book.loaded);
  EXPECT_NE(book_find(start_position(), BLACK), BOOK_NOT_FOUND);
  EXPECT_EQ(g_settings.bookfile, loaded_name);
  EXPECT_NE(log().find("Cannot open bookfile " + missing + "\n"), std::string::npos);
}

// Only regular files are opened: a FIFO would block until a writer came.
// Should the load block, the test opens the FIFO's other end to free it.
TEST_F(BookFile, OnlyARegularFileIsABookFile) {
  struct Case {
    const char* what;
    bool (*make)(const std::string& path);
  };
  const Case cases[] = {
      {"directory", [](const std::string& path) { return std::filesystem::create_directory(path); }},
#ifndef _WIN32
      {"fifo", [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qbtest::load_positions({{start_position(), BLACK, {2, BOOK_NO_MOVE, 0}}});
    std::string path = qbtest::make_temp_dir("not-a-book") + "/book.odb";
    ASSERT_TRUE(c.make(path));
    auto loading = std::async(std::launch::async, [&] { return load_book(path.c_str(), 1); });
    bool ended = loading.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
#ifndef _WIN32
    if (!ended) ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
#endif
    EXPECT_TRUE(ended) << "the load waited on the file";
    EXPECT_FALSE(loading.get());
    EXPECT_TRUE(g_book.loaded);
    EXPECT_NE(log().find("Cannot open bookfile " + path + "\n"), std::string::npos);
  }
}

TEST_F(BookFile, NameIsTakenRelativeToTheDirectoryPrefix) {
  // As in a host's folder holding "engines/".
  std::string host_dir = qbtest::make_temp_dir("host");
  std::filesystem::create_directory(host_dir + "/engines");
  qbtest::save_image(build_book_image({{start_position(), BLACK, {0, 1, 0}}}, nullptr),
                     host_dir + "/engines/Named.odb");
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(host_dir);
  std::snprintf(g_startup.dir_prefix, sizeof g_startup.dir_prefix, "engines/");
  bool loaded = load_book("Named.odb", 1);
  g_startup.dir_prefix[0] = '\0';
  std::filesystem::current_path(previous);
  EXPECT_TRUE(loaded);
  EXPECT_STREQ(g_settings.bookfile, "Named.odb");
  EXPECT_NE(log().find("Loading open book file engines/Named.odb,"), std::string::npos);
}

TEST_F(BookFile, LoadingLogsSetsTheNameAndReseeds) {
  std::vector<uint8_t> image = build_book_image({{start_position(), BLACK, {0, 1, 0}}}, nullptr);
  std::string path = qbtest::save_image(image);
  ASSERT_TRUE(load_book(path.c_str(), 1000));
  EXPECT_EQ(std::string(g_settings.bookfile), path);
  EXPECT_NE(log().find("Loading open book file " + path + ", version 4.01, 1 positions read\n"),
            std::string::npos);
  EXPECT_TRUE(g_book_status.loaded);
  EXPECT_STREQ(g_book_status.version, "4.01");
  EXPECT_EQ(g_book_status.positions, 1);
  uint32_t after_first_load = random_number();
  std::vector<BookRecord> records = g_book.records;

  ASSERT_TRUE(load_book(path.c_str(), 2000));
  EXPECT_EQ(g_book.records.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(g_book.records[i].info, records[i].info);
    EXPECT_EQ(g_book.records[i].black, records[i].black);
  }
  uint32_t after_second_load = random_number();
  EXPECT_NE(after_first_load, after_second_load);
  random_seed(2000 | 0xAAA);
  EXPECT_EQ(random_number(), after_second_load);
}

// Books laid out by hand around the slot a position hashes to.
class BookProbe : public BookFile {
 protected:
  // A table size where the position's home slot is not slot 0, so that a
  // run of probes from it can wrap.
  static int table_size() {
    int n = 8;
    while (book_hash(start_position(), BLACK) % uint32_t(n) == 0) ++n;
    return n;
  }
  const int slots = table_size();
  Position target = start_position();
  int start = int(book_hash(start_position(), BLACK) % uint32_t(slots));
  BookRecord filler(int n) const {  // occupies a slot, matches nothing asked here
    return BookRecord{0, 0x1000u << (n % 16), 0x80000000u};
  }
  BookRecord wanted() const { return qbtest::record_for(target, BLACK, {3, BOOK_NO_MOVE, 42}); }
  bool found_in(RawBook raw) {
    if (!load_book(qbtest::save_image(qbtest::raw_image(raw)).c_str(), 1)) return false;
    return book_find(target, BLACK) != BOOK_NOT_FOUND;
  }
};

TEST_F(BookProbe, EmptySlotEndsTheLookup) {
  RawBook raw;
  raw.probe_limit = slots;
  raw.records.assign(slots, BookRecord{});
  raw.records[(start + 2) % slots] = wanted();
  EXPECT_FALSE(found_in(raw));
  raw.records[(start + 1) % slots] = filler(1);
  raw.records[start] = filler(0);
  EXPECT_TRUE(found_in(raw));
}

TEST_F(BookProbe, ProbingWrapsOnceAndStopsAtTheLimit) {
  RawBook raw;
  raw.records.assign(slots, BookRecord{});
  for (int s = 0; s < slots; ++s) raw.records[s] = filler(s);
  int before_start = (start + slots - 1) % slots;  // the last slot probed
  raw.records[before_start] = wanted();
  raw.probe_limit = slots;
  EXPECT_TRUE(found_in(raw));
  raw.probe_limit = slots - 1;
  EXPECT_FALSE(found_in(raw));
  // A limit beyond the table size examines each slot once, then gives up.
  raw.records[before_start] = filler(before_start);
  raw.probe_limit = 1000;
  EXPECT_FALSE(found_in(raw));
}

TEST_F(BookFile, HeadersWithoutUsableCountsLeaveNoBook) {
  struct Case {
    int32_t slots, probe_limit, king_masks, positions;
  } cases[] = {{0, 1, 0, 0},  {-1, 1, 0, 0}, {4, 0, 0, 0},    {4, -3, 0, 0},
               {4, 1, -1, 0}, {4, 1, 0, -5}, {4, 1, 9000, 0}, {0x7FFFFFFF, 1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.slots << " " << c.probe_limit << " " << c.king_masks);
    qbtest::load_positions({{start_position(), BLACK, {0, BOOK_NO_MOVE, 0}}});
    std::vector<uint8_t> image(32 + 64, 0);
    std::memcpy(image.data(), "4.01", 5);
    write_word(&image[16], uint32_t(c.positions));
    write_word(&image[20], uint32_t(c.slots));
    write_word(&image[24], uint32_t(c.probe_limit));
    write_word(&image[28], uint32_t(c.king_masks));
    EXPECT_FALSE(load_book(qbtest::save_image(image).c_str(), 1));
    EXPECT_FALSE(g_book.loaded);
    EXPECT_FALSE(g_book_status.loaded);
    EXPECT_EQ(book_find(start_position(), BLACK), BOOK_NOT_FOUND);
  }
}

// After any load, the book must answer lookups, move requests and printing
// without reading outside its tables.
void exercise_book() {
  g_log_path.clear();  // the text is built all the same; spare the disk
  MoveList moves = qbtest::legal_moves(start_position(), BLACK);
  int index = 0, value = 0;
  char status[HOST_TEXT_SIZE] = "";
  book_move(start_position(), BLACK, moves, nullptr, &index, &value, status);
  print_book();
}

TEST_F(BookFile, TruncatedFilesAreRefusedAtEveryLength) {
  std::vector<BookPosition> positions = random_game_positions(12, 3);
  std::vector<uint8_t> image = build_book_image(positions, nullptr);
  const std::string path = qbtest::save_image({});
  for (std::size_t length = 0; length < image.size(); ++length) {
    std::vector<uint8_t> cut(image.begin(), image.begin() + long(length));
    ASSERT_FALSE(load_book(qbtest::save_image(cut, path).c_str(), 1)) << length;
    ASSERT_FALSE(g_book.loaded);
    exercise_book();
  }
  EXPECT_TRUE(load_book(qbtest::save_image(image).c_str(), 1));
}

TEST_F(BookFile, GarbageFilesNeverCrash) {
  std::mt19937 rng(11);
  g_settings.book = 1;
  int loaded = 0;
  const std::string path = qbtest::save_image({});
  for (int round = 0; round < 300; ++round) {
    // Plausible headers over random tables, so that many of them load.
    int32_t slots = int32_t(rng() % 40) - 2;
    int32_t king_masks = int32_t(rng() % 6) - 1;
    std::vector<uint8_t> image(32, 0);
    std::memcpy(image.data(), round % 7 ? "4.01" : "\xff\xff\xff\xff", 5);
    write_word(&image[16], rng() % 100000);
    write_word(&image[20], uint32_t(slots));
    write_word(&image[24], uint32_t(int32_t(rng() % 60) - 5));
    write_word(&image[28], uint32_t(king_masks));
    std::size_t table_bytes = std::size_t(std::max(0, slots) * 12 + std::max(0, king_masks) * 4);
    if (round % 5 == 0) table_bytes = rng() % 300;
    for (std::size_t i = 0; i < table_bytes; ++i) image.push_back(uint8_t(rng()));
    loaded += load_book(qbtest::save_image(image, path).c_str(), 1);
    exercise_book();
  }
  EXPECT_GT(loaded, 100);  // most rounds must reach the lookups
}

TEST_F(BookFile, CorruptedBooksNeverCrash) {
  // Real lines from the start position with random bytes overwritten, so the
  // walks meet records whose moves, king-mask indices and values are wrong.
  std::vector<uint8_t> image = build_book_image(random_game_positions(400, 5), nullptr);
  std::mt19937 rng(13);
  g_settings.book = 1;
  int loaded = 0;
  const std::string path = qbtest::save_image({});
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> damaged = image;
    int hits = 1 + int(rng() % 40);
    for (int i = 0; i < hits; ++i) {
      std::size_t at = BOOK_HEADER_SIZE + rng() % (damaged.size() - BOOK_HEADER_SIZE);
      damaged[at] = uint8_t(rng());
    }
    loaded += load_book(qbtest::save_image(damaged, path).c_str(), 1);
    exercise_book();
  }
  EXPECT_EQ(loaded, 200);
}

TEST_F(BookFile, WriterRefusesWhatTheFormatCannotHold) {
  Position p = start_position();
  struct Case {
    BookPosition b;
  } cases[] = {{{Position{{0, 0x10}, 0}, BLACK, {0, BOOK_NO_MOVE, 0}}},
               {{p, Side(2), {0, BOOK_NO_MOVE, 0}}},
               {{p, BLACK, {31, BOOK_NO_MOVE, 0}}},
               {{p, BLACK, {-1, BOOK_NO_MOVE, 0}}},
               {{p, BLACK, {0, 40, 0}}}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(build_book_image({c.b}, &error).empty());
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_TRUE(build_book_image({{p, BLACK, {0, 1, 0}}, {p, BLACK, {2, 3, 0}}}, &error).empty());
  EXPECT_NE(error.find("twice"), std::string::npos);
}

TEST_F(BookFile, WriterClampsValuesAndDropsSecondMovesOfKingPositions) {
  Position king{{0x30, 0x300000}, 0x10};
  qbtest::load_positions({{start_position(), BLACK, {0, 1, 5000}},
                          {start_position(), WHITE, {0, 1, -5000}},
                          {king, BLACK, {2, 3, 100}}});
  EXPECT_EQ(book_decode(book_find(start_position(), BLACK), 0).value, BOOK_VALUE_MAX);
  EXPECT_EQ(book_decode(book_find(start_position(), WHITE), 0).value, BOOK_VALUE_MIN);
  BookEntry k = book_decode(book_find(king, BLACK), king.kings);
  EXPECT_EQ(k.first, 2);
  EXPECT_EQ(k.second, BOOK_NO_MOVE);
  EXPECT_EQ(k.value, 100);
}

}  // namespace
