// The link instance in this process, made through its export, against a fake
// log writer and a pipe server of the test's own: the listener status, the
// crash report and collect relay, the ping, and release.
#include "weblink/link/vz_link_inst_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/trace_client.h"
#include "platform/pipe_name_testlib.h"
#include "platform/run_loop.h"
#include "weblink/link/link_testlib.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_test_peer_testlib.h"

extern "C" IVzLinkInstance* CreateVzLinkInstance(IVzLinkInstanceSink* sink);
extern "C" int32_t ReleaseVzLinkInstance(IVzLinkInstance* instance);

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string JsonFrame(const std::string& text) { return BuildPipeFrame(PIPE_KIND_JSON_TEXT, text); }

const char kMute[] = R"({"type":"AC_SESSION_REQUEST_MUTE","action":{"a":1}})";

class LinkInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    link_ = CreateVzLinkInstance(&sink_);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override { Release(); }

  void Release() {
    if (link_ != nullptr) {
      EXPECT_EQ(ReleaseVzLinkInstance(link_), 1);
    }
    link_ = nullptr;
  }
  CVzLinkInstController& controller() { return *static_cast<CVzLinkInstController*>(link_); }

  bool SawListener(int32_t status) const {
    for (const SinkCall& call : sink_.calls()) {
      if (call.operation == "OnAppSocketListener" && call.numbers[0] == status) return true;
    }
    return false;
  }
  bool PumpUntilCalls(size_t count) {
    return PumpUntil([&] { return sink_.calls().size() >= count; });
  }
  // Listens, takes the connection and pumps until the sink heard status 2.
  void Connect() {
    ASSERT_TRUE(peer_.BindAndListen());
    ASSERT_EQ(link_->WSStartListen(&config_), 1);
    ASSERT_TRUE(peer_.Accept());
    ASSERT_TRUE(PumpUntil([&] { return SawListener(2); }));
  }

  vz::ScopedPipeTestFolder folder_;
  std::u16string pipe_name_ = NextTestPipeName();
  PipeTestPeer peer_{pipe_name_};
  AppPeerConfig config_ = MakePeerConfig(pipe_name_, u"123");
  FakeTracer tracer_;
  RecordingLinkSink sink_;
  IVzLinkInstance* link_ = nullptr;
};

TEST(LinkExportsTest, NullReleaseAndAThreadWithoutALoop) {
  EXPECT_EQ(ReleaseVzLinkInstance(nullptr), 1);
  bool refused = false;
  std::thread([&] {
    vz::RunLoop::ForCurrentThread().Stop();
    RecordingLinkSink sink;
    refused = CreateVzLinkInstance(&sink) == nullptr;
  }).join();
  EXPECT_TRUE(refused) << "a link whose helper window cannot start is not handed out";
}

TEST_F(LinkInstanceTest, StartRefusals) {
  EXPECT_EQ(link_->WSStartListen(nullptr), 0);
  AppPeerConfig unnamed = MakePeerConfig(u"", u"123");
  EXPECT_EQ(link_->WSStartListen(&unnamed), 0);
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  EXPECT_THAT(sink_.calls(), IsEmpty()) << "an empty pipe name is not reported";

  // No server: the client starts, fails to connect and is removed on the UI thread.
  EXPECT_EQ(link_->WSStartListen(&config_), 1);
  EXPECT_EQ(link_->WSStartListen(&config_), 0) << "a second start while a client exists";
  EXPECT_TRUE(tracer_.Logged("already listening: a second start is refused"));
  ASSERT_TRUE(PumpUntil([&] { return SawListener(1); }));
  EXPECT_THAT(sink_.operations(), ElementsAre("OnAppSocketListener"));
  EXPECT_THAT(sink_.calls()[0].numbers, ElementsAre(1, 0));
  EXPECT_EQ(link_->WSStartListen(&config_), 1) << "the lost client was removed";
}

TEST_F(LinkInstanceTest, ConnectingSendsTheCrashReportFirstThenCollectLines) {
  tracer_.SetPendingReport(std::string("native.crash.x.exception*report text\0hidden", 44));
  Connect();
  EXPECT_FALSE(sink_.called_off_thread());
  std::vector<PipeTestFrame> frames;
  ASSERT_TRUE(peer_.ReadFrames(1, &frames));
  EXPECT_EQ(frames[0], (PipeTestFrame{PIPE_KIND_CRASH_REPORT, "native.crash.x.exception*report text"}));
  EXPECT_EQ(tracer_.reports_released(), 1);
  EXPECT_THAT(tracer_.sink_history(), ElementsAre(static_cast<ITracerCollectSink*>(&controller())));
  // The status line was written before the sink was registered: it reached no one.
  EXPECT_THAT(tracer_.collect_lines(), ElementsAre(HasSubstr(" : >status [2]")));

  TraceCollectA("%s", "");  // an empty line sends nothing
  controller().OnCollectLog(nullptr);
  TraceCollectA("line %d", 1);
  link_->WSSendValue1(5);
  ASSERT_TRUE(peer_.ReadFrames(2, &frames));
  EXPECT_EQ(frames[1], (PipeTestFrame{PIPE_KIND_TRACE_LOG, "line 1"}));
  EXPECT_EQ(frames[2], (PipeTestFrame{PIPE_KIND_VALUE1, "5"}));

  Release();
  EXPECT_EQ(tracer_.sink_history().back(), nullptr) << "the sink is withdrawn at release";
  EXPECT_TRUE(peer_.WaitEndOfStream());
}

TEST_F(LinkInstanceTest, ACrashReportIsReleasedWhenTheClientIsAlreadyGone) {
  tracer_.SetPendingReport("native.crash.y.exception*r");
  ASSERT_TRUE(peer_.BindAndListen());
  ASSERT_EQ(link_->WSStartListen(&config_), 1);
  ASSERT_TRUE(peer_.Accept());
  // Once the client has read this, its connection was reported (before any read).
  ASSERT_TRUE(peer_.WriteAll(JsonFrame(kMute)));
  ASSERT_TRUE(tracer_.WaitForLog(" len=" + std::to_string(std::strlen(kMute)) + " type=1000"));
  controller().StopListen();
  ASSERT_TRUE(PumpUntil([&] { return SawListener(2); }));
  EXPECT_EQ(tracer_.reports_released(), 1);
  EXPECT_TRUE(peer_.WaitEndOfStream());
}

TEST_F(LinkInstanceTest, APingIsAnsweredWithTheMeetingIdOfTheConfig) {
  Connect();
  ASSERT_TRUE(peer_.WriteAll(JsonFrame(R"({"type":"APP_REQUEST_PING","action":{}})") +
                             JsonFrame(R"({"type":"APP_REQUEST_PING","action":{"seq":1}})") + JsonFrame(kMute)));
  ASSERT_TRUE(PumpUntil([&] { return sink_.operations().back() == "OnACSessionRequestMute"; }));
  std::vector<PipeTestFrame> frames;
  ASSERT_TRUE(peer_.ReadFrames(2, &frames));
  EXPECT_EQ(frames[0], (PipeTestFrame{PIPE_KIND_JSON_TEXT,
                                      R"({"code":0,"codetype":0,"type":"APP_RESPONSE_PONG","action":{"av_conf":{"conf_id":"123"}}})"}))
      << "the empty ping was dropped; the other answered once";
  EXPECT_EQ(frames[1].kind, PIPE_KIND_TRACE_LOG);
  EXPECT_THAT(frames[1].payload, HasSubstr(" : >web request ac mute"));
}

TEST_F(LinkInstanceTest, ServerCloseRemovesTheClientBeforeTheSinkHears) {
  Connect();
  int32_t restart = -1;
  sink_.on_listener = [&](int32_t status) {
    if (status == 1) restart = link_->WSStartListen(&config_);
  };
  peer_.CloseConnection();
  ASSERT_TRUE(PumpUntil([&] { return SawListener(1); }));
  EXPECT_EQ(restart, 1) << "the dead client was gone when status 1 arrived";
  ASSERT_TRUE(peer_.Accept());
}

TEST_F(LinkInstanceTest, ReportsWithoutAClientReturnTheirUsualResults) {
  ACSpeakerEntry speaker{0, 1, 0};
  ACRosterNetworkEntry network{1, 2, 3, 4, 0};
  CVZBinaryData data("abc", 3);
  const std::vector<int32_t> results = {
      link_->WSDSSessionResponseStatus(2, u"c", u"d"),
      link_->WSDSSessionResponseError(1, 2, u"c", u"d"),
      link_->WSDSSessionResponseRemoteControl(0, 1, u"c", u"d"),
      link_->WSDSSessionResponseBinary(&data, u"c", u"d"),
      link_->WSACSessionResponseJoined(1, 2, u"c"),
      link_->WSACSessionResponseStatus(0, u"c"),
      link_->WSACSessionResponseError(1, 2, u"c"),
      link_->WSACSessionResponseMuted(1, u"c"),
      link_->WSACSessionResponseMicStatus(1, u"c"),
      link_->WSACSessionResponseDeviceLevel(1, 2, u"c"),
      link_->WSACSessionNotifyJoin(u"c"),
      link_->WSACSessionNotifyLeave(u"c"),
      link_->WSACSessionNotifyMute(u"c"),
      link_->WSACSessionNotifyUnmute(u"c"),
      link_->WSAVSessionResponseJoined(1, 2, u"c"),
      link_->WSAVSessionResponseStatus(0, u"c"),
      link_->WSAVSessionResponseError(1, 2, u"c"),
      link_->WSAVSessionResponseBroadcasted(1, u"c"),
      link_->WSAVSessionNotifyJoin(u"c"),
      link_->WSDSSessionNotifyStart(u"c"),
      controller().WSAppResponsePong(u"c"),
      link_->WSACSessionResponseSpeakers(nullptr, 1, u"c"),
      link_->WSACSessionResponseRostersNetwork(nullptr, 1, u"c"),
      link_->WSACSessionResponseSpeakers(&speaker, 0, u"c"),
      link_->WSACSessionResponseRostersNetwork(&network, -1, u"c"),
  };
  EXPECT_EQ(results, std::vector<int32_t>(results.size(), 0));
  // A list that made a report answers 1, and so do the two values, whether
  // or not a client was there to take them.
  const std::vector<int32_t> built = {
      link_->WSACSessionResponseSpeakers(&speaker, 1, u"c"),
      link_->WSACSessionResponseRostersNetwork(&network, 1, u"c"),
      link_->WSSendValue1(1),
      link_->WSSendValue2(1),
  };
  EXPECT_EQ(built, std::vector<int32_t>(built.size(), 1));
}

TEST_F(LinkInstanceTest, RequestsQueuedAtReleaseAreNeverDelivered) {
  Connect();
  sink_.Clear();
  ASSERT_TRUE(peer_.WriteAll(
      JsonFrame(R"({"type":"APP_ROSTERS_CMD_JOINED","action":{"rosters":[{"id":"a"},{"id":"b"}]}})") +
      JsonFrame(R"({"type":"DS_SESSION_REQUEST_START","action":{"x":1}})") +
      JsonFrame(R"({"type":"DS_DATA_COMMAND"})") +
      JsonFrame(R"({"type":"PLUGIN_WINDOW_EVENT","action":{"x":1}})") +
      JsonFrame(R"({"type":"AV_SESSION_REQUEST_LEAVE","action":{"av_conf":{"conf_id":"v"}}})") +
      JsonFrame(R"({"type":"APP_MESSAGE_CMD_UPDATE","action":{"message":"last"}})")));
  ASSERT_TRUE(tracer_.WaitForLog("ptcMessage=last"));
  Release();  // the leak sanitizer checks that every queued record was freed
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  EXPECT_THAT(sink_.calls(), IsEmpty());
}

TEST_F(LinkInstanceTest, ALinkWithoutASinkFreesWhatItCannotDeliver) {
  Release();
  link_ = CreateVzLinkInstance(nullptr);
  ASSERT_NE(link_, nullptr);
  ASSERT_TRUE(peer_.BindAndListen());
  ASSERT_EQ(link_->WSStartListen(&config_), 1);
  ASSERT_TRUE(peer_.Accept());
  ASSERT_TRUE(peer_.WriteAll(JsonFrame(R"({"type":"DS_SESSION_REQUEST_JOIN","action":{"x":1}})")));
  ASSERT_TRUE(tracer_.WaitForLog("token=[]"));
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  EXPECT_THAT(tracer_.sink_history(), IsEmpty()) << "nothing is handled without a sink";
}

}  // namespace
