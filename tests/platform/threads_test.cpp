#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"

namespace {
using namespace qb::platform;

struct PingPong {
  Event* ping;
  Event* pong;
  int rounds;
  std::atomic<int> answered{0};
};

void answer(void* arg) {
  auto* game = static_cast<PingPong*>(arg);
  const int rounds = game->rounds;  // the game is gone once the last answer is in
  for (int i = 0; i < rounds; ++i) {
    event_wait(game->ping);
    game->answered++;
    event_set(game->pong);
  }
}

TEST(Threads, EventsHandOverInTurn) {
  PingPong game{event_create(), event_create(), 200};
  ASSERT_TRUE(game.ping && game.pong);
  ASSERT_TRUE(thread_start(answer, &game));
  for (int i = 0; i < game.rounds; ++i) {
    event_set(game.ping);
    event_wait(game.pong);
    ASSERT_EQ(game.answered.load(), i + 1);
  }
  event_destroy(game.ping);
  event_destroy(game.pong);
}

struct Waiter {
  Event* event;
  std::atomic<bool> woke{false};
};

// Two sets before a wait wake it once: the event resets as the wait returns.
TEST(Threads, EventsResetThemselves) {
  Waiter w{event_create()};
  event_set(w.event);
  event_set(w.event);
  event_wait(w.event);
  ASSERT_TRUE(thread_start(
      [](void* arg) {
        auto* waiter = static_cast<Waiter*>(arg);
        event_wait(waiter->event);
        waiter->woke = true;
      },
      &w));
  sleep_ms(50);
  EXPECT_FALSE(w.woke.load());
  event_set(w.event);
  while (!w.woke.load()) sleep_ms(1);
  event_destroy(w.event);
}

}  // namespace
