#include "platform/ui/message_hook.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"

namespace vz {
namespace {

class RecordingSink : public IHookMessageSink {
 public:
  explicit RecordingSink(bool handles) : handles_(handles) {}
  intptr_t OnHookMessage(int32_t code, uintptr_t removal, const HookMessage* message, int32_t* handled) override {
    calls.push_back({code, removal, message->message});
    if (on_call) on_call();
    if (handles_) *handled = 1;
    return 0;
  }
  struct Call {
    int32_t code;
    uintptr_t removal;
    uint32_t message;
  };
  std::vector<Call> calls;
  std::function<void()> on_call;

 private:
  bool handles_;
};

const std::thread::id kHere = std::this_thread::get_id();

TEST(MessageHookTest, SinksOfOneThreadShareOneFilterThatGoesWithTheLast) {
  RecordingSink first(false), second(false);
  ASSERT_TRUE(SetCentralizedHook(kHere, kHookGetMessage, &first));
  ASSERT_TRUE(SetCentralizedHook(kHere, kHookGetMessage, &second));
  ASSERT_TRUE(SetCentralizedHook(kHere, kHookGetMessage, &second));  // not listed twice
  EXPECT_EQ(CentralizedHookFilterCount(kHere), 1u);
  EXPECT_FALSE(DispatchHookMessage(HookMessage{1, 0xC123, 0, 0}, true));
  EXPECT_EQ(first.calls.size(), 1u);
  EXPECT_EQ(second.calls.size(), 1u);
  EXPECT_TRUE(RemoveCentralizedHook(kHere, kHookGetMessage, &first));
  EXPECT_EQ(CentralizedHookFilterCount(kHere), 1u);
  EXPECT_TRUE(RemoveCentralizedHook(kHere, kHookGetMessage, &second));
  EXPECT_EQ(CentralizedHookFilterCount(kHere), 0u);
  EXPECT_TRUE(RemoveCentralizedHook(kHere, kHookGetMessage, &second));  // nothing listed: still true
}

TEST(MessageHookTest, FirstSinkThatHandlesEndsTheRound) {
  RecordingSink passes(false), takes(true), never(true);
  SetCentralizedHook(kHere, kHookGetMessage, &passes);
  SetCentralizedHook(kHere, kHookGetMessage, &takes);
  SetCentralizedHook(kHere, kHookGetMessage, &never);
  EXPECT_TRUE(DispatchHookMessage(HookMessage{1, 0xC001, 0, 0}, false));
  ASSERT_EQ(passes.calls.size(), 1u);
  EXPECT_EQ(passes.calls[0].removal, 0u);
  EXPECT_EQ(takes.calls.size(), 1u);
  EXPECT_TRUE(never.calls.empty());
  for (auto* sink : {&passes, &takes, &never}) RemoveCentralizedHook(kHere, kHookGetMessage, sink);
}

TEST(MessageHookTest, SetFromAnotherThreadIsRefusedButRemovalIsServed) {
  RecordingSink sink(false);
  bool set_elsewhere = true;
  std::thread other([&] { set_elsewhere = SetCentralizedHook(kHere, kHookGetMessage, &sink); });
  other.join();
  EXPECT_FALSE(set_elsewhere);
  EXPECT_EQ(CentralizedHookFilterCount(kHere), 0u);

  // An owner released on another thread takes its sink out of this thread's
  // chain, so a later message never reaches it.
  ASSERT_TRUE(SetCentralizedHook(kHere, kHookGetMessage, &sink));
  bool removed = false;
  std::thread remover([&] { removed = RemoveCentralizedHook(kHere, kHookGetMessage, &sink); });
  remover.join();
  EXPECT_TRUE(removed);
  DispatchHookMessage(HookMessage{1, 0xC001, 0, 0}, true);
  EXPECT_TRUE(sink.calls.empty());
}

TEST(MessageHookTest, ChangesFromInsideTheRoundAreRefused) {
  RecordingSink sink(false), late(false);
  bool set_inside = true, removed_inside = true;
  sink.on_call = [&] {
    set_inside = SetCentralizedHook(kHere, kHookGetMessage, &late);
    removed_inside = RemoveCentralizedHook(kHere, kHookGetMessage, &sink);
  };
  SetCentralizedHook(kHere, kHookGetMessage, &sink);
  DispatchHookMessage(HookMessage{1, 0xC001, 0, 0}, true);
  EXPECT_FALSE(set_inside);
  EXPECT_FALSE(removed_inside);
  sink.on_call = nullptr;
  EXPECT_TRUE(RemoveCentralizedHook(kHere, kHookGetMessage, &sink));
  EXPECT_EQ(CentralizedHookFilterCount(kHere), 0u);
}

TEST(MessageHookTest, RegisteredNamesAndPostedMessagesReachTheLoopThreadsChain) {
  const uint32_t id = RegisterWindowMessageName("MessageHookTest_Message");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageName("MessageHookTest_Message"), id);
  EXPECT_NE(RegisterWindowMessageName("MessageHookTest_Other"), id);
  EXPECT_EQ(RegisterWindowMessageName(""), 0u);

  FakeClock clock;
  RunLoop loop(clock);
  RecordingSink sink(true);
  SetCentralizedHook(kHere, kHookGetMessage, &sink);
  std::thread poster([&] { EXPECT_TRUE(PostHookMessage(loop, HookMessage{7, id, 1, 0})); });
  poster.join();
  EXPECT_TRUE(sink.calls.empty());  // only when the loop takes it
  loop.RunUntilIdle();
  ASSERT_EQ(sink.calls.size(), 1u);
  EXPECT_EQ(sink.calls[0].removal, 1u);
  EXPECT_EQ(sink.calls[0].message, id);
  RemoveCentralizedHook(kHere, kHookGetMessage, &sink);
  loop.Stop();
  EXPECT_FALSE(PostHookMessage(loop, HookMessage{7, id, 1, 0}));
}

}  // namespace
}  // namespace vz
