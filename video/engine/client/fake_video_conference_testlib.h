#pragma once
// Stand-ins of the video session and the media engine for the client's
// tests: the session records every request and lets the test play the
// server (joins, rosters, subscriptions, leaves); the engine records the
// channels it makes and what reaches them.
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "contracts/session_records.h"
#include "video/engine/client/video_client_seams.h"
#include "platform/big_endian.h"

class FakeVideoSession : public IVZVideoSession {
 public:
  struct Request {
    std::string kind;  // "start", "stop", "size", "subscribe", "unsubscribe", "spotlight", "unspotlight"
    int32_t value = 0;
    std::vector<VideoSubscribeEntry> list;
  };

  explicit FakeVideoSession(IVZVideoSessionSink* sink) : sink_(sink) { live = this; }
  ~FakeVideoSession() override {
    LeaveSession();
    if (live == this) live = nullptr;
  }

  int32_t JoinSession(const AVSessionConfig*, const NetworkProxyEntry*, IMediaTransportFilter* f) override {
    filter = f;
    ++joins;
    return join_result;
  }
  int32_t LeaveSession() override {
    ++leaves;
    sink_->OnSessionLeave(0, 0);
    return 1;
  }
  int32_t SendRtp(const uint8_t* data, uint32_t len) override {
    std::lock_guard<std::mutex> hold(lock);
    rtp.emplace_back(data, data + len);
    return 1;
  }
  int32_t SendRtcp(const uint8_t*, uint32_t) override { return ++rtcp; }
  int32_t StartBroadcastRequest(int32_t size) override { return Add({"start", size, {}}); }
  int32_t StopBroadcastRequest() override { return Add({"stop", 0, {}}); }
  int32_t UpdateVideoSizeRequest(int32_t size) override { return Add({"size", size, {}}); }
  int32_t SubscribeVideoRequest(const VideoSubscribeList& list) override {
    return Add({"subscribe", 0, list});
  }
  int32_t UnsubscribeVideoRequest(const VideoSubscribeList& list) override {
    return Add({"unsubscribe", 0, list});
  }
  int32_t SetSpotlightRequest(const std::string& id) override { return Add({"spotlight", 0, {{id, 0}}}); }
  int32_t UnsetSpotlightRequest() override { return Add({"unspotlight", 0, {}}); }

  int32_t Add(Request r) {
    std::lock_guard<std::mutex> hold(lock);
    requests.push_back(std::move(r));
    return 1;
  }
  std::vector<Request> Take() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<Request> out;
    out.swap(requests);
    return out;
  }
  IVZVideoSessionSink* sink() { return sink_; }

  static inline FakeVideoSession* live = nullptr;
  static inline int32_t join_result = 1;
  std::mutex lock;
  std::vector<Request> requests;
  std::vector<std::vector<uint8_t>> rtp;
  int rtcp = 0;
  int joins = 0;
  int leaves = 0;
  IMediaTransportFilter* filter = nullptr;

 private:
  IVZVideoSessionSink* sink_;
};

class FakeListenChannel : public IClientListenChannel {
 public:
  explicit FakeListenChannel(uint32_t s) : ssrc(s) {}
  VseResult SetSSRC(uint32_t s) override {
    ssrc = s;
    return VSE_S_OK;
  }
  VseResult SetAspectRatio(int32_t x, int32_t y) override {
    aspect_x = x;
    aspect_y = y;
    return VSE_S_OK;
  }
  VseResult SetEventSink(IVideoListenChannelSink* s) override {
    sink = s;
    return VSE_S_OK;
  }
  VseResult InputPacket(const uint8_t*, int32_t len, uint32_t, int32_t) override {
    ++packets;
    bytes += len;
    return VSE_S_OK;
  }
  VseResult AppendVideoDeliverer(IVideoDeliverer* d) override {
    deliverers.push_back(d);
    return VSE_S_OK;
  }
  VseResult RemoveVideoDeliverer(IVideoDeliverer* d) override {
    for (auto it = deliverers.begin(); it != deliverers.end(); ++it) {
      if (*it == d) {
        deliverers.erase(it);
        return VSE_S_OK;
      }
    }
    return VSE_E_FAIL;
  }
  ~FakeListenChannel() override = default;

  uint32_t ssrc;
  int32_t aspect_x = 0, aspect_y = 0;
  IVideoListenChannelSink* sink = nullptr;
  std::atomic<int> packets{0};
  std::atomic<int> bytes{0};
  std::vector<IVideoDeliverer*> deliverers;
};

class FakeSourceChannel : public IClientSourceChannel, public TEngineObject<IVideoDeliverer> {
 public:
  explicit FakeSourceChannel(uint32_t id) : client_id(id) { AddRef(); }
  void Destroy() { Release(); }
  uint32_t ClientId() override { return client_id; }
  IVideoDeliverer* Deliverer() override { return this; }
  VseResult DeliverSample(IVideoSample*) override {
    ++samples;
    return VSE_S_OK;
  }
  int32_t ConfigureOutputs(int32_t count, const OutputRecord* o) override {
    outputs.assign(o, o + count);
    return 0;
  }
  VseResult SetFecSwitch(bool on) override {
    fec = on;
    return VSE_S_OK;
  }
  void SetPacketTransport(IVideoPacketTransport* t) override { transport = t; }
  VseResult SetSink(IVideoSourceChannelSink* s) override {
    sink = s;
    return VSE_S_OK;
  }
  VseResult SetEncodeController(IVideoEncodeController* c) override {
    controller = c;
    return VSE_S_OK;
  }
  VseResult StartSend() override {
    sending = true;
    ++starts;
    return VSE_S_OK;
  }
  VseResult StopSend() override {
    sending = false;
    ++stops;
    return VSE_S_OK;
  }
  VseResult SetEncodeParam(const EncodeParams*) override {
    ++encode_params;
    return VSE_S_OK;
  }
  VseResult UpdateUpLinkNetStat(const UplinkStat* s) override {
    std::lock_guard<std::mutex> hold(lock);
    uplinks.push_back(*s);
    return VSE_S_OK;
  }
  int32_t FecLevel() override { return 0; }
  VseResult GetStatus(int32_t* dropped, bool) override {
    *dropped = 0;
    return VSE_S_OK;
  }
  VseResult SetSourceInfo(const SourceInfo*) override { return VSE_S_OK; }

  uint32_t client_id;
  std::vector<OutputRecord> outputs;
  bool fec = true;
  IVideoPacketTransport* transport = nullptr;
  IVideoSourceChannelSink* sink = nullptr;
  IVideoEncodeController* controller = nullptr;
  std::atomic<bool> sending{false};
  int starts = 0, stops = 0, encode_params = 0;
  std::atomic<int> samples{0};
  std::mutex lock;
  std::vector<UplinkStat> uplinks;

 private:
  ~FakeSourceChannel() override = default;
};

class FakeVideoEngine : public IClientVideoEngine {
 public:
  FakeVideoEngine() { live = this; }
  ~FakeVideoEngine() override {
    for (auto& [ssrc, channel] : listen) delete channel;
    for (auto& [ssrc, channel] : sources) channel->Destroy();
    if (live == this) live = nullptr;
  }
  VseResult SetTransportSink(IVideoPacketTransport* s) override {
    transport = s;
    return VSE_S_OK;
  }
  VseResult InputRtcpPacket(const uint8_t*, int32_t, uint32_t) override {
    ++rtcp_in;
    return VSE_S_OK;
  }
  VseResult CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t render_type, int32_t decoder_mode,
                                     IVideoSampleAllocator* allocator, IClientListenChannel** out) override {
    if (allocator == nullptr || lctm != 1 || render_type != 7 || decoder_mode != 1) return VSE_E_INVALIDARG;
    auto*& channel = listen[ssrc];
    if (channel == nullptr) channel = new FakeListenChannel(ssrc);
    *out = channel;
    return VSE_S_OK;
  }
  VseResult DestroyVideoListenChannel(uint32_t ssrc) override {
    auto found = listen.find(ssrc);
    if (found == listen.end()) return VSE_S_OK;
    delete found->second;
    listen.erase(found);
    ++listen_destroyed;
    return VSE_S_OK;
  }
  VseResult CreateVideoSourceChannel(uint32_t ssrc, int32_t, IVideoPacketTransport*, IVideoSampleAllocator*,
                                     IClientSourceChannel** out) override {
    if (fail_source) return VSE_E_FAIL;
    auto* channel = new FakeSourceChannel(ssrc);
    sources[ssrc] = channel;
    *out = channel;
    return VSE_S_OK;
  }
  VseResult DestroyVideoSourceChannel(uint32_t ssrc) override {
    auto found = sources.find(ssrc);
    if (found == sources.end()) return VSE_E_FAIL;
    found->second->Destroy();
    sources.erase(found);
    ++sources_destroyed;
    return VSE_S_OK;
  }
  VseResult UpdateVideoSourceChannel(uint32_t new_ssrc, uint32_t old_ssrc) override {
    auto found = sources.find(old_ssrc);
    if (found == sources.end()) return VSE_S_OK;
    FakeSourceChannel* channel = found->second;
    sources.erase(found);
    channel->client_id = new_ssrc;
    sources[new_ssrc] = channel;
    return VSE_S_OK;
  }
  FakeSourceChannel* source() { return sources.empty() ? nullptr : sources.begin()->second; }
  FakeListenChannel* listen_of(uint32_t ssrc) {
    auto found = listen.find(ssrc);
    return found == listen.end() ? nullptr : found->second;
  }

  static inline FakeVideoEngine* live = nullptr;
  static inline bool fail_source = false;
  IVideoPacketTransport* transport = nullptr;
  std::map<uint32_t, FakeListenChannel*> listen;
  std::map<uint32_t, FakeSourceChannel*> sources;
  int rtcp_in = 0;
  int listen_destroyed = 0;
  int sources_destroyed = 0;
};

// Installs the fakes as the client's session and engine while alive.
class ScopedFakeConference {
 public:
  ScopedFakeConference() {
    FakeVideoSession::join_result = 1;
    FakeVideoEngine::fail_source = false;
    previous_ = SetVideoClientFactories(&kTable);
  }
  ~ScopedFakeConference() { SetVideoClientFactories(previous_); }

 private:
  static IVZVideoSession* MakeSession(IVZVideoSessionSink* sink) { return new FakeVideoSession(sink); }
  static IClientVideoEngine* MakeEngine() { return new FakeVideoEngine(); }
  static constexpr VideoClientFactories kTable = {&MakeSession, &MakeEngine};
  const VideoClientFactories* previous_;
};

inline RosterRecord MakeRoster(const char* id) {
  RosterRecord record{};
  for (size_t i = 0; id[i] != 0 && i + 1 < sizeof(record.RosterId) / sizeof(char16_t); ++i) {
    record.RosterId[i] = static_cast<char16_t>(id[i]);
  }
  return record;
}

inline AVSessionConfig MakeJoin(const char* my_id, int32_t broadcast = 0, int32_t quality = 1) {
  AVSessionConfig config{};
  for (size_t i = 0; my_id[i] != 0; ++i) config.RosterId[i] = static_cast<char16_t>(my_id[i]);
  const char16_t meet[] = u"meet-1";
  std::memcpy(config.MeetId, meet, sizeof(meet));
  config.Broadcast = broadcast;
  config.VideoQuality = quality;
  return config;
}

// An RTP packet of `length` bytes from `ssrc`.
inline std::vector<uint8_t> MakeRtp(uint32_t ssrc, size_t length = 40) {
  std::vector<uint8_t> packet(length, 0);
  packet[0] = 0x80;
  packet[1] = 98;
  if (length >= 12) vz::Store32(packet.data() + 8, ssrc);
  return packet;
}
