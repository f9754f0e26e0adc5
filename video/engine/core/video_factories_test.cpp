#include "video/engine/core/video_factories.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

class FakeCapEngine final : public TEngineObject<IVideoCapEngine> {
 public:
  VseResult AppendVideoDeliverer(IVideoDeliverer*) override { return VSE_S_OK; }
  VseResult RemoveVideoDeliverer(IVideoDeliverer*) override { return VSE_S_OK; }
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback, void*) override { return VSE_S_OK; }
  VseResult SetSink(IVideoCapEngineSink*) override { return VSE_S_OK; }
  VseResult Start(bool) override { return VSE_S_OK; }
  VseResult Stop() override { return VSE_S_OK; }
  VseResult GetOutputVideoFormat(VideoFormat*) override { return VSE_S_OK; }
  bool IsDifferentDevice(IVideoCapDevice*) override { return false; }
  bool HasAdvancedSetting() override { return false; }
  VseResult ShowAdvancedSetting(void*) override { return VSE_S_OK; }
};

// What the fake camera backend was asked for, and how it answers.
struct Script {
  std::vector<std::optional<int32_t>> asked;  // video type asked, or no format
  std::vector<VseResult> answers;             // one per call; VSE_S_OK makes an engine
};
Script* g_script = nullptr;

VseResult MakeCapEngine(IVideoCapDevice*, const VideoFormat* format, IVideoSampleAllocator*, IVideoCapEngine** out) {
  const size_t call = g_script->asked.size();
  g_script->asked.push_back(format ? std::optional<int32_t>(format->video_type) : std::nullopt);
  const VseResult answer = call < g_script->answers.size() ? g_script->answers[call] : VSE_E_FAIL;
  if (answer != VSE_S_OK) return answer;
  auto* engine = new FakeCapEngine;
  engine->AddRef();
  *out = engine;
  return VSE_S_OK;
}

class VideoFactoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script = &script_;
    table_ = {nullptr, nullptr, MakeCapEngine, nullptr};
    SetVideoDeviceFactories(&table_);
  }
  void TearDown() override {
    SetVideoDeviceFactories(nullptr);
    g_script = nullptr;
  }
  VseResult Create(const VideoFormat* format) {
    IVideoCapEngine* engine = nullptr;
    const VseResult r = CreateVideoCapEngine(nullptr, format, nullptr, &engine);
    EXPECT_EQ(r == VSE_S_OK, engine != nullptr) << "result " << r;
    if (engine) {
      EXPECT_EQ(engine->GetRefCount(), 1);
      engine->Release();
    }
    return r;
  }
  Script script_;
  VideoDeviceFactories table_{};
};

TEST_F(VideoFactoriesTest, RefusedFormatIsRetriedWithTheDevicesOwnTypeThenWithNone) {
  const VideoFormat wanted{4, 640, 480, 30.f, 0};
  script_.answers = {VSE_E_INVALIDARG, VSE_S_OK};
  EXPECT_EQ(Create(&wanted), VSE_S_OK);
  EXPECT_EQ(script_.asked, (std::vector<std::optional<int32_t>>{4, 0}));

  script_ = {{}, {VSE_E_INVALIDARG, VSE_E_INVALIDARG, VSE_S_OK}};
  EXPECT_EQ(Create(&wanted), VSE_S_OK);
  EXPECT_EQ(script_.asked, (std::vector<std::optional<int32_t>>{4, 0, std::nullopt}));

  script_ = {{}, {VSE_E_FAIL, VSE_S_OK}};  // another failure: straight to no format
  EXPECT_EQ(Create(&wanted), VSE_S_OK);
  EXPECT_EQ(script_.asked, (std::vector<std::optional<int32_t>>{4, std::nullopt}));

  script_ = {{}, {VSE_E_FAIL, VSE_E_FAIL}};
  EXPECT_EQ(Create(&wanted), VSE_E_FAIL);
}

TEST_F(VideoFactoriesTest, WithoutAFormatThereIsNoRetry) {
  script_.answers = {VSE_E_INVALIDARG, VSE_S_OK};
  EXPECT_EQ(Create(nullptr), VSE_E_FAIL);
  EXPECT_EQ(script_.asked.size(), 1u);
}

TEST_F(VideoFactoriesTest, OutOfMemoryIsReportedAsSuch) {
  const VideoFormat wanted{2, 320, 240, 15.f, 0};
  script_.answers = {VSE_E_OUTOFMEMORY};
  EXPECT_EQ(Create(&wanted), VSE_E_OUTOFMEMORY);
  EXPECT_EQ(script_.asked.size(), 1u);
}

TEST_F(VideoFactoriesTest, NullOutIsInvalidAndTheBuiltInTableFails) {
  EXPECT_EQ(CreateVideoCapEngine(nullptr, nullptr, nullptr, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(CreateVideoCapDeviceEnumerator(nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(CreateVideoRenderer(nullptr, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(SetVideoDeviceFactories(nullptr), &table_);
  IVideoCapDeviceEnumerator* e = reinterpret_cast<IVideoCapDeviceEnumerator*>(1);
  EXPECT_EQ(CreateVideoCapDeviceEnumerator(&e), VSE_E_FAIL);
  EXPECT_EQ(e, nullptr);
  IVideoRenderer* r = nullptr;
  EXPECT_EQ(CreateVideoRenderer(nullptr, &r), VSE_E_FAIL);
}

// An options window that records its end, for the factory pair.
struct FakeOptionsWindow final : IVideoOptionsWindow {
  explicit FakeOptionsWindow(std::vector<std::string>* log) : log(log) {}
  ~FakeOptionsWindow() override { log->push_back("deleted"); }
  int32_t InitializeWindow(void*, IVideoCapDevice*) override { return 0; }
  int32_t UninitializeWindow() override {
    log->push_back("uninitialised");
    return 0;
  }
  int32_t OnCameraModify(IVideoCapDevice*, int32_t) override { return 0; }
  std::vector<std::string>* log;
};

struct OptionsServices final : IVideoOptionsHost, IVideoRenderService, IVideoOptionsSink {
  int32_t ShowAdvancedSettingWindow(IVideoCapDevice*, int32_t, int32_t, void*) override { return 0; }
  int32_t RequestCloseOptionsWindow() override { return 0; }
  int32_t CreateVideoRenderer(IVideoRenderer**, void*) override { return 0; }
  int32_t DestroyVideoRenderer(IVideoRenderer*) override { return 0; }
  int32_t SetBKColorInRenderer(IVideoRenderer*, uint32_t) override { return 0; }
  int32_t ClearRendererStream(IVideoRenderer*) override { return 0; }
  int32_t RedrawRenderer(IVideoRenderer*) override { return 0; }
  int32_t OnRendererDisplayChange(IVideoRenderer*) override { return 0; }
  int32_t OnRendererPositionChange(IVideoRenderer*) override { return 0; }
  int32_t SelectCaptureDevice(IVideoCapDevice*) override { return 0; }
  int32_t StartCameraPreview(IVideoCapDevice*, IVideoRenderer*) override { return 0; }
  int32_t StopCameraPreview(IVideoCapDevice*, IVideoRenderer*) override { return 0; }
};

std::vector<std::string>* g_window_log = nullptr;
VseResult g_window_answer = VSE_S_OK;

VseResult MakeOptionsWindow(IVideoOptionsHost*, IVideoRenderService*, IVideoOptionsSink*, IVideoOptionsWindow** out) {
  *out = new FakeOptionsWindow(g_window_log);  // made even when failing: the factory must not leak it
  return g_window_answer;
}

TEST(VideoOptionsWindowFactoryTest, MakesAndEndsTheWindowAndRefusesMissingServices) {
  std::vector<std::string> log;
  g_window_log = &log;
  OptionsServices services;
  IVideoOptionsWindow* window = reinterpret_cast<IVideoOptionsWindow*>(1);
  // Without a backend there is no window.
  EXPECT_EQ(CreateVideoOptionsWindow(&services, &services, &services, &window), VSE_E_FAIL);
  EXPECT_EQ(window, nullptr);

  VideoDeviceFactories table{};
  table.make_options_window = MakeOptionsWindow;
  SetVideoDeviceFactories(&table);
  EXPECT_EQ(CreateVideoOptionsWindow(nullptr, &services, &services, &window), VSE_E_INVALIDARG);
  EXPECT_EQ(CreateVideoOptionsWindow(&services, nullptr, &services, &window), VSE_E_INVALIDARG);
  EXPECT_EQ(CreateVideoOptionsWindow(&services, &services, nullptr, &window), VSE_E_INVALIDARG);
  EXPECT_EQ(CreateVideoOptionsWindow(&services, &services, &services, nullptr), VSE_E_INVALIDARG);
  EXPECT_TRUE(log.empty());

  ASSERT_EQ(CreateVideoOptionsWindow(&services, &services, &services, &window), VSE_S_OK);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DestroyVideoOptionsWindow(window), VSE_S_OK);
  EXPECT_EQ(log, (std::vector<std::string>{"uninitialised", "deleted"}));
  EXPECT_EQ(DestroyVideoOptionsWindow(nullptr), VSE_E_INVALIDARG);

  log.clear();
  g_window_answer = VSE_E_FAIL;
  EXPECT_EQ(CreateVideoOptionsWindow(&services, &services, &services, &window), VSE_E_FAIL);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"deleted"}));
  g_window_answer = VSE_S_OK;
  SetVideoDeviceFactories(nullptr);
}

int g_engine_tries = 0;

VseResult RefusingEngineMaker(IVideoCapDevice*, const VideoFormat*, IVideoSampleAllocator*, IVideoCapEngine**) {
  ++g_engine_tries;
  return VSE_E_INVALIDARG;
}

TEST(VideoCapEngineFactoryTest, AMakerThatRetriesItselfIsCalledOnce) {
  VideoDeviceFactories table{};
  table.make_cap_engine = RefusingEngineMaker;
  table.cap_engine_makes_retries = true;
  SetVideoDeviceFactories(&table);
  const VideoFormat wanted{2, 640, 480, 30.0f, 0};
  IVideoCapEngine* engine = nullptr;
  g_engine_tries = 0;
  EXPECT_EQ(CreateVideoCapEngine(nullptr, &wanted, nullptr, &engine), VSE_E_FAIL);
  EXPECT_EQ(g_engine_tries, 1);
  table.cap_engine_makes_retries = false;
  g_engine_tries = 0;
  EXPECT_EQ(CreateVideoCapEngine(nullptr, &wanted, nullptr, &engine), VSE_E_FAIL);
  EXPECT_EQ(g_engine_tries, 3);
  SetVideoDeviceFactories(nullptr);
}

}  // namespace
