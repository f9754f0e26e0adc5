#include "weblink/link/link_testlib.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/trace_client_test_hooks.h"
#include "common/tracer_collect_sink.h"
#include "common/vz_binary_data.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "contracts/link_request_records.h"

namespace {

size_t WideTextBytes() { return kSessionIdTextCapacity * sizeof(char16_t); }

void QuitCurrentRun() {
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->Quit();
}

}  // namespace

RecordingLinkSink::RecordingLinkSink() : thread_(std::this_thread::get_id()) {}

std::vector<std::string> RecordingLinkSink::operations() const {
  std::vector<std::string> names;
  for (const SinkCall& call : calls_) names.push_back(call.operation);
  return names;
}

SinkCall& RecordingLinkSink::Record(const char* operation, std::vector<int32_t> numbers, const void* record,
                                    size_t size) {
  if (std::this_thread::get_id() != thread_) called_off_thread_ = true;
  SinkCall call;
  call.operation = operation;
  call.numbers = std::move(numbers);
  call.has_record = record != nullptr;
  if (record != nullptr) {
    const auto* bytes = static_cast<const uint8_t*>(record);
    call.record.assign(bytes, bytes + size);
  }
  calls_.push_back(std::move(call));
  QuitCurrentRun();
  return calls_.back();
}

int32_t RecordingLinkSink::OnPluginWindowEvent(int32_t type, WindowEventRecord* record) {
  Record(__func__, {type}, record, sizeof(WindowEventRecord));
  return 0;
}
int32_t RecordingLinkSink::OnPluginMouseEvent(MouseEventRecord* record) {
  Record(__func__, {}, record, sizeof(MouseEventRecord));
  return 0;
}
int32_t RecordingLinkSink::OnAppSocketListener(int32_t status, int32_t code) {
  Record(__func__, {status, code}, nullptr, 0);
  if (on_listener) on_listener(status);
  return 1;
}
int32_t RecordingLinkSink::OnAppRequestConfigProxy(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAppCmdUserJoined(RosterRecord* roster) {
  Record(__func__, {}, roster, sizeof(RosterRecord));
  return 1;
}
int32_t RecordingLinkSink::OnAppCmdUserLeft(RosterRecord* roster) {
  Record(__func__, {}, roster, sizeof(RosterRecord));
  return 1;
}
int32_t RecordingLinkSink::OnAppCmdUserUpdated(RosterRecord* roster) {
  Record(__func__, {}, roster, sizeof(RosterRecord));
  return 1;
}
int32_t RecordingLinkSink::OnAppCmdMeetConfig(MeetConfig* config) {
  Record(__func__, {}, config, sizeof(MeetConfig));
  return 1;
}
int32_t RecordingLinkSink::OnDSSessionRequestStart(DSSessionConfig* session) {
  Record(__func__, {}, session, sizeof(DSSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnDSSessionRequestWebJoin(DSSessionConfig* session) {
  Record(__func__, {}, session, sizeof(DSSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnDSSessionRequestUpdate(DSSessionConfig* session) {
  Record(__func__, {}, session, sizeof(DSSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnDSSessionRequestStop(const char16_t* session_id) {
  Record(__func__, {}, session_id, WideTextBytes());
  return 1;
}
int32_t RecordingLinkSink::OnDSSessionRequestQuickStart(DSSessionConfig* session) {
  Record(__func__, {}, session, sizeof(DSSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnDSDataCommand(CVZBinaryData* data) {
  Record(__func__, {}, data ? data->data() : nullptr, data ? data->length() : 0);
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestJoin(ACSessionConfig* session) {
  Record(__func__, {}, session, sizeof(ACSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestUpdate(ACSessionConfig* session) {
  Record(__func__, {}, session, sizeof(ACSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestLeave(const char16_t* conf_id) {
  Record(__func__, {}, conf_id, WideTextBytes());
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestConfig(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestMute(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnACSessionRequestUnmute(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAppAudioStatusJoined(int32_t muted) {
  Record(__func__, {muted}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAppAudioStatusLeft() {
  Record(__func__, {}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAppAudioStatusMuted() {
  Record(__func__, {}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAppAudioStatusUnmuted() {
  Record(__func__, {}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestJoin(AVSessionConfig* session) {
  Record(__func__, {}, session, sizeof(AVSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestUpdate(AVSessionConfig* session) {
  Record(__func__, {}, session, sizeof(AVSessionConfig));
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestLeave(const char16_t* conf_id) {
  Record(__func__, {}, conf_id, WideTextBytes());
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestConfig(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestLayout(int32_t unused, int32_t layout, int32_t* row_column) {
  Record(__func__, {unused, layout, row_column[0], row_column[1]}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestCameraOn(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}
int32_t RecordingLinkSink::OnAVSessionRequestCameraOff(int32_t unused) {
  Record(__func__, {unused}, nullptr, 0);
  return 1;
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  static const int kTimerOwner = 0;
  bool timed_out = false;
  loop.StartTimer(&kTimerOwner, 1, static_cast<uint32_t>(timeout_ms), [&] {
    timed_out = true;
    loop.Quit();
  });
  // What ran before the first Run (posted earlier) is seen by the first look.
  loop.RunUntilIdle();
  while (!done() && !timed_out) loop.Run();
  loop.KillTimer(&kTimerOwner, 1);
  return done();
}

bool ParseGoldenBytes(const std::vector<std::string>& lines, size_t size, std::vector<uint8_t>* bytes,
                      std::string* error) {
  bytes->assign(size, 0);
  for (const std::string& line : lines) {
    if (line.size() < 2 || line[0] != '@') {
      *error = "not an @offset line: " + line;
      return false;
    }
    char* end = nullptr;
    const unsigned long offset = std::strtoul(line.c_str() + 1, &end, 10);
    if (end == line.c_str() + 1 || *end != ' ') {
      *error = "bad offset: " + line;
      return false;
    }
    const std::string value(end + 1);
    std::vector<uint8_t> piece;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      const std::string inner = value.substr(1, value.size() - 2);
      if (value.front() == '\'') {
        piece.assign(inner.begin(), inner.end());
      } else {
        for (const char16_t unit : vz::Utf8ToUtf16(inner)) {
          piece.push_back(static_cast<uint8_t>(unit & 0xFF));
          piece.push_back(static_cast<uint8_t>(unit >> 8));
        }
      }
    } else {
      char* number_end = nullptr;
      const long long number = std::strtoll(value.c_str(), &number_end, 0);
      if (number_end == value.c_str() || *number_end != '\0') {
        *error = "bad value: " + line;
        return false;
      }
      const auto word = static_cast<uint32_t>(number);
      for (int i = 0; i < 4; ++i) piece.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
    if (offset + piece.size() > size) {
      *error = "past the record's end: " + line;
      return false;
    }
    std::memcpy(bytes->data() + offset, piece.data(), piece.size());
  }
  return true;
}

std::string FirstByteDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  if (got.size() != want.size()) {
    return "size " + std::to_string(got.size()) + ", want " + std::to_string(want.size());
  }
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i]) {
      return "offset " + std::to_string(i) + ": got " + std::to_string(got[i]) + ", want " + std::to_string(want[i]);
    }
  }
  return std::string();
}

AppPeerConfig MakePeerConfig(std::u16string_view pipe_name, std::u16string_view meet_id) {
  AppPeerConfig config{};
  vz::CopyUtf16(config.PipeName, std::size(config.PipeName), pipe_name);
  vz::CopyUtf16(config.MeetId, std::size(config.MeetId), meet_id);
  return config;
}

struct FakeTracer::State {
  mutable std::mutex mutex;
  mutable std::condition_variable logged;
  std::vector<std::string> log_lines;
  std::vector<std::string> collect_lines;
  std::string pending_report;
  bool has_report = false;
  std::atomic<int> released{0};
  ITracerCollectSink* sink = nullptr;
  std::vector<ITracerCollectSink*> sink_history;
  vz::TracerEntries entries;
};

FakeTracer::State* FakeTracer::state_ = nullptr;

namespace {

std::string Format(const char* format, va_list args) {
  char line[8192];
  std::vsnprintf(line, sizeof line, format, args);
  return line;
}

// A report that counts its release.
class CountedReport final : public CVZBinaryData {
 public:
  CountedReport(const std::string& bytes, std::atomic<int>* released)
      : CVZBinaryData(bytes.data(), static_cast<uint32_t>(bytes.size())), released_(released) {}
  ~CountedReport() override { ++*released_; }

 private:
  std::atomic<int>* released_;
};

}  // namespace

FakeTracer::FakeTracer() {
  state_ = new State();
  state_->entries.log_a = LogA;
  state_->entries.collect_a = CollectA;
  state_->entries.get_crash_report = GetCrashReport;
  state_->entries.set_collect_sink = SetCollectSink;
  vz::BindTracerForTest(&state_->entries);
}

FakeTracer::~FakeTracer() {
  vz::RestoreTracerForTest();
  delete state_;
  state_ = nullptr;
}

void FakeTracer::LogA(const char* /*tag*/, const char* format, va_list args) {
  const std::string line = Format(format, args);
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->log_lines.push_back(line);
  state_->logged.notify_all();
}

void FakeTracer::CollectA(const char* /*tag*/, const char* format, va_list args) {
  const std::string line = Format(format, args);
  ITracerCollectSink* sink;
  {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->collect_lines.push_back(line);
    sink = state_->sink;
  }
  if (sink != nullptr) sink->OnCollectLog(line.c_str());
}

CVZBinaryData* FakeTracer::GetCrashReport() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  if (!state_->has_report) return nullptr;
  state_->has_report = false;
  return new CountedReport(state_->pending_report, &state_->released);
}

ITracerCollectSink* FakeTracer::SetCollectSink(ITracerCollectSink* sink) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->sink = sink;
  state_->sink_history.push_back(sink);
  return sink;
}

std::vector<std::string> FakeTracer::log_lines() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->log_lines;
}

std::vector<std::string> FakeTracer::collect_lines() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->collect_lines;
}

bool FakeTracer::Logged(std::string_view text) const {
  for (const std::string& line : log_lines()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

bool FakeTracer::WaitForLog(std::string_view text, int timeout_ms) const {
  std::unique_lock<std::mutex> hold(state_->mutex);
  return state_->logged.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&] {
    for (const std::string& line : state_->log_lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  });
}

void FakeTracer::SetPendingReport(const std::string& bytes) {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->pending_report = bytes;
  state_->has_report = true;
}

int FakeTracer::reports_released() const { return state_->released.load(); }

std::vector<ITracerCollectSink*> FakeTracer::sink_history() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->sink_history;
}
