#pragma once
// Test support for the video session: a sink that writes every call down as
// a line of text, a capture of the log lines, and hex helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "video/engine/session/vz_video_session_sink.h"

namespace video_session_test {

// Every call as one line, e.g. "subscribed bob 1" or "roster 1 [bob 1 0 1 4097]".
class RecordingSessionSink : public IVZVideoSessionSink {
 public:
  void OnSessionJoin(int32_t result, uint32_t ssrc) override { Add("join " + N(result) + " " + N(ssrc)); }
  void OnSessionLeave(int32_t code, int32_t codetype) override { Add("leave " + N(code) + " " + N(codetype)); }
  void OnReconnecting() override { Add("reconnecting"); }
  void OnReceiveRtpData(const uint8_t* data, uint32_t len) override { Add("rtp " + Hex(data, len)); }
  void OnReceiveRtcpData(const uint8_t* data, uint32_t len) override { Add("rtcp " + Hex(data, len)); }
  void OnRosterChanged(uint32_t type, const ServerRoster* rosters, uint32_t count) override {
    std::string line = "roster " + N(type);
    for (uint32_t i = 0; i < count; ++i) {
      const ServerRoster& r = rosters[i];
      line += " [" + r.rosterId + " " + N(r.status) + " " + N(r.spotlight) + " " + N(r.active) + " " +
              N(r.ssrc) + "]";
    }
    Add(line);
  }
  void OnStartBroadcastNotify(const std::string& id) override { Add("start " + id); }
  void OnStopBroadcastNotify(const std::string& id) override { Add("stop " + id); }
  void OnVideoSubscribedNotify(const std::string& id, int32_t size) override { Add("subscribed " + id + " " + N(size)); }
  void OnVideoUnsubscribedNotify(const std::string& id, int32_t size) override {
    Add("unsubscribed " + id + " " + N(size));
  }
  void OnSetSpotlightNotify(const std::string& id) override { Add("spotlight " + id); }
  void OnUnsetSpotlightNotify() override { Add("unspotlight"); }
  void OnActiveSpeakerNotify(const std::string& id) override { Add("speaker " + id); }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }
  // Calls that start with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    return StartingLocked(prefix);
  }
  // Waits until `count` calls starting with `prefix` arrived (from any
  // thread); false after the deadline.
  bool WaitFor(const std::string& prefix, size_t count = 1, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return StartingLocked(prefix).size() >= count; });
  }

  static std::string Hex(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
      if (i != 0) text += ' ';
      text += digits[data[i] >> 4];
      text += digits[data[i] & 15];
    }
    return text;
  }

 private:
  template <typename T>
  static std::string N(T value) {
    return std::to_string(value);
  }
  void Add(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(line));
    changed_.notify_all();
  }
  std::vector<std::string> StartingLocked(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls_) {
      if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    }
    return found;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
};

// "A0 01 07" -> those bytes.
inline std::string Bytes(const std::string& hex) {
  std::string bytes;
  unsigned value = 0;
  int digits = 0;
  for (char c : hex) {
    int nibble = -1;
    if (c >= '0' && c <= '9') nibble = c - '0';
    if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
    if (nibble < 0) continue;
    value = value << 4 | static_cast<unsigned>(nibble);
    if (++digits == 2) {
      bytes.push_back(static_cast<char>(value));
      value = 0;
      digits = 0;
    }
  }
  return bytes;
}

inline std::string Hex(const std::string& bytes) {
  return RecordingSessionSink::Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Log lines written while a test runs (any thread).
class LogCapture : public ::testing::Test {
 protected:
  void SetUp() override { capture_ = std::make_unique<vz::LogLineCapture>(); }
  void TearDown() override { capture_.reset(); }
  bool Logged(const std::string& text) const { return capture_->Count(text) > 0; }
  void ClearLog() { capture_->Clear(); }

 private:
  std::unique_ptr<vz::LogLineCapture> capture_;
};

}  // namespace video_session_test
