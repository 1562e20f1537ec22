// The host against stand-in engines run as real server processes.
#include <gtest/gtest.h>

#include <chrono>

#include "board/fen.h"
#include "engine_process.h"
#include "board/movegen.h"

namespace {

using Clock = std::chrono::steady_clock;

host::EngineConfig fake(const std::string& mode) {
  host::EngineConfig config;
  config.library = std::string(QB_FAKE_ENGINE_DIR) + "/libfake_engine_" + mode + ".so";
  config.server_program = std::string(QB_BINARY_DIR) + "/quillbar";
  return config;
}

// After 11-15: no longer the start, where the misbehaving fakes behave.
host::MoveRequest after_first_move(double maxtime) {
  host::MoveRequest r;
  r.position = qb::parse_fen("W:W21-32:B1-10,12,15")->position;
  r.side = qb::WHITE;
  r.maxtime = maxtime;
  r.stop_after = 5;
  r.give_up_after = 10;
  return r;
}

TEST(EngineProcess, PlaysLegalMovesThroughTheServer) {
  host::EngineProcess engine;
  std::string error;
  ASSERT_TRUE(engine.start(fake("first"), error)) << error;
  EXPECT_EQ(engine.name(), "Fake engine");

  std::vector<std::string> seen;
  host::MoveRequest request = after_first_move(0.4);
  host::MoveReply reply = engine.getmove(request, [&](const std::string& s) { seen.push_back(s); });
  ASSERT_TRUE(reply.ok) << reply.failure;
  qb::MoveList moves;  // the fake plays in the generator's order
  qb::generate_moves(request.position, moves, qb::Side(request.side));
  EXPECT_EQ(reply.after, moves.moves[0]);
  EXPECT_EQ(reply.result, 3);
  EXPECT_EQ(reply.status, "fake picks 1 of 7");
  ASSERT_FALSE(seen.empty());  // the text written while it thought
  EXPECT_EQ(seen.front(), "fake thinking");

  host::CommandReply set = engine.command("set pick 2");
  EXPECT_TRUE(set.ok);
  EXPECT_EQ(set.result, 1);
  EXPECT_EQ(set.text, "pick set to 2");
  host::CommandReply about = engine.command("about");
  EXPECT_EQ(about.text, "Fake engine\nfor tests\n");
  host::CommandReply unknown = engine.command("frobnicate");
  EXPECT_TRUE(unknown.ok);
  EXPECT_EQ(unknown.result, 0);

  reply = engine.getmove(after_first_move(0.01));
  ASSERT_TRUE(reply.ok) << reply.failure;
  EXPECT_EQ(reply.after, moves.moves[2]);
}

TEST(EngineProcess, StartCommandsMustBeUnderstood) {
  host::EngineConfig config = fake("first");
  config.commands = {"set pick 1", "set nonsense 3"};
  host::EngineProcess engine;
  std::string error;
  EXPECT_FALSE(engine.start(config, error));
  EXPECT_EQ(error, "'set nonsense 3': Unrecognized command 'set nonsense 3', ignored");
  EXPECT_FALSE(engine.running());
}

TEST(EngineProcess, ReportsLibrariesThatCannotServe) {
  host::EngineConfig missing = fake("first");
  missing.library = "/no/such/engine.so";
  host::EngineProcess engine;
  std::string error;
  EXPECT_FALSE(engine.start(missing, error));
  EXPECT_NE(error.find("cannot load /no/such/engine.so"), std::string::npos) << error;

  host::EngineConfig no_program = fake("first");
  no_program.server_program = "/no/such/quillbar";
  EXPECT_FALSE(engine.start(no_program, error));
  EXPECT_NE(error.find("cannot start /no/such/quillbar"), std::string::npos) << error;
}

TEST(EngineProcess, CrashIsReportedWithItsSignal) {
  host::EngineProcess engine;
  std::string error;
  ASSERT_TRUE(engine.start(fake("crash"), error)) << error;
  host::MoveReply reply = engine.getmove(after_first_move(0.01));
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.failure, "crashed (signal 6: Aborted)");
  EXPECT_FALSE(engine.running());
  EXPECT_FALSE(engine.getmove(after_first_move(0.01)).ok);
}

TEST(EngineProcess, HungEngineIsGivenUpAndKilled) {
  host::EngineProcess engine;
  std::string error;
  ASSERT_TRUE(engine.start(fake("hang"), error)) << error;
  host::MoveRequest request = after_first_move(0.01);
  request.stop_after = 0.2;
  request.give_up_after = 0.6;
  auto start = Clock::now();
  host::MoveReply reply = engine.getmove(request);
  double took = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.failure, "gave no move within 0.6 s");
  EXPECT_LT(took, 5.0);
  EXPECT_FALSE(engine.running());
}

}  // namespace
