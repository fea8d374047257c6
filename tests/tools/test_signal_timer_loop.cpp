// The live tool's timer loop: timers fire on the calling thread, restart and stop as told, and a
// termination signal ends the loop. Timer periods are 1 ms and only the order of events is
// checked, never how long anything took.
#include <gtest/gtest.h>
#include <signal.h>

#include <vector>

#include "signal_timer_loop.h"

namespace brindlemoor {
namespace {

class SignalTimerLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pthread_sigmask(SIG_SETMASK, nullptr, &savedMask);
    SignalTimerLoop::BlockTerminationSignals();
  }
  void TearDown() override { pthread_sigmask(SIG_SETMASK, &savedMask, nullptr); }

  // Records each timer id; on the `stopAfter`-th call raises SIGTERM, and on the first call
  // swaps timer 2 for timer 5 when `swap` is set.
  struct Recorder {
    SignalTimerLoop* loop;
    std::vector<uint32_t> ids;
    size_t stopAfter;
    bool swap;
    static void OnTimer(void* context, uint32_t id) {
      auto& self = *static_cast<Recorder*>(context);
      self.ids.push_back(id);
      if (self.swap && self.ids.size() == 1) {
        self.loop->KillTimer(2);
        self.loop->SetTimer(5, 1);
      }
      if (self.ids.size() == self.stopAfter) raise(SIGTERM);
    }
  };

  sigset_t savedMask;
  SignalTimerLoop loop;
};

TEST_F(SignalTimerLoopTest, APendingSignalEndsTheLoopWithoutAnyTimer) {
  raise(SIGINT);
  Recorder recorder{&loop, {}, 0, false};
  EXPECT_EQ(loop.Run(&Recorder::OnTimer, &recorder), SIGINT);
  EXPECT_TRUE(recorder.ids.empty());
}

TEST_F(SignalTimerLoopTest, FiresRepeatedlyUntilASignalComes) {
  loop.SetTimer(2, 1);
  Recorder recorder{&loop, {}, 3, false};
  EXPECT_EQ(loop.Run(&Recorder::OnTimer, &recorder), SIGTERM);
  EXPECT_EQ(recorder.ids, (std::vector<uint32_t>{2, 2, 2}));
  EXPECT_TRUE(loop.TimerRunning(2));
}

TEST_F(SignalTimerLoopTest, AHandlerCanKillItsTimerAndStartAnother) {
  loop.SetTimer(2, 1);
  Recorder recorder{&loop, {}, 3, true};
  EXPECT_EQ(loop.Run(&Recorder::OnTimer, &recorder), SIGTERM);
  EXPECT_EQ(recorder.ids, (std::vector<uint32_t>{2, 5, 5}));
  EXPECT_FALSE(loop.TimerRunning(2));
  EXPECT_TRUE(loop.TimerRunning(5));
}

// Every request to end the program ends the loop: SIGHUP (the terminal closed) like the others.
class PendingSignalTest : public SignalTimerLoopTest, public ::testing::WithParamInterface<int> {};

TEST_P(PendingSignalTest, EndsTheLoop) {
  raise(GetParam());
  Recorder recorder{&loop, {}, 0, false};
  EXPECT_EQ(loop.Run(&Recorder::OnTimer, &recorder), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Signals, PendingSignalTest, ::testing::Values(SIGTERM, SIGHUP));

}  // namespace
}  // namespace brindlemoor
