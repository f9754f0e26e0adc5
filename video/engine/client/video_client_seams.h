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
#include "video/engine/session/vz_video_session.h"

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

// Makers of the session and the engine; null members make nothing. The
// built-in table makes the real session (over the transport library) and,
// once the engine exists, the engine.
struct VideoClientFactories {
  IVZVideoSession* (*make_session)(IVZVideoSessionSink* sink);
  IClientVideoEngine* (*make_engine)();
};

// Installs a table (kept by the caller while installed) and returns the one
// it replaces; null restores the built-in one. Any thread.
const VideoClientFactories* SetVideoClientFactories(const VideoClientFactories* table);
const VideoClientFactories& CurrentVideoClientFactories();
