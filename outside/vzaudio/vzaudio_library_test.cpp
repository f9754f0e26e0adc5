// libvzaudio.so as the meeting client loads it: by file name, its exports by
// ordinal, its reports on the thread that created the engine.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "contracts/ac_provider.h"
#include "platform/module_loader.h"
#include "platform/run_loop.h"

namespace {

using SetScriptFn = int32_t (*)(const char*);

// Records every report with the thread it arrived on.
class RecordingSink : public IACProviderSink {
 public:
  struct Call {
    std::thread::id thread;
    int kind;  // 1 status, 2 error
    int32_t a;
    int32_t b;
  };
  int32_t OnACStatusNotification(int32_t status, int32_t muted) override { return Add({{}, 1, status, muted}); }
  int32_t OnACActivedSpeaker(ACSpeakerEntry*, int32_t) override { return 1; }
  int32_t OnACRostersNetwork(ACRosterNetworkEntry*, int32_t) override { return 1; }
  int32_t OnACDeviceVolumeLevel(int32_t, int32_t) override { return 1; }
  int32_t OnACMicStatus(int32_t) override { return 1; }
  int32_t OnACAudioErrorCode(int32_t code, int32_t code_type) override { return Add({{}, 2, code, code_type}); }

  // Waits (a few seconds at most) until `count` reports arrived.
  std::vector<Call> WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_.size() >= count; });
    return calls_;
  }

 private:
  int32_t Add(Call call) {
    call.thread = std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    changed_.notify_all();
    return 1;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Call> calls_;
};

class VzAudioLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = vz::LoadModule("vzaudio.dll").module;
    ASSERT_NE(module_, nullptr);
    create_ = reinterpret_cast<ACCreateInstanceFn>(vz::GetModuleOrdinal(module_, 1));
    release_ = reinterpret_cast<ACDeleteInstanceFn>(vz::GetModuleOrdinal(module_, 2));
    set_script_ = reinterpret_cast<SetScriptFn>(vz::GetModuleSymbol(module_, "ACSetScriptForTest"));
    ASSERT_NE(create_, nullptr);
    ASSERT_NE(release_, nullptr);
    ASSERT_NE(set_script_, nullptr);
    // The engine's thread: a UI thread of its own, running its loop.
    worker_ = std::thread([this] {
      vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        loop_ = &loop;
      }
      ready_.notify_all();
      loop.Run();
    });
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return loop_ != nullptr; });
  }
  void TearDown() override {
    if (loop_) {
      loop_->Quit();
      worker_.join();
    }
    if (set_script_) set_script_(nullptr);
    unsetenv("VZAUDIO_SCRIPT");
    vz::FreeModule(module_);
  }

  // Runs a join on the engine's thread, as the client's UI thread would.
  IACProvider* CreateAndJoin(RecordingSink* sink) {
    IACProvider* engine = nullptr;
    loop_->Send([&] {
      engine = create_(sink);
      ACSessionConfig session{};
      if (engine) {
        EXPECT_EQ(engine->JoinAudio(nullptr, &session, nullptr), 1);
      }
    });
    return engine;
  }
  void Delete(IACProvider* engine) {
    loop_->Send([&] { EXPECT_EQ(release_(engine), 1); });
  }

  vz::ModuleHandle module_ = nullptr;
  ACCreateInstanceFn create_ = nullptr;
  ACDeleteInstanceFn release_ = nullptr;
  SetScriptFn set_script_ = nullptr;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable ready_;
  vz::RunLoop* loop_ = nullptr;
};

TEST_F(VzAudioLibraryTest, ReportsArriveOnTheCreatingThreadThroughTheOrdinals) {
  RecordingSink sink;
  IACProvider* engine = CreateAndJoin(&sink);
  ASSERT_NE(engine, nullptr);
  const auto calls = sink.WaitFor(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].a, 1);
  EXPECT_EQ(calls[1].a, 2);
  EXPECT_EQ(calls[0].thread, worker_.get_id());
  EXPECT_EQ(calls[1].thread, worker_.get_id());
  EXPECT_NE(calls[0].thread, std::this_thread::get_id());
  Delete(engine);
  EXPECT_EQ(release_(nullptr), 1);
  EXPECT_EQ(create_(nullptr), nullptr);
}

TEST_F(VzAudioLibraryTest, ScriptsComeFromTheTestExportOrTheEnvironment) {
  EXPECT_EQ(set_script_("error=13,50"), 1);
  RecordingSink first;
  IACProvider* engine = CreateAndJoin(&first);
  auto calls = first.WaitFor(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].kind, 2);
  EXPECT_EQ(calls[1].a, 13);
  Delete(engine);

  EXPECT_EQ(set_script_("error=13"), 0);  // refused: nothing set, so the environment counts
  setenv("VZAUDIO_SCRIPT", "error=4,50", 1);
  RecordingSink second;
  engine = CreateAndJoin(&second);
  calls = second.WaitFor(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].kind, 2);
  EXPECT_EQ(calls[1].a, 4);
  Delete(engine);

  setenv("VZAUDIO_SCRIPT", "nonsense", 1);  // ignored: a plain join
  RecordingSink third;
  engine = CreateAndJoin(&third);
  calls = third.WaitFor(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].kind, 1);
  EXPECT_EQ(calls[1].a, 2);
  Delete(engine);
}

}  // namespace
