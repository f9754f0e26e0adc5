#pragma once
// Test support of the web link: a sink that records every call with the
// bytes of its record, the run loop pumped until a condition holds, and the
// expected bytes of a record written as "@offset value" lines.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "contracts/vz_link_instance.h"

struct SinkCall {
  std::string operation;         // "OnDSSessionRequestStart"
  std::vector<int32_t> numbers;  // the number arguments, in order (the layout's row and column last)
  bool has_record = false;       // a record or text pointer was passed
  std::vector<uint8_t> record;   // its bytes (a session id text: all 512)
};

// Records on the thread it was made on; every call ends a run loop's Run so
// that PumpUntil can look again.
class RecordingLinkSink final : public IVzLinkInstanceSink {
 public:
  RecordingLinkSink();

  const std::vector<SinkCall>& calls() const { return calls_; }
  // Operation names only, in order.
  std::vector<std::string> operations() const;
  void Clear() { calls_.clear(); }
  // True when some call came on another thread than the sink's own.
  bool called_off_thread() const { return called_off_thread_; }
  // Runs inside OnAppSocketListener, after recording.
  std::function<void(int32_t status)> on_listener;

  int32_t OnPluginWindowEvent(int32_t type, WindowEventRecord* record) override;
  int32_t OnPluginMouseEvent(MouseEventRecord* record) override;
  int32_t OnAppSocketListener(int32_t status, int32_t code) override;
  int32_t OnAppRequestConfigProxy(int32_t unused) override;
  int32_t OnAppCmdUserJoined(RosterRecord* roster) override;
  int32_t OnAppCmdUserLeft(RosterRecord* roster) override;
  int32_t OnAppCmdUserUpdated(RosterRecord* roster) override;
  int32_t OnAppCmdMeetConfig(MeetConfig* config) override;
  int32_t OnDSSessionRequestStart(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestWebJoin(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestUpdate(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestStop(const char16_t* session_id) override;
  int32_t OnDSSessionRequestQuickStart(DSSessionConfig* session) override;
  int32_t OnDSDataCommand(CVZBinaryData* data) override;
  int32_t OnACSessionRequestJoin(ACSessionConfig* session) override;
  int32_t OnACSessionRequestUpdate(ACSessionConfig* session) override;
  int32_t OnACSessionRequestLeave(const char16_t* conf_id) override;
  int32_t OnACSessionRequestConfig(int32_t unused) override;
  int32_t OnACSessionRequestMute(int32_t unused) override;
  int32_t OnACSessionRequestUnmute(int32_t unused) override;
  int32_t OnAppAudioStatusJoined(int32_t muted) override;
  int32_t OnAppAudioStatusLeft() override;
  int32_t OnAppAudioStatusMuted() override;
  int32_t OnAppAudioStatusUnmuted() override;
  int32_t OnAVSessionRequestJoin(AVSessionConfig* session) override;
  int32_t OnAVSessionRequestUpdate(AVSessionConfig* session) override;
  int32_t OnAVSessionRequestLeave(const char16_t* conf_id) override;
  int32_t OnAVSessionRequestConfig(int32_t unused) override;
  int32_t OnAVSessionRequestLayout(int32_t unused, int32_t layout, int32_t* row_column) override;
  int32_t OnAVSessionRequestCameraOn(int32_t unused) override;
  int32_t OnAVSessionRequestCameraOff(int32_t unused) override;

 private:
  SinkCall& Record(const char* operation, std::vector<int32_t> numbers, const void* record, size_t size);

  std::thread::id thread_;
  bool called_off_thread_ = false;
  std::vector<SinkCall> calls_;
};

// Runs the calling thread's run loop until `done` holds or `timeout_ms`
// passed; returns done(). `done` is looked at whenever a sink call ended a
// Run (see RecordingLinkSink).
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// Expected record bytes: zeros, except for the "@offset value" lines, where
// a value is "text" (UTF-16LE, no NUL), 'text' (the bytes as written) or a
// number (a 32-bit little-endian value; 0x for hex, negatives allowed).
// False, with `error` set, on a line it cannot read.
bool ParseGoldenBytes(const std::vector<std::string>& lines, size_t size, std::vector<uint8_t>* bytes,
                      std::string* error);
// The first difference of two byte strings, as "offset N: got X, want Y"; "" when equal.
std::string FirstByteDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want);

// A config naming the pipe and the meeting.
AppPeerConfig MakePeerConfig(std::u16string_view pipe_name, std::u16string_view meet_id);

class ITracerCollectSink;

// A log writer standing in for vztrace while it lives: it keeps every log
// and collect line, hands collect lines to the registered sink, and gives
// out one pending crash report, counting its release.
class FakeTracer {
 public:
  FakeTracer();
  ~FakeTracer();
  FakeTracer(const FakeTracer&) = delete;
  FakeTracer& operator=(const FakeTracer&) = delete;

  std::vector<std::string> log_lines() const;
  std::vector<std::string> collect_lines() const;
  // True when some log line contains `text`.
  bool Logged(std::string_view text) const;
  // Waits (on any thread's lines) until a log line contains `text`.
  bool WaitForLog(std::string_view text, int timeout_ms = 5000) const;
  // Ordinal 4 returns a report holding these bytes once (until set again).
  void SetPendingReport(const std::string& bytes);
  int reports_released() const;
  // Every sink that ordinal 5 was given, null included, in order.
  std::vector<ITracerCollectSink*> sink_history() const;

 private:
  struct State;
  static State* state_;
  static void LogA(const char* tag, const char* format, va_list args);
  static void CollectA(const char* tag, const char* format, va_list args);
  static CVZBinaryData* GetCrashReport();
  static ITracerCollectSink* SetCollectSink(ITracerCollectSink* sink);
};
