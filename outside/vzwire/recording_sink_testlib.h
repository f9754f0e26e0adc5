#pragma once
// Test support: a transport sink and filter that record every call, with
// waits that end as soon as the awaited call arrived (or a deadline passed),
// and a builder of the session records a transport joins with.
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/byte_stream.h"
#include "contracts/media_transport.h"

namespace vzwire_test {

struct SinkEvent {
  SinkEvent(std::string n, int64_t first = 0, int64_t second = 0, std::string data = std::string())
      : name(std::move(n)), a(first), b(second), bytes(std::move(data)) {}
  std::string name;  // "confirm", "leave", "reconnecting", "command", "rtp", "rtcp", "utf8", "binary", "backlog"
  int64_t a = 0;
  int64_t b = 0;
  std::string bytes;
  std::thread::id thread{};
};

class RecordingSink : public IMediaTransportSink, public IMediaTransportFilter {
 public:
  using IMediaTransportSink::OnReceiveDataBinary;
  using IMediaTransportSink::OnReceiveDataUtf8;

  void OnJoinSessionConfirm(uint32_t value) override {
    if (on_confirm) on_confirm();
    Add({"confirm", value});
  }
  void OnLeaveSessionConfirm(int32_t reason, int32_t arg) override { Add({"leave", reason, arg}); }
  void OnSessionReconnecting(int32_t reason, int32_t arg) override { Add({"reconnecting", reason, arg}); }
  void OnReceiveCommandData(CByteStream* stream) override { Add(StreamEvent("command", stream)); }
  void OnReceiveRtpData(CByteStream* stream) override { Add(StreamEvent("rtp", stream)); }
  void OnReceiveRtcpData(CByteStream* stream) override { Add(StreamEvent("rtcp", stream)); }
  void OnReceiveDataUtf8(const char* data, uint32_t size) override {
    Add({"utf8", size, 0, std::string(data, size)});
  }
  void OnReceiveDataBinary(const uint8_t* data, uint32_t size) override {
    // The hook first, so that a waiter for the event sees what it did.
    if (on_binary) on_binary(data, size);
    Add({"binary", size, 0, std::string(reinterpret_cast<const char*>(data), size)});
  }
  void OnSendBacklog(uint32_t value) override { Add({"backlog", value}); }

  int32_t Filter(int32_t, int32_t, int32_t* out, int32_t) override {
    if (out != nullptr) *out = 0;
    return 0;
  }
  void OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate, int32_t rtt,
                    int32_t totalbw) override {
    std::lock_guard<std::mutex> lock(mutex_);
    adjustments_.push_back({state, bandwidth, jitter, lossrate, rtt, totalbw, std::this_thread::get_id()});
    changed_.notify_all();
  }
  int32_t QueryValue(uint8_t, int32_t*) override { return 0; }
  int32_t NotifyFlag(int32_t) override { return 0; }
  uint8_t GetSessionType() override { return 3; }

  // Waits until `count` events named `name` arrived; false after the deadline.
  bool WaitFor(const std::string& name, size_t count = 1, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return CountLocked(name) >= count; });
  }
  struct Adjustment {
    uint8_t state;
    int32_t bandwidth, jitter;
    float lossrate;
    int32_t rtt, totalbw;
    std::thread::id thread;
  };
  // Waits until `done` holds for the events and adjustments so far.
  bool WaitUntil(const std::function<bool(const std::vector<SinkEvent>&, const std::vector<Adjustment>&)>& done,
                 int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return done(events_, adjustments_); });
  }
  std::vector<SinkEvent> Events(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<SinkEvent> found;
    for (const SinkEvent& event : events_) {
      if (event.name == name) found.push_back(event);
    }
    return found;
  }
  size_t Count(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    return CountLocked(name);
  }
  // Called on the transport's thread for each binary payload.
  std::function<void(const uint8_t*, uint32_t)> on_binary;
  // Called on the transport's thread for each join confirm, before it is recorded.
  std::function<void()> on_confirm;

 private:
  static SinkEvent StreamEvent(const char* name, CByteStream* stream) {
    return {name, stream->GetDataLength(), 0,
            std::string(reinterpret_cast<const char*>(stream->ReadPointer()), stream->GetDataLength())};
  }
  void Add(SinkEvent event) {
    event.thread = std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }
  size_t CountLocked(const std::string& name) const {
    size_t count = 0;
    for (const SinkEvent& event : events_) count += event.name == name ? 1 : 0;
    return count;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SinkEvent> events_;
  std::vector<Adjustment> adjustments_;
};

// A session record of the shared layout (7,904 bytes, room for either kind):
// wide texts and 32-bit integers at their fixed offsets.
class SessionRecord {
 public:
  SessionRecord() { std::memset(bytes_, 0, sizeof(bytes_)); }
  SessionRecord& ServerAddr(const std::string& v) { return Text(64, 256, v); }
  SessionRecord& Token(const std::string& v) { return Text(576, 128, v); }
  SessionRecord& RosterId(const std::string& v) { return Text(832, 128, v); }
  SessionRecord& MeetId(const std::string& v) { return Text(1088, 128, v); }
  SessionRecord& Port(int32_t v) { return Int(1344, v); }
  SessionRecord& TcpPort(int32_t v) { return Int(1348, v); }
  SessionRecord& DSId(const std::string& v) { return Text(1352, 128, v); }
  SessionRecord& ServerIp(const std::string& v) { return Text(1608, 128, v); }
  SessionRecord& IsPresenter(int32_t v) { return Int(7884, v); }
  SessionRecord& IsWebAttendee(int32_t v) { return Int(7888, v); }
  const void* Data() const { return bytes_; }

 private:
  // ASCII only, which is all the tests use.
  SessionRecord& Text(size_t offset, size_t chars, const std::string& v) {
    for (size_t i = 0; i < chars; ++i) {
      const char16_t unit = i < v.size() && i + 1 < chars ? static_cast<char16_t>(v[i]) : u'\0';
      std::memcpy(bytes_ + offset + i * 2, &unit, 2);
    }
    return *this;
  }
  SessionRecord& Int(size_t offset, int32_t v) {
    std::memcpy(bytes_ + offset, &v, 4);
    return *this;
  }
  alignas(4) uint8_t bytes_[7904];
};

}  // namespace vzwire_test

namespace vzwire_test {

// A sharing message (a command, type 110) that carries `filler` in a field
// no one reads, so a payload of any size and content passes the sharing
// server unchanged.
inline std::string SharingPayload(const std::string& filler) {
  std::string bytes = {'\xA0', '\x01', '\x6E'};  // field 20 (type), varint 110
  bytes += {'\xC2', '\x3E'};                      // field 1000, length-delimited
  size_t length = filler.size();
  do {
    const auto low = static_cast<char>(length & 0x7F);
    length >>= 7;
    bytes.push_back(length != 0 ? static_cast<char>(low | 0x80) : low);
  } while (length != 0);
  return bytes + filler;
}

}  // namespace vzwire_test

namespace vzwire_test {

// A video subscription as a client sends it, in its command record:
// `subscriber` wants `target`'s video at size type 2. The video server
// forwards a member's RTP only to those that subscribed to it. Names of at
// most 127 bytes.
inline std::string VideoSubscribeRecord(const std::string& subscriber, const std::string& target) {
  const std::string entry = std::string("\x52", 1) + static_cast<char>(target.size()) + target + "\xF0\x01\x02";
  return std::string("\x00\x07\xA0\x01\x0B\xE2\x03", 7) + static_cast<char>(subscriber.size()) + subscriber +
         "\xE2\x08" + static_cast<char>(entry.size()) + entry;
}

// Sends it through `wrapper` and waits until `target_sink` heard of it (the
// server then forwards `target`'s RTP to the subscriber).
template <typename Wrapper>
bool SubscribeVideo(Wrapper& wrapper, const std::string& subscriber, const std::string& target,
                    RecordingSink& target_sink) {
  const std::string record = VideoSubscribeRecord(subscriber, target);
  CByteStream stream(reinterpret_cast<const uint8_t*>(record.data()), static_cast<uint32_t>(record.size()), false);
  if (wrapper.SendCommandData(&stream) != 1) return false;
  // The server's notice: a subscribe (type 11) naming the subscriber.
  const std::string notice("\x00\x07\xA0\x01\x0B", 5);
  return target_sink.WaitUntil([&](const std::vector<SinkEvent>& events, const auto&) {
    for (const SinkEvent& event : events) {
      if (event.name == "command" && event.bytes.compare(0, 5, notice) == 0 &&
          event.bytes.find(subscriber) != std::string::npos) {
        return true;
      }
    }
    return false;
  });
}

}  // namespace vzwire_test
