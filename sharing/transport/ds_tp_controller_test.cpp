#include "sharing/transport/ds_tp_controller.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/log_capture_testlib.h"
#include "dsdef.pb.h"
#include "platform/run_loop.h"
#include "sharing/protocol/ds_bytes_testlib.h"
#include "sharing/transport/fake_media_transport_testlib.h"

namespace {

using ds_test::FakeMediaTransport;
using ds_test::Header;
using ds_test::Hex;

// What reaches the engine, in order, with the thread it ran on.
class RecordingSink : public IDSTpSink {
 public:
  int32_t OnTPStatusNotification(int32_t status) override {
    Note("status " + std::to_string(status));
    if (on_status) on_status(status);
    return 1;
  }
  int32_t OnTPErrorNotification(int32_t code, int32_t code_type) override {
    Note("error " + std::to_string(code) + " " + std::to_string(code_type));
    if (on_error) on_error();
    return 1;
  }
  int32_t OnDSTpSharingInfo(SharingInfo* info) override {
    return Note("sharing_info " + std::to_string(info->MonitorCount));
  }
  int32_t OnDSTpMouseInfo(CMouseEntry* mouse) override { return Note("mouse " + std::to_string(mouse->X)); }
  int32_t OnDSTpCaches(CCacheEntry** list, int32_t count) override {
    std::string text = "caches";
    for (int32_t i = 0; i < count; ++i) text += " " + std::to_string(list[i]->Index);
    return Note(text);
  }
  int32_t OnDSTpBlocks(CKeyframeEntry** list, int32_t count) override {
    return Note("blocks " + std::to_string(count) + " " + std::to_string(list[0]->Position));
  }
  int32_t OnDSTpRequestCaches(CKeyframeEntry** list, int32_t count) override {
    return Note("request " + std::to_string(count) + " " + std::to_string(list[0]->CacheIndex));
  }
  int32_t OnDSTpSendBacklog(int32_t value) override { return Note("backlog " + std::to_string(value)); }
  int32_t OnDSTpCommand(DSCommandRecord* command) override {
    return Note("command " + std::to_string(command->Type) + " " + std::to_string(command->MouseX));
  }
  int32_t OnDSTpWebBinary(CVZBinaryData* data) override {
    web_bytes.assign(reinterpret_cast<const char*>(data->data()), data->length());
    return Note("web " + std::to_string(data->length()));
  }

  int32_t Note(const std::string& call) {
    calls.push_back(call);
    threads.push_back(std::this_thread::get_id());
    return 1;
  }

  std::vector<std::string> calls;
  std::vector<std::thread::id> threads;
  std::string web_bytes;
  std::function<void(int32_t)> on_status;
  std::function<void()> on_error;
};

std::string WithCode(unsigned char code, unsigned char type) { return Hex("50") + char(code) + Header(type); }

class DsTpControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeMediaTransport::Next() = &fake_;
    std::char_traits<char16_t>::copy(config_.RosterId, u"roster-1", 9);
    std::char_traits<char16_t>::copy(config_.DSId, ds_test::kDsId, 5);
    std::char_traits<char16_t>::copy(config_.Token, u"VDS m:secret-token", 19);
    config_.IsPresenter = 1;
  }
  void TearDown() override {
    if (tp_ != nullptr) DSReleaseTpInstance(tp_);
    loop_.RunUntilIdle();
    FakeMediaTransport::Next() = nullptr;
  }

  IDSTp* Create(const TransportLibraryLoader& loader = FakeMediaTransport::Loader()) {
    loader_ = loader;
    DsTpOptions options;
    options.loader = &loader_;
    options.guids = &ds_test::FixedGuid;
    options.clock = &clock_;
    // The fake calls back while the test's thread, the engine's, waits for
    // it, so nothing could drain the receive gate in between.
    options.receive_wait_ms = 0;
    tp_ = DSCreateTpInstance(&sink_, options);
    return tp_;
  }
  // Connected and joined; the START (or JOIN) it sent is forgotten.
  void Join() {
    ASSERT_NE(Create(), nullptr);
    ASSERT_EQ(tp_->DSConnect(&config_, nullptr), 1);
    fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnJoinSessionConfirm(0); });
    std::lock_guard<std::mutex> lock(fake_.mutex);
    fake_.sent.clear();
  }
  void Release() {
    DSReleaseTpInstance(tp_);
    tp_ = nullptr;
  }
  std::vector<std::string> Lines(const std::string& text) { return log_.Matching(text); }

  vz::LogLineCapture log_;  // first: bound before, and restored after, everything else
  vz::FakeClock clock_{1000};
  vz::RunLoop loop_{clock_};  // the engine thread's loop
  FakeMediaTransport fake_;
  TransportLibraryLoader loader_{};
  RecordingSink sink_;
  DSSessionConfig config_{};
  IDSTp* tp_ = nullptr;
};

TEST_F(DsTpControllerTest, ConnectCompletesTheConfigItHandsToTheTransport) {
  ASSERT_NE(Create(), nullptr);
  EXPECT_EQ(fake_.session_type, kTransportSessionSharing);
  ASSERT_EQ(tp_->DSConnect(&config_, nullptr), 1);
  EXPECT_EQ(std::u16string(fake_.joined.ApplicationName), u"Velzar-DS");
  EXPECT_EQ(std::u16string(fake_.joined.JoinParameters), u"sessionid=roster-1");
  EXPECT_EQ(std::u16string(fake_.joined.RosterId), u"roster-1");
  EXPECT_NE(fake_.proxy_given, nullptr);  // a zero-filled entry stands for none
  EXPECT_EQ(fake_.proxy.HttpProxy, 0);
  EXPECT_EQ(fake_.filter->GetSessionType(), kTransportSessionSharing);
  // The caller's record is not changed.
  EXPECT_EQ(config_.ApplicationName[0], u'\0');
}

TEST_F(DsTpControllerTest, ConnectKeepsAGivenNameAndTheLongestRosterIdFits) {
  ASSERT_NE(Create(), nullptr);
  std::char_traits<char16_t>::copy(config_.ApplicationName, u"Other", 6);
  const std::u16string roster(127, u'r');
  std::char_traits<char16_t>::copy(config_.RosterId, roster.c_str(), 128);
  NetworkProxyEntry proxy{};
  proxy.HttpsProxy = 1;
  proxy.Port = 8080;
  ASSERT_EQ(tp_->DSConnect(&config_, &proxy), 1);
  EXPECT_EQ(std::u16string(fake_.joined.ApplicationName), u"Other");
  EXPECT_EQ(std::u16string(fake_.joined.JoinParameters), u"sessionid=" + roster);
  EXPECT_EQ(fake_.proxy.Port, 8080);
}

TEST_F(DsTpControllerTest, ConnectFailsWithoutConfigTransportOrJoin) {
  ASSERT_NE(Create(FakeMediaTransport::MissingLibrary()), nullptr);
  EXPECT_EQ(tp_->DSConnect(&config_, nullptr), 0);
  EXPECT_EQ(Lines("Join failed, it is already joined.").size(), 1u);
  EXPECT_EQ(tp_->DSConnect(nullptr, nullptr), 0);
  Release();

  ASSERT_NE(Create(), nullptr);
  fake_.join_result = 0;
  EXPECT_EQ(tp_->DSConnect(&config_, nullptr), 0);
}

TEST_F(DsTpControllerTest, JoinConfirmSendsStartAndTheAnswerGivesStatusTwoOnTheEngineThread) {
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(tp_->DSConnect(&config_, nullptr), 1);
  fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnJoinSessionConfirm(0); });
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(10)});  // START, header only

  fake_.Receive(Header(10));  // the server's answer, code 0
  EXPECT_TRUE(sink_.calls.empty());  // nothing runs on the transport's thread
  loop_.RunUntilIdle();
  ASSERT_EQ(sink_.calls, std::vector<std::string>{"status 2"});
  EXPECT_EQ(sink_.threads[0], std::this_thread::get_id());
}

TEST_F(DsTpControllerTest, AnAttendeeJoinsAndARefusedJoinIsAnError) {
  config_.IsPresenter = 0;
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(tp_->DSConnect(&config_, nullptr), 1);
  fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnJoinSessionConfirm(0); });
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(30)});  // JOIN
  fake_.Receive(WithCode(50, 30));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"error 50 50"});
  // The error disconnected first: LEAVE sent, transport left and released.
  EXPECT_EQ(fake_.Sent().back(), Header(40));
  EXPECT_EQ(fake_.leaves, 1);
  EXPECT_EQ(fake_.released, 1);
}

TEST_F(DsTpControllerTest, ServerDisconnectEndsTheSessionOrReportsItsCode) {
  Join();
  fake_.Receive(WithCode(80, 120));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"status 4"});
  EXPECT_EQ(fake_.leaves, 0);

  fake_.Receive(WithCode(30, 120));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, (std::vector<std::string>{"status 4", "error 30 50"}));
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(20)});  // STOP, before leaving
  EXPECT_EQ(fake_.leaves, 1);
}

TEST_F(DsTpControllerTest, TransportLeavingDisconnectsThenReportsItsValues) {
  Join();
  fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnLeaveSessionConfirm(5, 7); });
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"error 5 7"});
  // Still joined when the error ran, so STOP was handed over.
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(20)});
  EXPECT_EQ(fake_.released, 1);
}

TEST_F(DsTpControllerTest, ReconnectingReportsStatusOneAndTheNextConfirmStartsAgain) {
  Join();
  fake_.OnTransportThread([](IMediaTransportSink* s) {
    s->OnSessionReconnecting(3, 0);
    s->OnJoinSessionConfirm(0);
  });
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(10)});
  fake_.Receive(Header(10));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, (std::vector<std::string>{"status 1", "status 2"}));
}

TEST_F(DsTpControllerTest, SendsOnlyWhileJoinedAndCountsWhatTheTransportTook) {
  ASSERT_NE(Create(), nullptr);
  ASSERT_EQ(tp_->DSConnect(&config_, nullptr), 1);
  EXPECT_EQ(tp_->DSRequestKeyFrame(), 0);  // before the join confirm
  auto* controller = static_cast<CDSTpController*>(tp_);
  EXPECT_EQ(controller->TotalSentForTesting(), 0u);

  fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnJoinSessionConfirm(0); });
  EXPECT_EQ(tp_->DSRequestKeyFrame(), 1);
  EXPECT_EQ(fake_.Sent().back(), Header(90));
  EXPECT_EQ(controller->TotalSentForTesting(), 2 * Header(10).size());

  fake_.send_result = 0;  // the transport refuses: a failure, not counted
  EXPECT_EQ(tp_->DSRequestKeyFrame(), 0);
  EXPECT_EQ(controller->TotalSentForTesting(), 2 * Header(10).size());
  fake_.send_result = 1;

  EXPECT_EQ(tp_->DSSendCaches(nullptr, 0), 1);  // nothing to send
  EXPECT_EQ(fake_.Sent().size(), 3u);

  tp_->DSDisconnect();
  const size_t sent = fake_.Sent().size();
  CMouseEntry mouse;
  EXPECT_EQ(tp_->DSSendMouseInfo(&mouse), 0);
  EXPECT_EQ(fake_.Sent().size(), sent);
}

TEST_F(DsTpControllerTest, WebBinaryGoesOutUnchangedAsText) {
  Join();
  CVZBinaryData data("\x01\x02raw", 5);
  EXPECT_EQ(tp_->DSSendWebBinary(&data), 1);
  ASSERT_EQ(fake_.text_sent.size(), 1u);
  EXPECT_EQ(fake_.text_sent[0], std::string("\x01\x02raw", 5));
}

TEST_F(DsTpControllerTest, SendersBuildTheirMessages) {
  Join();
  CMouseEntry mouse;
  mouse.MonitorId = 1;
  mouse.X = -5;
  mouse.Y = 10;
  mouse.Width = mouse.Height = 32;
  mouse.HotspotX = 3;
  mouse.HotspotY = 4;
  mouse.CacheIndex = 2;
  mouse.CachePduId = 11;
  EXPECT_EQ(tp_->DSSendMouseInfo(&mouse), 1);
  EXPECT_EQ(fake_.Sent().back(), Header(80) + ds_test::kMouseInfoField);

  auto cursor = std::make_unique<CKeyframeEntry>();
  cursor->CacheIndex = 2;
  cursor->CachePduId = 11;
  cursor->Rect = {-5, 10, 27, 42};
  CKeyframeEntry* request[] = {cursor.get()};
  EXPECT_EQ(tp_->DSRequestCaches(request, 1), 1);
  EXPECT_EQ(fake_.Sent().back(), Header(100) + ds_test::kCursorRequestField);
}

TEST_F(DsTpControllerTest, ReceivedPartsReachTheEngineInOrder) {
  Join();
  fake_.Receive(Header(60) + ds_test::kCommandField + ds_test::kBlockField + ds_test::kMouseInfoField +
                ds_test::kCachesFields + ds_test::kSharingInfoField);
  fake_.Receive(Header(100) + ds_test::kCursorRequestField + ds_test::kCachesFields);
  fake_.OnTransportThread([](IMediaTransportSink* s) { s->OnSendBacklog(300); });
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, (std::vector<std::string>{"sharing_info 2", "caches 21 3", "mouse -5", "blocks 1 20304",
                                                   "command 100 -3", "caches 21 3", "request 1 2", "backlog 300"}));
  for (size_t i = 0; i < sink_.threads.size(); ++i) {
    EXPECT_EQ(sink_.threads[i], std::this_thread::get_id()) << "call " << i;
  }
}

TEST_F(DsTpControllerTest, AWebAttendeeGetsCommandsAsRawBytes) {
  config_.IsPresenter = 0;
  config_.IsWebAttendee = 1;
  Join();
  const std::string command = Header(110) + ds_test::kCommandField;
  fake_.Receive(command);
  fake_.Receive(WithCode(60, 110));  // with a code: dropped
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"web " + std::to_string(command.size())});
  EXPECT_EQ(sink_.web_bytes, command);
}

TEST_F(DsTpControllerTest, ReleasingFromInsideTheStatusCallbackDropsTheRestCleanly) {
  Join();
  sink_.on_status = [this](int32_t) { Release(); };
  fake_.Receive(Header(10));
  fake_.Receive(Header(50) + ds_test::kCachesFields);  // queued behind, never delivered
  fake_.Receive(Header(110) + ds_test::kCommandField);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"status 2"});
  EXPECT_EQ(fake_.Sent(), std::vector<std::string>{Header(20)});  // STOP on release
  EXPECT_EQ(fake_.released, 1);
}

TEST_F(DsTpControllerTest, ReleasingWithQueuedMessagesFreesThem) {
  Join();
  for (int i = 0; i < 100; ++i) {
    fake_.Receive(Header(60) + ds_test::kCommandField + ds_test::kBlockField + ds_test::kMouseInfoField +
                  ds_test::kCachesFields + ds_test::kSharingInfoField);
  }
  Release();  // the sanitizer build's leak check holds the records to account
  loop_.RunUntilIdle();
  EXPECT_TRUE(sink_.calls.empty());
}

TEST_F(DsTpControllerTest, ReleasingFromInsideTheErrorCallbackIsClean) {
  Join();
  // The engine's error handling stops the session, as the client does.
  sink_.on_error = [this] { Release(); };
  fake_.Receive(WithCode(30, 120));
  fake_.Receive(Header(50) + ds_test::kCachesFields);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"error 30 50"});
  EXPECT_EQ(tp_, nullptr);
  EXPECT_EQ(fake_.released, 1);
}

TEST_F(DsTpControllerTest, FilterLeavesTheTransportAloneAndLogsAdjustmentsEvery10Seconds) {
  Join();
  IMediaTransportFilter* filter = fake_.filter;
  int32_t out = 99;
  EXPECT_EQ(filter->Filter(1, 2, &out, 4), 0);
  EXPECT_EQ(out, 0);
  out = 99;
  EXPECT_EQ(filter->QueryValue(kTransportQueryMaxSendBandwidth, &out), 0);
  EXPECT_EQ(out, 99);
  EXPECT_EQ(filter->NotifyFlag(1), 0);
  for (int second = 0; second < 25; ++second) {
    filter->OnAdjustment(2, 500000, 3, 0.25f, 40, 900000);
    clock_.AdvanceMs(1000);
  }
  // At 0, 10 and 20 s, to the log and to the collect channel each.
  const auto lines = Lines("state=2,bandwidth=500000,jitter=3,lossrate=0.2500,rtt=40,totalbw=900000");
  EXPECT_EQ(lines.size(), 6u);
}

TEST_F(DsTpControllerTest, ThroughputIsLoggedOnceMoreThanFiveSecondsPassed) {
  Join();  // START: the first send starts the clock
  std::string big(1000, 'x');
  auto cache = std::make_unique<CCacheEntry>(21);
  cache->SetSlot(0, DS_CACHE_JPEG, big.data(), static_cast<uint32_t>(big.size()));
  CCacheEntry* list[] = {cache.get()};
  clock_.AdvanceMs(5000);
  EXPECT_EQ(tp_->DSSendCaches(list, 1), 1);  // not more than 5 s yet
  EXPECT_TRUE(Lines("total sent data size").empty());
  clock_.AdvanceMs(1);
  EXPECT_EQ(tp_->DSSendCaches(list, 1), 1);
  EXPECT_EQ(Lines("total sent data size [2K] diff(2K) (0K)/second").size(), 2u);  // log and collect
}

TEST_F(DsTpControllerTest, TheTokenNeverReachesTheLog) {
  Join();
  Release();
  EXPECT_EQ(Lines("Roster [roster-1] Token:").size(), 1u);
  EXPECT_TRUE(Lines("secret-token").empty());
}

}  // namespace
