// The web page's requests, dispatched into a queue and delivered by hand to a
// recording sink: which messages a text posts, and what the sink receives.
#include "weblink/link/request_dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "weblink/link/link_messages.h"
#include "weblink/link/link_request_payloads.h"
#include "weblink/link/link_testlib.h"
#include "weblink/link/request_delivery.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class QueuePoster final : public LinkRequestPoster {
 public:
  struct Posted {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
  };

  // What was never delivered is freed, as the helper window's Stop does.
  ~QueuePoster() {
    for (const Posted& posted : queue_) FreeLinkRequestPayload(posted.msg, posted.wParam, posted.lParam);
  }

  void PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    queue_.push_back({msg, wParam, lParam});
  }

  std::vector<uint32_t> Messages() const {
    std::vector<uint32_t> messages;
    for (const Posted& posted : queue_) messages.push_back(posted.msg);
    return messages;
  }

  void DeliverAll(IVzLinkInstanceSink& sink) {
    while (!queue_.empty()) {
      const Posted posted = queue_.front();
      queue_.pop_front();
      ASSERT_TRUE(DeliverLinkRequest(sink, posted.msg, posted.wParam, posted.lParam)) << posted.msg;
    }
  }

 private:
  std::deque<Posted> queue_;
};

std::vector<uint8_t> Utf16Bytes(std::u16string_view text, size_t size) {
  std::vector<uint8_t> bytes(size, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  return bytes;
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

class RequestDispatchTest : public ::testing::Test {
 protected:
  std::vector<uint32_t> Dispatch(const std::string& text) {
    DispatchLinkRequest(text, poster_);
    return poster_.Messages();
  }
  const std::vector<SinkCall>& DispatchAndDeliver(const std::string& text) {
    DispatchLinkRequest(text, poster_);
    poster_.DeliverAll(sink_);
    return sink_.calls();
  }

  FakeTracer tracer_;
  QueuePoster poster_;
  RecordingLinkSink sink_;
};

TEST_F(RequestDispatchTest, MalformedUnknownAndLowerCaseTextsPostNothing) {
  for (const std::string& text : std::vector<std::string>{
           "", "not json", "{\"type\":\"AC_SESSION_REQUEST_MUTE\",\"action\":{\"a\":1}} x",
           "[\"AC_SESSION_REQUEST_MUTE\"]", "{\"type\":\"ac_session_request_mute\",\"action\":{\"a\":1}}",
           "{\"type\":\"AC_SESSION_REQUEST_MUTEX\",\"action\":{\"a\":1}}", "{\"type\":1,\"action\":{\"a\":1}}",
           "{\"action\":{\"a\":1}}", "{\"type\":\"AC_SESSION_REQUEST_MUTE\",\"action\":[1]}",
           std::string(300, '[') + std::string(300, ']')}) {
    EXPECT_THAT(Dispatch(text), IsEmpty()) << text;
  }
  EXPECT_THAT(Dispatch("{\"type\":\"AC_SESSION_REQUEST_MUTE\",\"action\":{\"a\":1}}"),
              ElementsAre(WMWS_AUDIO_SESSION_REQUEST_MUTE));
}

TEST_F(RequestDispatchTest, TheActionRule) {
  EXPECT_THAT(Dispatch(R"({"type":"APP_REQUEST_PING","action":{}})"), IsEmpty());
  EXPECT_TRUE(tracer_.Logged(" : >action is empty"));
  EXPECT_THAT(Dispatch(R"({"type":"APP_REQUEST_PING"})"), IsEmpty());
  EXPECT_THAT(Dispatch(R"({"type":"APP_REQUEST_PING","action":{"a":0}})"), ElementsAre(WMWS_APP_REQUEST_PING));
  // Four types are read without an "action".
  EXPECT_THAT(Dispatch(R"({"type":"APP_PROXY_CONFIG"})"),
              ElementsAre(WMWS_APP_REQUEST_PING, WMWS_APP_CMD_PROXYCONFIG));
}

TEST_F(RequestDispatchTest, MeetConfigNeedsATopLevelConf) {
  EXPECT_THAT(Dispatch(R"({"type":"APP_MEET_CONFIG","action":{"conf":{"MEET_WITHOUT_AUDIO":true}}})"), IsEmpty());
  EXPECT_THAT(Dispatch(R"({"type":"APP_MEET_CONFIG","conf":{}})"), IsEmpty());
  EXPECT_TRUE(tracer_.Logged("*** ERROR ****** >config is empty<"));
  const std::vector<SinkCall>& calls =
      DispatchAndDeliver(R"({"type":"APP_MEET_CONFIG","conf":{"MEET_WITHOUT_AUDIO":true}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnAppCmdMeetConfig");
  EXPECT_EQ(WordAt(calls[0].record, 0), 0u);           // AudioEnabled
  EXPECT_EQ(WordAt(calls[0].record, 24), 0xFF0084FFu);  // HeaderBgColor's default
}

TEST_F(RequestDispatchTest, DataCommandsAreTheWholeTextByteForByte) {
  const std::string text = " {\"type\" : \"DS_DATA_COMMAND\", \"data\": [1, 2, {\"x\":\"\xC3\xA9\"}]}\t";
  const std::vector<SinkCall>& calls = DispatchAndDeliver(text);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnDSDataCommand");
  EXPECT_EQ(std::string(calls[0].record.begin(), calls[0].record.end()), text);
  EXPECT_THAT(Dispatch(R"({"type":"DS_DATA_GET_CACHES"})"), ElementsAre(WMWS_SHARING_DATA_COMMAND));
}

TEST_F(RequestDispatchTest, LayoutRowAndColumnTravelAsUnsigned16BitHalves) {
  const std::vector<SinkCall>& calls = DispatchAndDeliver(
      R"({"type":"AV_SESSION_REQUEST_LAYOUT","action":{"av_conf":{"layout":4,"row":2,"col":3}}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnAVSessionRequestLayout");
  EXPECT_THAT(calls[0].numbers, ElementsAre(0, 4, 2, 3));
  DispatchAndDeliver(R"({"type":"AV_SESSION_REQUEST_LAYOUT","action":{"av_conf":{"layout":-1,"row":-1,"col":70000}}})");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_THAT(calls[1].numbers, ElementsAre(0, -1, 65535, 70000 & 0xFFFF));
  EXPECT_THAT(Dispatch(R"({"type":"AV_SESSION_REQUEST_LAYOUT","action":{"av_state":{"row":1}}})"), IsEmpty());
}

TEST_F(RequestDispatchTest, RostersArePostedOneByOneInArrayOrder) {
  const std::vector<SinkCall>& calls = DispatchAndDeliver(
      R"({"type":"APP_ROSTERS_CMD_JOINED","action":{"rosters":[{"id":"a"},{"id":"b"},7,{"id":"c"}]}})");
  ASSERT_EQ(calls.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(testing::Message() << "roster " << i);
    EXPECT_EQ(calls[i].operation, "OnAppCmdUserJoined");
    EXPECT_EQ(calls[i].record[0], "abc"[i]);
  }
  EXPECT_TRUE(tracer_.Logged("a roster that is not an object is skipped"));
  EXPECT_THAT(Dispatch(R"({"type":"APP_ROSTERS_CMD_UPDATED","action":{"rosters":[]}})"), IsEmpty());
  EXPECT_TRUE(tracer_.Logged(" : >join there isn't roster"));

  sink_.Clear();
  DispatchAndDeliver(
      R"({"type":"APP_ROSTERS_CMD_LEFT","action":{"rosters":[{"id":"r1","is_host":true,"user":{"name":"N"}}]}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnAppCmdUserLeft");
  EXPECT_EQ(calls[0].record, Utf16Bytes(u"r1", 1044)) << "only the roster id is filled";
  EXPECT_TRUE(tracer_.Logged(" : >Left r1"));
}

TEST_F(RequestDispatchTest, SharingRequestsPostEvenWithoutTheirConfig) {
  const std::vector<SinkCall>& calls = DispatchAndDeliver(R"({"type":"DS_SESSION_REQUEST_JOIN","action":{"x":1}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnDSSessionRequestWebJoin");
  std::vector<uint8_t> join(7892, 0);
  join[7888] = 1;  // IsWebAttendee
  EXPECT_EQ(calls[0].record, join);
  EXPECT_THAT(tracer_.collect_lines(),
              ElementsAre(HasSubstr(" : >web request ds join with is presenter [0] is web attendee [1]")));

  DispatchAndDeliver(R"({"type":"DS_SESSION_REQUEST_START","action":{"ds_conf":{"token":"secret-token"},)"
                     R"("ds_state":{"is_presenter":1}}})");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].operation, "OnDSSessionRequestStart");
  EXPECT_EQ(WordAt(calls[1].record, 7884), 1u);
  EXPECT_EQ(WordAt(calls[1].record, 7888), 0u);
  EXPECT_TRUE(tracer_.Logged("token=[***] isPresenter=[1]"));
  for (const std::string& line : tracer_.log_lines()) EXPECT_THAT(line, Not(HasSubstr("token=[VDS")));
}

TEST_F(RequestDispatchTest, AudioRequestsTheBuilderRefusesPostNothing) {
  EXPECT_THAT(Dispatch(R"({"type":"AC_SESSION_REQUEST_JOIN","action":{"ac_conf":{"conf_id":"m"}}})"), IsEmpty());
  EXPECT_TRUE(tracer_.Logged("*** ERROR ****** >wrong json.<"));
  EXPECT_THAT(Dispatch(R"({"type":"AC_SESSION_REQUEST_UPDATE","action":{"ac_conf":{"conf_id":"m"}}})"), IsEmpty());
  EXPECT_TRUE(tracer_.Logged("*** ERROR ****** >Wrong json<"));
  const std::vector<SinkCall>& calls = DispatchAndDeliver(
      R"({"type":"AC_SESSION_REQUEST_JOIN","action":{"ac_conf":{"conf_id":"m","token":"tk","mute":1},"ac_state":{"id":"r"}}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, "OnACSessionRequestJoin");
  EXPECT_EQ(WordAt(calls[0].record, 7884), 1u);  // IsMuted
  EXPECT_TRUE(tracer_.Logged("sessionId=[r], token=[***] mute=[1], edge_count [0]"));
}

TEST_F(RequestDispatchTest, StopAndLeaveCarryTheOneId) {
  EXPECT_THAT(Dispatch(R"({"type":"DS_SESSION_REQUEST_STOP","action":{"ds_state":{"ds_sessionid":"x"}}})"), IsEmpty());
  EXPECT_THAT(Dispatch(R"({"type":"AV_SESSION_REQUEST_LEAVE","action":{"av_conf":{}}})"), IsEmpty());
  const std::vector<SinkCall>& calls =
      DispatchAndDeliver(R"({"type":"DS_SESSION_REQUEST_STOP","action":{"ds_conf":{"ds_sessionid":"s-1"}}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].record, Utf16Bytes(u"s-1", 512));
  // 255 units fit the text; 256 leave it empty.
  DispatchAndDeliver(R"({"type":"AC_SESSION_REQUEST_LEAVE","action":{"ac_conf":{"conf_id":")" + std::string(255, 'a') +
                     R"("}}})");
  DispatchAndDeliver(R"({"type":"AV_SESSION_REQUEST_LEAVE","action":{"av_conf":{"conf_id":")" + std::string(256, 'a') +
                     R"("}}})");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].record, Utf16Bytes(std::u16string(255, u'a'), 512));
  EXPECT_EQ(calls[2].operation, "OnAVSessionRequestLeave");
  EXPECT_EQ(calls[2].record, std::vector<uint8_t>(512, 0));
}

TEST_F(RequestDispatchTest, PluginEventRecords) {
  const std::vector<SinkCall>& calls = DispatchAndDeliver(
      R"({"type":"PLUGIN_WINDOW_EVENT","action":{"type":3,"frame":{"x":10,"y":-20,"width":30,"height":2147483647}}})");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_THAT(calls[0].numbers, ElementsAre(3));
  EXPECT_EQ(WordAt(calls[0].record, 0), 10u);
  EXPECT_EQ(WordAt(calls[0].record, 4), static_cast<uint32_t>(-20));
  EXPECT_EQ(WordAt(calls[0].record, 8), 40u);
  EXPECT_EQ(WordAt(calls[0].record, 12), 2147483627u) << "the bottom edge wraps as a 32-bit sum";
  DispatchAndDeliver(R"({"type":"PLUGIN_MOUSE_EVENT","action":{"type":1,"count":2,"point":{"x":5,"y":6}}})");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].operation, "OnPluginMouseEvent");
  EXPECT_EQ(calls[1].record, (std::vector<uint8_t>{1, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0}));
}

TEST_F(RequestDispatchTest, MessageTextsAreOnlyLogged) {
  EXPECT_THAT(Dispatch(R"({"type":"APP_MESSAGE_CMD_UPDATE","action":{"message":"hello"}})"),
              ElementsAre(WMWS_APP_CMD_MESSAGE));
  poster_.DeliverAll(sink_);
  EXPECT_THAT(sink_.calls(), IsEmpty());
  EXPECT_TRUE(tracer_.Logged(" : >ptcMessage=hello"));
  EXPECT_TRUE(tracer_.Logged(" : >WMWS_APP_CMD_MESSAGE"));
}

TEST_F(RequestDispatchTest, RequestsLeftUndeliveredAreFreed) {
  // Checked by the leak sanitizer: the poster frees what it still holds.
  Dispatch(R"({"type":"AV_SESSION_REQUEST_JOIN","action":{"x":1}})");
  Dispatch(R"({"type":"DS_DATA_COMMAND"})");
  Dispatch(R"({"type":"PLUGIN_MOUSE_EVENT","action":{"x":1}})");
  Dispatch(R"({"type":"AV_SESSION_REQUEST_LEAVE","action":{"av_conf":{"conf_id":"v"}}})");
  EXPECT_EQ(Dispatch(R"({"type":"APP_ROSTERS_CMD_JOINED","action":{"rosters":[{"id":"a"}]}})").size(), 5u);
}

// A poster whose queue runs out of memory at the given post; like the real
// one, it frees the record of a message it cannot take.
class ExhaustedPoster final : public LinkRequestPoster {
 public:
  explicit ExhaustedPoster(int fail_at) : fail_at_(fail_at) {}
  ~ExhaustedPoster() {
    for (const Posted& posted : taken_) FreeLinkRequestPayload(posted.msg, posted.wParam, posted.lParam);
  }
  void PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    if (++posts_ == fail_at_) {
      FreeLinkRequestPayload(msg, wParam, lParam);
      throw std::bad_alloc();
    }
    taken_.push_back({msg, wParam, lParam});
  }
  size_t taken() const { return taken_.size(); }

 private:
  struct Posted {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
  };
  const int fail_at_;
  int posts_ = 0;
  std::vector<Posted> taken_;
};

TEST_F(RequestDispatchTest, RunningOutOfMemoryDropsTheRequestWithALogLine) {
  const std::string text =
      "{\"type\":\"APP_ROSTERS_CMD_JOINED\",\"action\":{\"rosters\":[{\"id\":\"a\"},{\"id\":\"b\"},{\"id\":\"c\"}]}}";
  ExhaustedPoster poster(2);
  DispatchLinkRequest(text, poster);  // must not throw
  EXPECT_EQ(poster.taken(), 1u);      // what was posted before stays posted
  EXPECT_TRUE(tracer_.Logged("out of memory on a request of " + std::to_string(text.size()) + " bytes: dropped"));
}

// A text past the parser's value budget is a malformed message: logged by
// the parser, nothing posted.
TEST_F(RequestDispatchTest, ATextOverTheValueBudgetPostsNothing) {
  std::string text = "{\"type\":\"APP_ROSTERS_CMD_JOINED\",\"action\":{\"rosters\":[";
  for (int i = 0; i < 5000; ++i) text += "0,";
  text += "{}]}}";
  EXPECT_THAT(Dispatch(text), IsEmpty());
  EXPECT_TRUE(tracer_.Logged("values: refused"));
}

}  // namespace
