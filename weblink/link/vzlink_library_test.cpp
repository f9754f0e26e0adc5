// libvzlink.so as VelzarHub uses it: loaded by name beside the real
// libvztrace.so, made through its first export, served by a pipe server of
// the test's own, pumped on this (the creating) thread. The isolated main
// runs the tests in a copy of this binary whose runtime folder is temporary.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/trace_client.h"
#include "platform/module_loader.h"
#include "platform/process.h"
#include "platform/user_folders.h"
#include "weblink/link/link_testlib.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_test_peer_testlib.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string OwnLog();

struct LinkLibrary {
  LinkLibrary() {
    module = vz::LoadModule("vzlink").module;
    // The log keeps only its latest part: what loading wrote is read now.
    log_after_load = OwnLog();
    if (module == nullptr) return;
    create = reinterpret_cast<CreateVzLinkInstanceFn>(vz::GetModuleOrdinal(module, 1));
    release = reinterpret_cast<ReleaseVzLinkInstanceFn>(vz::GetModuleOrdinal(module, 2));
  }
  vz::ModuleHandle module = nullptr;
  CreateVzLinkInstanceFn create = nullptr;
  ReleaseVzLinkInstanceFn release = nullptr;
  std::string log_after_load;
};

// Loaded once and kept, as VelzarHub keeps it.
const LinkLibrary& Library() {
  static const LinkLibrary library;
  return library;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::stringstream text(ReadFile(path));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::string OwnLog() { return ReadFile(vz::RuntimeFolder() + "/vzmeet-app." + std::to_string(vz::ProcessId()) + ".log"); }

std::string JsonFrame(const std::string& text) { return BuildPipeFrame(PIPE_KIND_JSON_TEXT, text); }

// Marks the end of what a test sent: every call before it has been delivered
// once the sink hears it.
const char kSentinel[] = R"({"type":"AC_SESSION_STATUS_LEFT","action":{"sentinel":1}})";
const char kSentinelOperation[] = "OnAppAudioStatusLeft";

struct ExpectedCall {
  std::string operation;
  std::vector<int32_t> numbers;
  size_t size = 0;
  std::vector<std::string> bytes;  // "@offset value" lines
};

struct RequestFixture {
  std::string name;
  std::string request;
  std::vector<ExpectedCall> calls;
};

std::vector<RequestFixture> LoadRequestFixtures() {
  std::vector<RequestFixture> fixtures;
  for (const std::string& line : ReadLines(VZ_LINK_TESTDATA "/link_requests.txt")) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("== ", 0) == 0) {
      fixtures.push_back(RequestFixture{line.substr(3), "", {}});
    } else if (fixtures.empty()) {
      ADD_FAILURE() << "text before the first block: " << line;
    } else if (fixtures.back().request.empty()) {
      fixtures.back().request = line;
    } else if (line.rfind("-> ", 0) == 0) {
      ExpectedCall call;
      std::stringstream words(line.substr(3));
      words >> call.operation;
      for (std::string word; words >> word;) {
        if (word.rfind("bytes=", 0) == 0) {
          call.size = std::stoul(word.substr(6));
        } else {
          call.numbers.push_back(std::stoi(word));
        }
      }
      fixtures.back().calls.push_back(call);
    } else if (fixtures.back().calls.empty()) {
      ADD_FAILURE() << "record bytes before a call: " << line;
    } else {
      fixtures.back().calls.back().bytes.push_back(line);
    }
  }
  return fixtures;
}

class VzlinkLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Library().create, nullptr);
    ASSERT_NE(Library().release, nullptr);
    link_ = Library().create(&sink_);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override { Release(); }

  void Release() {
    if (link_ != nullptr) {
      EXPECT_EQ(Library().release(link_), 1);
    }
    link_ = nullptr;
  }
  bool SawListener(int32_t status) const {
    for (const SinkCall& call : sink_.calls()) {
      if (call.operation == "OnAppSocketListener" && call.numbers[0] == status) return true;
    }
    return false;
  }
  void Connect() {
    ASSERT_TRUE(peer_.BindAndListen());
    ASSERT_EQ(link_->WSStartListen(&config_), 1);
    ASSERT_TRUE(peer_.Accept());
    ASSERT_TRUE(PumpUntil([&] { return SawListener(2); }));
    sink_.Clear();
  }
  // Sends the texts and then the sentinel; pumps until it was delivered.
  void SendAndPump(const std::vector<std::string>& texts, size_t expected_calls) {
    std::string bytes;
    for (const std::string& text : texts) bytes += JsonFrame(text);
    ASSERT_TRUE(peer_.WriteAll(bytes + JsonFrame(kSentinel)));
    ASSERT_TRUE(PumpUntil([&] {
      return sink_.calls().size() > expected_calls && sink_.calls().back().operation == kSentinelOperation;
    })) << ::testing::PrintToString(sink_.operations());
  }
  // Reads frames until one equals `last` (kept), leaving out collect lines
  // unless asked for.
  std::vector<PipeTestFrame> ReadFramesThrough(const PipeTestFrame& last, bool with_collect_lines = false) {
    std::vector<PipeTestFrame> all;
    while (all.empty() || !(all.back() == last)) {
      if (!peer_.ReadFrames(1, &all)) {
        ADD_FAILURE() << "the frames stopped after " << all.size();
        break;
      }
    }
    std::vector<PipeTestFrame> kept;
    for (const PipeTestFrame& frame : all) {
      if (with_collect_lines || frame.kind != PIPE_KIND_TRACE_LOG) kept.push_back(frame);
    }
    return kept;
  }

  std::u16string pipe_name_ = NextTestPipeName();
  PipeTestPeer peer_{pipe_name_};
  AppPeerConfig config_ = MakePeerConfig(pipe_name_, u"123");
  RecordingLinkSink sink_;
  IVzLinkInstance* link_ = nullptr;
};

TEST(VzlinkLibraryExportsTest, OnlyTheTwoOrdinalsAreExported) {
  ASSERT_NE(Library().module, nullptr);
  EXPECT_NE(Library().create, nullptr);
  EXPECT_NE(Library().release, nullptr);
  EXPECT_EQ(vz::GetModuleOrdinal(Library().module, 3), nullptr);
  EXPECT_EQ(vz::GetModuleSymbol(Library().module,
                                "_Z19DispatchLinkRequestRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEER17LinkRequestPoster"),
            nullptr);
  EXPECT_EQ(vz::GetModuleSymbol(Library().module, "TraceA"), nullptr) << "the library's own tracer client is hidden";
  EXPECT_EQ(Library().release(nullptr), 1);
  EXPECT_THAT(Library().log_after_load, HasSubstr(" : >VZLINk DLL DLL_PROCESS_ATTACH"));
  EXPECT_THAT(OwnLog(), HasSubstr(" : >DLLAPI : ReleaseVzLinkInstance"));
}

TEST_F(VzlinkLibraryTest, EveryRequestTypeReachesItsSinkOperationWithItsRecord) {
  const std::vector<RequestFixture> fixtures = LoadRequestFixtures();
  ASSERT_GE(fixtures.size(), 33u);
  Connect();
  for (const RequestFixture& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    sink_.Clear();
    SendAndPump({fixture.request}, fixture.calls.size());
    const std::vector<SinkCall>& calls = sink_.calls();
    ASSERT_EQ(calls.size(), fixture.calls.size() + 1) << ::testing::PrintToString(sink_.operations());
    for (size_t i = 0; i < fixture.calls.size(); ++i) {
      const ExpectedCall& want = fixture.calls[i];
      EXPECT_EQ(calls[i].operation, want.operation) << "call " << i;
      EXPECT_EQ(calls[i].numbers, want.numbers) << "call " << i;
      if (want.size == 0) {
        EXPECT_FALSE(calls[i].has_record) << "call " << i;
        continue;
      }
      std::vector<uint8_t> golden;
      std::string error;
      ASSERT_TRUE(ParseGoldenBytes(want.bytes, want.size, &golden, &error)) << error;
      EXPECT_EQ(FirstByteDifference(calls[i].record, golden), "") << "call " << i;
    }
  }
  EXPECT_FALSE(sink_.called_off_thread()) << "every delivery comes on the creating thread";
}

TEST_F(VzlinkLibraryTest, EveryReportMatchesItsGoldenText) {
  Connect();
  EXPECT_EQ(link_->WSSendValue1(7), 1);
  EXPECT_EQ(link_->WSSendValue2(-1), 1);
  for (int32_t status = 0; status <= 5; ++status) {
    EXPECT_EQ(link_->WSDSSessionResponseStatus(status, u"12", u"7"), 0) << "status " << status;
  }
  EXPECT_EQ(link_->WSDSSessionResponseError(9, 2, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseError(-1, -1, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseRemoteControl(0, 2, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseRemoteControl(1, 0, u"12", u"7"), 0);
  CVZBinaryData abc("abc", 3);
  CVZBinaryData empty(0u);
  EXPECT_EQ(link_->WSDSSessionResponseBinary(&abc, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseBinary(nullptr, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseBinary(&empty, u"12", u"7"), 0);
  EXPECT_EQ(link_->WSDSSessionNotifyStart(u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseJoined(1, 7, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseJoined(0, -1, u"12"), 0);
  for (int32_t status = 0; status <= 5; ++status) {
    EXPECT_EQ(link_->WSACSessionResponseStatus(status, u"12"), 0) << "status " << status;
  }
  EXPECT_EQ(link_->WSACSessionResponseError(9, 2, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseMuted(3, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseMuted(0, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseMicStatus(1, u"12"), 0);
  ACSpeakerEntry speakers[] = {{1, 5, 2}, {3, 9, 4}};
  EXPECT_EQ(link_->WSACSessionResponseSpeakers(speakers, 2, u"12"), 1);
  EXPECT_EQ(link_->WSACSessionResponseSpeakers(speakers, 0, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseSpeakers(speakers, -1, u"12"), 0);
  ACRosterNetworkEntry network[] = {{100, 2, 40, 3, 1}};
  EXPECT_EQ(link_->WSACSessionResponseRostersNetwork(network, 1, u"12"), 1);
  EXPECT_EQ(link_->WSACSessionResponseRostersNetwork(network, 0, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionResponseDeviceLevel(30, 70, u"12"), 0);
  EXPECT_EQ(link_->WSACSessionNotifyJoin(u"123"), 0);
  EXPECT_EQ(link_->WSACSessionNotifyLeave(u"123"), 0);
  EXPECT_EQ(link_->WSACSessionNotifyMute(u"123"), 0);
  EXPECT_EQ(link_->WSACSessionNotifyUnmute(u"123"), 0);
  EXPECT_EQ(link_->WSAVSessionResponseJoined(1, 4660, u"12"), 0);
  for (int32_t status = 0; status <= 5; ++status) {
    EXPECT_EQ(link_->WSAVSessionResponseStatus(status, u"12"), 0) << "status " << status;
  }
  EXPECT_EQ(link_->WSAVSessionResponseError(9, 2, u"12"), 0);
  EXPECT_EQ(link_->WSAVSessionResponseBroadcasted(5, u"12"), 0);
  EXPECT_EQ(link_->WSAVSessionResponseBroadcasted(0, u"12"), 0);
  EXPECT_EQ(link_->WSAVSessionNotifyJoin(u"12"), 0);
  EXPECT_EQ(link_->WSDSSessionResponseStatus(2, u"a\"b\\c", nullptr), 0);
  SendAndPump({R"({"type":"APP_REQUEST_PING","action":{"seq":1}})"}, 0);
  TraceCollectA("collected %d", 1);
  link_->WSSendValue1(999);

  std::vector<std::string> golden;
  for (const std::string& line : ReadLines(VZ_LINK_TESTDATA "/link_reports.txt")) {
    if (!line.empty() && line[0] != '#') golden.push_back(line);
  }
  const std::vector<PipeTestFrame> frames = ReadFramesThrough({PIPE_KIND_VALUE1, "999"}, true);
  std::vector<std::string> reports;
  bool saw_collect_line = false;
  for (const PipeTestFrame& frame : frames) {
    EXPECT_NE(frame.kind, PIPE_KIND_CRASH_REPORT) << "there was no crash file";
    if (frame.kind == PIPE_KIND_TRACE_LOG) {
      saw_collect_line = true;
    } else {
      reports.push_back(std::to_string(frame.kind) + " " + frame.payload);
    }
  }
  EXPECT_TRUE(saw_collect_line) << "the sink was registered without a crash report";
  ASSERT_FALSE(reports.empty());
  reports.pop_back();  // the end marker
  EXPECT_EQ(reports, golden);
  EXPECT_THAT(OwnLog(), HasSubstr("CVzLinkInstController::WSACSessionResponseStatus [line# "));
  // Ten asterisks close this line, and only this one.
  EXPECT_THAT(OwnLog(), HasSubstr("*** ERROR ****** >Can't response joined status here!< **********\r\n"));
  EXPECT_THAT(OwnLog(), Not(HasSubstr("joined status here!< ***********")));
}

TEST_F(VzlinkLibraryTest, APendingCrashFileIsSentFirstThenEveryCollectLine) {
  TraceSetAppInfo("vzlinktest", "1.0");
  const std::string name = "native.crash.win.vzlinktest.1.0.2025-01-01.10.11.12.exception";
  {
    std::ofstream file(vz::RuntimeFolder() + "/" + name, std::ios::binary);
    file << "crash report text";
  }
  Connect();
  std::vector<PipeTestFrame> frames;
  ASSERT_TRUE(peer_.ReadFrames(1, &frames));
  EXPECT_EQ(frames[0], (PipeTestFrame{PIPE_KIND_CRASH_REPORT, name + "*crash report text"}));
  EXPECT_EQ(ReadFile(vz::RuntimeFolder() + "/" + name), "") << "the file was taken";

  TraceCollectA("relayed line %d", 7);
  link_->WSSendValue1(1);
  frames = ReadFramesThrough({PIPE_KIND_VALUE1, "1"}, true);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[frames.size() - 2].kind, PIPE_KIND_TRACE_LOG);
  EXPECT_THAT(frames[frames.size() - 2].payload, HasSubstr("relayed line 7"));
  EXPECT_THAT(OwnLog(), Not(HasSubstr("relayed line"))) << "collect lines reach only the web page";

  Release();
  TraceCollectA("after release %d", 8);  // the sink is gone: nothing runs in the freed instance
  EXPECT_TRUE(peer_.WaitEndOfStream());
}

TEST_F(VzlinkLibraryTest, TokensReachNeitherTheLogNorTheWebPageInClear) {
  Connect();
  SendAndPump({R"({"type":"DS_SESSION_REQUEST_START","action":{"ds_conf":{"conf_id":"m","token":"SECRET-1"}}})",
               R"({"type":"AC_SESSION_REQUEST_JOIN","action":{"ac_conf":{"token":"SECRET-2"},"ac_state":{"id":"r"}}})",
               R"({"type":"AV_SESSION_REQUEST_UPDATE","action":{"av_conf":{"token":"SECRET-3"},"av_state":{"id":"r"}}})"},
              3);
  link_->WSSendValue1(2);
  for (const PipeTestFrame& frame : ReadFramesThrough({PIPE_KIND_VALUE1, "2"}, true)) {
    EXPECT_THAT(frame.payload, Not(HasSubstr("SECRET"))) << frame.payload;
  }
  int masked = 0;
  std::stringstream log(OwnLog());
  for (std::string line; std::getline(log, line);) {
    if (line.find("token=") == std::string::npos) continue;
    EXPECT_THAT(line, Not(HasSubstr("SECRET")));
    if (line.find("token=[***]") != std::string::npos || line.find("token=***") != std::string::npos) ++masked;
  }
  EXPECT_GE(masked, 3);
}

// Four threads log through the collect call and report while the server
// closes, the UI thread pumps and then releases the link: no race, no
// deadlock, no use after free (run under the thread and address sanitizers).
TEST_F(VzlinkLibraryTest, LoggingAndReportingThreadsMeetServerCloseAndRelease) {
  Connect();
  std::atomic<bool> stop_reporting{false};
  std::atomic<bool> stop_logging{false};
  std::atomic<int> rounds[4] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      const bool reporter = i % 2 == 1;
      while (!(reporter ? stop_reporting : stop_logging).load()) {
        if (reporter) {
          link_->WSACSessionNotifyMute(u"m");
          link_->WSSendValue2(i);
        } else {
          TraceCollectA("stress line %d", i);
        }
        ++rounds[i];
      }
    });
  }
  const auto all_rounds_at_least = [&](int count) {
    for (const std::atomic<int>& round : rounds) {
      if (round.load() < count) return false;
    }
    return true;
  };
  while (!all_rounds_at_least(200)) std::this_thread::yield();
  peer_.CloseConnection();
  ASSERT_TRUE(PumpUntil([&] { return SawListener(1); }));
  const int logged_before_release = rounds[0].load();
  stop_reporting = true;
  for (int i = 1; i < 4; i += 2) threads[i].join();
  Release();
  while (rounds[0].load() < logged_before_release + 200 || rounds[2].load() < 200) std::this_thread::yield();
  stop_logging = true;
  for (int i = 0; i < 4; i += 2) threads[i].join();
}

}  // namespace
