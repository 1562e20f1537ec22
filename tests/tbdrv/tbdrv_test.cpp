// The database builder and driver against an independent solver, plus the
// driver's handling of damaged files, conditional lookups and threads.
#include "tbdrv.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "reference.h"
#include "support/build_files.h"
#include "support/temp_env.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_messages_lock;
std::vector<std::string> g_messages;
void collect(const char* text) {
  std::lock_guard<std::mutex> hold(g_messages_lock);
  g_messages.push_back(text);
}

int run(const std::string& command) { return qbtest::run_quietly(command); }

// Runs a command line and hands back its standard output and exit status.
struct Output {
  std::string text;
  int status;
};
Output output_of(const std::string& command) {
#ifdef _WIN32
  FILE* pipe = _popen(command.c_str(), "r");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  Output out{"", -1};
  if (!pipe) return out;
  char chunk[512];
  while (std::fgets(chunk, sizeof chunk, pipe)) out.text += chunk;
#ifdef _WIN32
  out.status = _pclose(pipe);
#else
  out.status = pclose(pipe);
#endif
  return out;
}
const std::string TBGEN = qbtest::build_program("tbgen");

// Tables of all three kinds, built once per test process (with 16-bit
// copies of the distance tables for 3 pieces).
std::string tables(int pieces) {
  static std::map<int, std::string> built;
  if (!built.count(pieces)) {
    std::string dir = qbtest::make_temp_dir("tables");
    std::string tbgen = TBGEN + " build -j 2 -n " + std::to_string(pieces);
    std::string cmd = tbgen + " --wld " + dir + "/wld --dtw " + dir + "/dtw --mtc " + dir + "/mtc";
    EXPECT_EQ(run(cmd), 0) << cmd;
    // The same distances in 16-bit values, which larger databases need.
    cmd = tbgen + " --wide --dtw " + dir + "/dtw16 --mtc " + dir + "/mtc16";
    if (pieces == 3) {
      EXPECT_EQ(run(cmd), 0) << cmd;
    }
    built[pieces] = dir;
  }
  return built[pieces];
}

const ref::Solved& reference() {
  static const ref::Solved solved = ref::solve(3);
  return solved;
}

// What the driver should answer for reference position i.
int expected(int type, size_t i) {
  int dtw = reference().dtw[i], mtc = reference().mtc[i];
  if (type == TBDRV_TYPE_WLD) return dtw < 0 ? TBDRV_DRAW : dtw % 2 ? TBDRV_WIN : TBDRV_LOSS;
  if (type == TBDRV_TYPE_DTW) return dtw < 0 ? -1 : dtw % 2 ? (dtw - 1) / 2 : dtw / 2;
  if (mtc < 0) return TBDRV_MTC_NEAR;
  int units = dtw % 2 ? (mtc - 1) / 2 : mtc / 2;
  return std::max(units, int(TBDRV_MTC_NEAR));
}

int lookup(tbdrv_handle* h, const ref::Pos& p, int conditional = 0) {
  tbdrv_position pos{p.black, p.white, p.kings};
  return h->ops->lookup(h, &pos, p.side, conditional);
}

bool quiet(const ref::Pos& p) {
  auto count = [](const ref::Pos& q) { return __builtin_popcount(q.black | q.white); };
  std::vector<ref::Child> next = ref::moves(p);
  return std::all_of(next.begin(), next.end(), [&](const ref::Child& c) { return count(c.pos) == count(p); });
}

struct Handle {
  tbdrv_handle* h;
  explicit Handle(const std::string& dir, int pieces = 3, int cache_mb = 16)
      : h(tbdrv_open(0, pieces, cache_mb, dir.c_str(), collect)) {}
  ~Handle() {
    if (h) h->ops->close(h);
  }
};

struct KindCase {
  const char* dir;
  int type;
};
const KindCase KINDS[] = {{"wld", TBDRV_TYPE_WLD}, {"dtw", TBDRV_TYPE_DTW}, {"mtc", TBDRV_TYPE_MTC}};
const KindCase WIDE_KINDS[] = {{"dtw16", TBDRV_TYPE_DTW}, {"mtc16", TBDRV_TYPE_MTC}};

TEST(Tables, MatchTheIndependentSolverUpToThreePieces) {
  std::vector<KindCase> all(std::begin(KINDS), std::end(KINDS));
  all.insert(all.end(), std::begin(WIDE_KINDS), std::end(WIDE_KINDS));
  for (const KindCase& k : all) {
    std::string dir = tables(3) + "/" + k.dir;
    int type = 0, pieces = 0;
    ASSERT_EQ(tbdrv_identify(dir.c_str(), &type, &pieces), 0);
    EXPECT_EQ(type, k.type);
    EXPECT_EQ(pieces, 3);
    Handle db(dir);
    ASSERT_TRUE(db.h);
    EXPECT_EQ(db.h->ops->type(db.h), k.type);
    EXPECT_EQ(db.h->ops->pieces(db.h), 3);
    size_t wrong = 0;
    for (size_t i = 0; i < reference().positions.size(); ++i) {
      int got = lookup(db.h, reference().positions[i]), want = expected(k.type, i);
      if (got != want && ++wrong <= 5) {
        const ref::Pos& p = reference().positions[i];
        ADD_FAILURE() << k.dir << ": black " << std::hex << p.black << " white " << p.white << " kings "
                      << p.kings << std::dec << " side " << p.side << ": got " << got << ", want " << want;
      }
    }
    EXPECT_EQ(wrong, 0u) << k.dir;
  }
}

TEST(Tables, KingEndingsHaveTheExceptionsTheRulesImply) {
  Handle db(tables(3) + "/wld");
  ASSERT_TRUE(db.h);
  size_t two_vs_one_not_won = 0, one_vs_one_won = 0;
  for (size_t i = 0; i < reference().positions.size(); ++i) {
    const ref::Pos& p = reference().positions[i];
    if (p.kings != (p.black | p.white)) continue;
    int mover = __builtin_popcount(p.side ? p.white : p.black);
    int other = __builtin_popcount(p.side ? p.black : p.white);
    int got = lookup(db.h, p);
    EXPECT_EQ(got, expected(TBDRV_TYPE_WLD, i));
    if (mover == 2 && other == 1 && got != TBDRV_WIN) ++two_vs_one_not_won;
    if (mover == 1 && other == 1 && got == TBDRV_WIN) ++one_vs_one_won;
  }
  // Forks and the double corner save the lone king a few dozen times.
  EXPECT_GT(two_vs_one_not_won, 0u);
  EXPECT_LT(two_vs_one_not_won, 100u);
  // A king caught against the edge is lost.
  EXPECT_GT(one_vs_one_won, 0u);
}

TEST(Tables, RejectQuestionsOutsideTheDatabase) {
  Handle wld(tables(3) + "/wld"), dtw(tables(3) + "/dtw");
  ASSERT_TRUE(wld.h && dtw.h);
  struct Case {
    tbdrv_position p;
    int side;
  } cases[] = {
      {{0x1, 0x1, 0x1}, 0},                    // one square, both colours
      {{0x1, 0x100, 0x2}, 0},                  // a king where there is no piece
      {{0x10000000, 0x100, 0}, 0},             // black man on its crowning row
      {{0x1, 0x100, 0x101}, 2},                // no such side
      {{0x1 | 0x2, 0x100 | 0x200, 0x303}, 0},  // four pieces, database of three
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wld.h->ops->lookup(wld.h, &c.p, c.side, 0), TBDRV_UNKNOWN);
    EXPECT_EQ(dtw.h->ops->lookup(dtw.h, &c.p, c.side, 0), TBDRV_NO_DISTANCE);
  }
}

TEST(Tables, FourPiecesPassTheConsistencyCheck) {
  for (const KindCase& k : KINDS) {
    std::string dir = tables(4) + "/" + k.dir;
    EXPECT_EQ(run(TBGEN + " verify -j 2 " + dir), 0) << k.dir;
  }
}

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Built alone, win/loss/draw tables are solved with their counters inside
// the codes and their larger levels found by sweeping the codes; built
// beside the distances, with separate counters and every level listed.
// The two ways must write the same files.
TEST(Tables, AWinLossDrawBuildAloneWritesTheSameFiles) {
  std::string alone = qbtest::make_temp_dir("wld-alone");
  ASSERT_EQ(run(TBGEN + " build -j 2 -n 4 --wld " + alone), 0);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(tables(4) + "/wld")) {
    ++files;
    EXPECT_EQ(contents(entry.path()), contents(fs::path(alone) / entry.path().filename()))
        << entry.path().filename();
  }
  EXPECT_EQ(files, size_t(std::distance(fs::directory_iterator(alone), fs::directory_iterator())));
}

TEST(Tables, AnInterruptedBuildResumes) {
  std::string dir = qbtest::make_temp_dir("resume");
  std::string cmd = TBGEN + " build -n 3 --wld " + dir;
  ASSERT_EQ(run(cmd), 0);
  fs::path victim = fs::path(dir) / "b01w11.wld";
  fs::remove(victim);
  auto untouched = fs::last_write_time(fs::path(dir) / "b10w02.wld");
  ASSERT_EQ(run(cmd), 0);
  EXPECT_TRUE(fs::exists(victim));
  EXPECT_EQ(fs::last_write_time(fs::path(dir) / "b10w02.wld"), untouched);
  Handle db(dir);
  ASSERT_TRUE(db.h);
  for (size_t i = 0; i < reference().positions.size(); i += 7)
    ASSERT_EQ(lookup(db.h, reference().positions[i]), expected(TBDRV_TYPE_WLD, i));
}

// Copies the 3-piece tables of one kind and damages one file.
std::string damaged_copy(const char* kind, const char* file,
                         const std::function<void(const fs::path&)>& damage) {
  // Into a folder not there yet: copying into an existing one fails on Windows.
  std::string dir = qbtest::make_temp_dir("damaged") + "/" + kind;
  fs::copy(tables(3) + "/" + kind, dir, fs::copy_options::recursive);
  damage(fs::path(dir) / file);
  return dir;
}

void flip_byte(const fs::path& file, uintmax_t at) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(std::streamoff(at));
  char c = 0;
  f.read(&c, 1);
  c = char(c ^ 0x5A);
  f.seekp(std::streamoff(at));
  f.write(&c, 1);
}

// A missing or damaged 3-piece file: the driver uses 2 pieces and its
// identify names the file, opening 3 pieces fails naming it, and the
// checker names it and fails.
TEST(Tables, DamagedHeadersAndShortFilesAreRefused) {
  struct Case {
    const char* what;
    void (*damage)(const fs::path&);
    const char* why;
  };
  const Case cases[] = {
      {"header", [](const fs::path& f) { flip_byte(f, 20); }, "damaged header"},
      {"index", [](const fs::path& f) { flip_byte(f, 70); }, "damaged index"},
      {"truncated", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) - 1); },
       "truncated or overlong"},
      {"extended", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) + 1); },
       "truncated or overlong"},
      {"missing", [](const fs::path& f) { fs::remove(f); }, "missing"},
      {"another slice's file",
       // Removed first: MinGW's copy_file refuses to overwrite even when told to.
       [](const fs::path& f) { fs::remove(f), fs::copy_file(f.parent_path() / "b01w02.wld", f); },
       "holds another table"},
#ifndef _WIN32
      // A FIFO would block whoever opens it for reading.
      {"fifo", [](const fs::path& f) { fs::remove(f), mkfifo(f.c_str(), 0600); }, "not a regular file"},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dir = damaged_copy("wld", "b01w11.wld", c.damage);
    int type = 0, pieces = 0;
    g_messages.clear();
    ASSERT_EQ(tbdrv_identify_report(dir.c_str(), &type, &pieces, collect), 0);
    EXPECT_EQ(pieces, 2);  // the 3-piece set is incomplete
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].rfind("tbdrv: 3 pieces not used: ", 0), 0u) << g_messages[0];
    EXPECT_NE(g_messages[0].find("b01w11.wld: " + std::string(c.why)), std::string::npos) << g_messages[0];
    g_messages.clear();
    Handle db(dir, 3);
    EXPECT_FALSE(db.h);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_NE(g_messages[0].find("b01w11.wld"), std::string::npos) << g_messages[0];
    Handle two(dir, 2);
    EXPECT_TRUE(two.h);
    Output verify = output_of(TBGEN + " verify -j 2 " + dir);
    EXPECT_NE(verify.status, 0) << verify.text;
    EXPECT_NE(verify.text.find("b01w11.wld: " + std::string(c.why)), std::string::npos) << verify.text;
  }
}

TEST(Tables, ADamagedBlockAnswersNothingRatherThanWrong) {
  // The middle of the data of the largest 3-piece distance table.
  std::string dir = damaged_copy(
      "dtw", "b01w11.dtw", [](const fs::path& f) { flip_byte(f, fs::file_size(f) - fs::file_size(f) / 4); });
  g_messages.clear();
  Handle db(dir);
  ASSERT_TRUE(db.h);
  size_t unanswered = 0;
  for (size_t i = 0; i < reference().positions.size(); ++i) {
    int got = lookup(db.h, reference().positions[i]);
    if (got == TBDRV_NO_DISTANCE && expected(TBDRV_TYPE_DTW, i) != TBDRV_NO_DISTANCE) ++unanswered;
    else ASSERT_EQ(got, expected(TBDRV_TYPE_DTW, i)) << i;
  }
  EXPECT_GT(unanswered, 0u);
  tbdrv_stats st{};
  db.h->ops->stats(db.h, &st);
  EXPECT_GE(st.bad_blocks, 1u);
  ASSERT_EQ(g_messages.size(), 1u);  // reported once, not per lookup
  EXPECT_NE(g_messages[0].find("checksum"), std::string::npos) << g_messages[0];
}

TEST(Tables, ConditionalLookupsNeverReadFiles) {
  // 4-piece distances need far more blocks than a 1 MB cache holds.
  Handle db(tables(4) + "/dtw", 4, 1);
  ASSERT_TRUE(db.h);
  // A position without captures, so that the lookup needs one block.
  size_t i = reference().positions.size() / 2;
  while (!quiet(reference().positions[i])) ++i;
  const ref::Pos& p = reference().positions[i];
  EXPECT_EQ(lookup(db.h, p, 1), TBDRV_NO_DISTANCE);
  EXPECT_EQ(lookup(db.h, p, 0), expected(TBDRV_TYPE_DTW, i));
  EXPECT_EQ(lookup(db.h, p, 1), expected(TBDRV_TYPE_DTW, i));
  tbdrv_stats st{};
  db.h->ops->stats(db.h, &st);
  EXPECT_EQ(st.skipped, 1u);
  EXPECT_EQ(st.block_reads, 1u);
}

TEST(Tables, ADatabaseThatFitsTheCacheIsReadAtOpening) {
  Handle db(tables(3) + "/wld", 3, 16);
  ASSERT_TRUE(db.h);
  for (size_t i = 0; i < reference().positions.size(); i += 11)
    ASSERT_EQ(lookup(db.h, reference().positions[i], 1), expected(TBDRV_TYPE_WLD, i));
  tbdrv_stats st{};
  db.h->ops->stats(db.h, &st);
  EXPECT_EQ(st.skipped, 0u);
}

TEST(Tables, ManyThreadsOnOneHandleAgreeWithOne) {
  std::string dir = tables(4) + "/dtw";
  // Random 4-piece questions; a 1 MB cache keeps the threads evicting.
  std::mt19937 rng(7);
  std::vector<tbdrv_position> questions;
  while (questions.size() < 20000) {
    uint32_t sq[4];
    for (uint32_t& s : sq) s = 1u << (rng() % 32);
    if ((sq[0] | sq[1] | sq[2] | sq[3]) != (sq[0] ^ sq[1] ^ sq[2] ^ sq[3]) ||
        __builtin_popcount(sq[0] | sq[1] | sq[2] | sq[3]) != 4)
      continue;
    uint32_t kings = (sq[0] | sq[1] | sq[2] | sq[3]) & rng() & ~0xF000000Fu;
    kings |= (sq[0] | sq[1]) & 0xF0000000u;  // men never stand on their crowning row
    kings |= (sq[2] | sq[3]) & 0x0000000Fu;
    questions.push_back({sq[0] | sq[1], sq[2] | sq[3], kings});
  }
  std::vector<int> want(questions.size());
  {
    Handle one(dir, 4, 64);
    ASSERT_TRUE(one.h);
    for (size_t i = 0; i < questions.size(); ++i)
      want[i] = one.h->ops->lookup(one.h, &questions[i], int(i & 1), 0);
  }
  Handle shared(dir, 4, 1);
  ASSERT_TRUE(shared.h);
  std::atomic<size_t> mismatches{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < 4; ++t) {
    pool.emplace_back([&, t] {
      for (size_t k = 0; k < questions.size(); ++k) {
        size_t i = (k * 7919 + size_t(t) * 104729) % questions.size();
        if (shared.h->ops->lookup(shared.h, &questions[i], int(i & 1), 0) != want[i]) ++mismatches;
      }
    });
  }
  for (auto& th : pool) th.join();
  EXPECT_EQ(mismatches.load(), 0u);
  tbdrv_stats st{};
  shared.h->ops->stats(shared.h, &st);
  EXPECT_GT(st.block_reads, st.cache_blocks);  // the cache really was too small
}

TEST(SharedLibrary, ExportsOnlyTheInterface) {
  qbtest::SharedLibrary lib(qbtest::engines_file(qbtest::DRIVER_LIBRARY));
  ASSERT_TRUE(lib.loaded()) << qbtest::engines_file(qbtest::DRIVER_LIBRARY);
  auto open = lib.function<decltype(tbdrv_open)>("tbdrv_open");
  auto identify = lib.function<decltype(tbdrv_identify)>("tbdrv_identify");
  auto version = static_cast<const int32_t*>(lib.symbol("tbdrv_version"));
  ASSERT_TRUE(open && identify && version);
  EXPECT_GT(*version, 0);
  EXPECT_FALSE(lib.symbol("_ZN2tb8checksumEPKvm"));  // internals stay hidden
  std::string dir = tables(3) + "/wld";
  int type = 0, pieces = 0;
  ASSERT_EQ(identify(dir.c_str(), &type, &pieces), 0);
  EXPECT_EQ(type, TBDRV_TYPE_WLD);
  tbdrv_handle* h = open(0, pieces, 4, dir.c_str(), collect);
  ASSERT_TRUE(h);
  EXPECT_FALSE(open(1, pieces, 4, dir.c_str(), collect));  // the first argument must be 0
  for (size_t i = 0; i < reference().positions.size(); i += 97)
    ASSERT_EQ(lookup(h, reference().positions[i]), expected(TBDRV_TYPE_WLD, i));
  h->ops->close(h);
}

}  // namespace
