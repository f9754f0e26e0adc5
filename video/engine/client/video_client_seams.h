#pragma once
// What the conference client needs of the video session and of the media
// engine, as small interfaces, and the replaceable table that makes them.
// The library installs the real session and engine; tests install fakes.
//
// Threads: the session's sink is called on transport threads; the engine's
// channels are called from the owner thread and from transport threads
// (incoming RTP). Every result is 0 for success unless said otherwise.
#include <cstdint>
#include <string>
#include <vector>

#include "video/engine/core/engine_callbacks.h"
#include "video/engine/core/video_interfaces.h"
#include "video/engine/send/vz_encode_controller.h"
#include "video/engine/send/vz_video_source_channel.h"

struct AVSessionConfig;
struct NetworkProxyEntry;
class IMediaTransportFilter;

// What the video server says of one participant.
struct ServerRoster {
  std::string rosterId;
  uint32_t status = 0;  // 1: sends video
  uint32_t spotlight = 0;
  uint32_t active = 0;
  uint32_t ssrc = 0;
};

// One entry of a subscribe or unsubscribe request.
struct VideoSubscribeEntry {
  std::string rosterId;
  int32_t wantedSize = -1;
};

// The session's callbacks; transport threads.
class IVZVideoSessionSink {
 public:
  virtual void OnSessionJoin(int32_t bResult, uint32_t ssrc) = 0;
  virtual void OnSessionLeave(int32_t code, int32_t codetype) = 0;
  virtual void OnReconnecting() = 0;
  virtual void OnReceiveRtpData(const uint8_t* data, int32_t len) = 0;
  virtual void OnReceiveRtcpData(const uint8_t* data, int32_t len) = 0;
  // rosterType 1 entered, 2 left, 3 updated.
  virtual void OnRosterChanged(int32_t rosterType, const ServerRoster* rosters, int32_t count) = 0;
  virtual void OnStartBroadcastNotify(const std::string& rosterId) = 0;
  virtual void OnStopBroadcastNotify(const std::string& rosterId) = 0;
  virtual void OnVideoSubscribedNotify(const std::string& rosterId, int32_t sizeType) = 0;
  virtual void OnVideoUnsubscribedNotify(const std::string& rosterId, int32_t sizeType) = 0;
  virtual void OnSetSpotlightNotify(const std::string& rosterId) = 0;
  virtual void OnUnsetSpotlightNotify() = 0;
  virtual void OnActiveSpeakerNotify(const std::string& rosterId) = 0;

 protected:
  virtual ~IVZVideoSessionSink() = default;
};

// The conference's one connection to the media transport. Deleting it
// leaves (the sink hears OnSessionLeave(0, 0) during the delete).
class IVZVideoSession {
 public:
  virtual ~IVZVideoSession() = default;
  // 1 when the join started (the outcome arrives as OnSessionJoin or
  // OnSessionLeave), 0 when it could not start.
  virtual int32_t JoinSession(const AVSessionConfig* cfg, const NetworkProxyEntry* proxy,
                              IMediaTransportFilter* filter) = 0;
  // Leaves; the sink hears OnSessionLeave(0, 0) before this returns.
  virtual int32_t LeaveSession() = 0;
  virtual int32_t SendRtp(const uint8_t* data, int32_t len) = 0;
  virtual int32_t SendRtcp(const uint8_t* data, int32_t len) = 0;
  virtual int32_t StartBroadcastRequest(int32_t sizeType) = 0;
  virtual int32_t StopBroadcastRequest() = 0;
  virtual int32_t UpdateVideoSizeRequest(int32_t sizeType) = 0;
  virtual int32_t SubscribeVideoRequest(const std::vector<VideoSubscribeEntry>& list) = 0;
  virtual int32_t UnsubscribeVideoRequest(const std::vector<VideoSubscribeEntry>& list) = 0;
  virtual int32_t SetSpotlightRequest(const std::string& rosterId) = 0;
  virtual int32_t UnsetSpotlightRequest() = 0;
};

// One participant's receive path, as the client drives it.
class IClientListenChannel {
 public:
  virtual VseResult SetSSRC(uint32_t ssrc) = 0;
  virtual VseResult SetAspectRatio(int32_t x, int32_t y) = 0;
  virtual VseResult SetEventSink(IVideoListenChannelSink* sink) = 0;
  virtual VseResult InputPacket(const uint8_t* data, int32_t len, uint32_t receive_ms, int32_t flags) = 0;
  virtual VseResult AppendVideoDeliverer(IVideoDeliverer* deliverer) = 0;
  virtual VseResult RemoveVideoDeliverer(IVideoDeliverer* deliverer) = 0;

 protected:
  virtual ~IClientListenChannel() = default;
};

// My send channel, as the client drives it. It receives my camera's
// pictures as a deliverer.
class IClientSourceChannel {
 public:
  virtual uint32_t ClientId() = 0;
  virtual IVideoDeliverer* Deliverer() = 0;
  virtual int32_t ConfigureOutputs(int32_t count, const OutputRecord* outputs) = 0;
  virtual VseResult SetFecSwitch(bool on) = 0;
  virtual void SetPacketTransport(IVideoPacketTransport* transport) = 0;
  virtual VseResult SetSink(IVideoSourceChannelSink* sink) = 0;
  virtual VseResult SetEncodeController(IVideoEncodeController* controller) = 0;
  virtual VseResult StartSend() = 0;
  virtual VseResult StopSend() = 0;
  virtual VseResult SetEncodeParam(const EncodeParams* params) = 0;
  virtual VseResult UpdateUpLinkNetStat(const UplinkStat* stat) = 0;
  virtual int32_t FecLevel() = 0;
  virtual VseResult GetStatus(int32_t* dropped, bool clear) = 0;
  virtual VseResult SetSourceInfo(const SourceInfo* info) = 0;

 protected:
  virtual ~IClientSourceChannel() = default;
};

// The media engine of one session. Channels it makes stay its own: they
// live until their destroy call or the engine's deletion.
class IClientVideoEngine {
 public:
  virtual ~IClientVideoEngine() = default;
  virtual VseResult SetTransportSink(IVideoPacketTransport* sink) = 0;
  virtual VseResult InputRtcpPacket(const uint8_t* data, int32_t len, uint32_t receive_ms) = 0;
  virtual VseResult CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t renderVideoType,
                                             int32_t decoderMode, IVideoSampleAllocator* allocator,
                                             IClientListenChannel** out) = 0;
  virtual VseResult DestroyVideoListenChannel(uint32_t ssrc) = 0;
  virtual VseResult CreateVideoSourceChannel(uint32_t ssrc, int32_t codecType, IVideoPacketTransport* transport,
                                             IVideoSampleAllocator* allocator, IClientSourceChannel** out) = 0;
  virtual VseResult DestroyVideoSourceChannel(uint32_t ssrc) = 0;
  virtual VseResult UpdateVideoSourceChannel(uint32_t newSsrc, uint32_t oldSsrc) = 0;
};

// Makers of the session and the engine; null members make nothing.
struct VideoClientFactories {
  IVZVideoSession* (*make_session)(IVZVideoSessionSink* sink);
  IClientVideoEngine* (*make_engine)();
};

// Installs a table (kept by the caller while installed) and returns the one
// it replaces; null restores the built-in one. Any thread.
const VideoClientFactories* SetVideoClientFactories(const VideoClientFactories* table);
const VideoClientFactories& CurrentVideoClientFactories();
