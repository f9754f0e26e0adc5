#pragma once
// Callbacks through which the engine's components report to the conference
// client. They arrive on engine threads; none is reference-counted, and
// every operation returns 0 when handled.
#include <cstdint>

#include "video/engine/core/video_format.h"

class IVideoPacketTransport {
 public:
  // Kinds of SendRtpPacket.
  static constexpr int32_t kMediaPacket = 100;
  static constexpr int32_t kFecPacket110 = 101;
  static constexpr int32_t kFecPacket111 = 102;
  static constexpr int32_t kParameterSetPacket = 7;  // payload starts with a NAL unit of type 7

  virtual int32_t SendRtpPacket(int32_t kind, const uint8_t* data, int32_t length) = 0;
  virtual int32_t SendRtcpPacket(const uint8_t* data, int32_t length, int32_t kind) = 0;

 protected:
  virtual ~IVideoPacketTransport() = default;
};

class IVideoListenChannelSink {
 public:
  virtual int32_t OnKeyFrameLost(uint32_t ssrc) = 0;
  virtual int32_t OnRenderBlocked(uint32_t ssrc, int32_t blocked) = 0;
  virtual int32_t OnListenParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) = 0;

 protected:
  virtual ~IVideoListenChannelSink() = default;
};

class IVideoSourceChannelSink {
 public:
  virtual int32_t OnKeyFrameRequested(uint32_t ssrc) = 0;
  virtual int32_t OnSourceParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) = 0;
  virtual int32_t OnSendRate(int32_t kbps) = 0;
  virtual int32_t OnNotifySourceBitrateInfo(int32_t minimum, int32_t maximum) = 0;  // bytes per second

 protected:
  virtual ~IVideoSourceChannelSink() = default;
};

class IVideoEncodeControllerSink {
 public:
  virtual int32_t OnCaptureParameterChanged(const VideoFormat& format) = 0;
  virtual int32_t OnProbingDeltaBitrate(int32_t source_id, int32_t delta_kbps) = 0;

 protected:
  virtual ~IVideoEncodeControllerSink() = default;
};
