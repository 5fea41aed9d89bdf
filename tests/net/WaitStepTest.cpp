#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/Codes.h"
#include "net/SocketObject.h"
#include "rssvane/MessageLoop.h"

namespace rssvane {
namespace {

// Records the messages of its window; a handler may act on each.
class Probe : public SocketObject {
 public:
  std::vector<uint32_t> seen;
  std::function<void(uint32_t)> onMessage;

  void Post(uint32_t message) { PostToSelf(message, 0, 0); }

 protected:
  void HandleMessage(uint32_t message, uintptr_t, intptr_t) override {
    seen.push_back(message);
    if (onMessage) onMessage(message);
  }
};

bool Never() { return false; }

TEST(WaitStep, MessagesOfTheThreadAreServedInOrderWhileACallWaits) {
  Probe a, b;
  a.Post(1);
  b.Post(2);
  a.Post(3);
  EXPECT_EQ(a.WaitUntil([&] { return a.seen.size() == 2; }), 0);
  EXPECT_EQ(a.seen, (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(b.seen, (std::vector<uint32_t>{2}));
}

TEST(WaitStep, AnInterruptEndsTheWait) {
  Probe p;
  p.Post(1);
  p.onMessage = [&](uint32_t) { p.RequestInterrupt(); };
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  EXPECT_EQ(p.LastErrorText(), "Interrupted.");
  EXPECT_TRUE(p.Interrupted());
  EXPECT_FALSE(p.InterruptRequested());
}

TEST(WaitStep, AQuitEndsEveryWaitUntilAPumpTakesIt) {
  Probe p;
  PostQuitMessage(7);
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  int code = 0;
  EXPECT_FALSE(PumpMessages(0, &code));
  EXPECT_EQ(code, 7);
  EXPECT_TRUE(PumpMessages(0));
}

TEST(WaitStep, TheHostHookRunsOnEveryPassAndEndsTheWaitWhenItCloses) {
  Probe p;
  int passes = 0;
  SetHostEventHook([](void* n) { return ++*static_cast<int*>(n) < 3; }, &passes);
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  SetHostEventHook(nullptr, nullptr);
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(p.LastErrorText(), "Interrupted.");
}

TEST(WaitStep, TheDeadlineEndsTheWaitWithTimeout) {
  Probe p;
  p.SetTimeoutSeconds(-1);  // a deadline already passed
  EXPECT_EQ(p.TimeoutSeconds(), -1);
  p.ArmDeadline();
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  EXPECT_EQ(p.LastErrorText(), "Timeout.");
  p.SetTimeoutSeconds(5);
  EXPECT_FALSE(p.DeadlineArmed());
}

TEST(WaitStep, AnObjectDestroyedByAHandlerEndsItsOwnWait) {
  Probe p;
  p.Post(1);
  p.Post(2);
  p.onMessage = [&](uint32_t) { p.Destroy(); };
  EXPECT_EQ(p.WaitUntil(Never), kErrInterrupted);
  EXPECT_EQ(p.seen, (std::vector<uint32_t>{1}));  // the window went with it
}

TEST(WaitStep, APumpOfZeroServesOnlyWhatIsWaiting) {
  Probe p;
  p.onMessage = [&](uint32_t) { p.Post(1); };  // every message posts another
  p.Post(1);
  p.Post(1);
  EXPECT_TRUE(PumpMessages(0));
  EXPECT_EQ(p.seen.size(), 2u);
  p.onMessage = nullptr;
  EXPECT_TRUE(PumpMessages(0));
  EXPECT_EQ(p.seen.size(), 4u);
}

}  // namespace
}  // namespace rssvane
