#pragma once
// What a listen channel needs of its decoder and of its stream monitor, so
// the channel can run over the H.264 SVC decoder wrapper and the RTP receive
// monitor, or over fakes in tests.
//
// Decoder: made through one replaceable maker (none at start: a channel then
// fails to initialise with VSE_E_OUTOFMEMORY). The decoder calls its sink on
// the thread that called DecodeFrame; OnDecoded does not take over the
// sample's reference.
#include <cstdint>

#include "video/engine/core/engine_result.h"
#include "video/engine/core/video_interfaces.h"
#include "video/engine/rtp/rtcp_channel.h"

class IListenDecoderSink {
 public:
  // A decoded picture; its format's time stamp is the frame's key (ms).
  virtual void OnDecoded(IVideoSample* sample) = 0;
  // 0 when the renderer draws pictures itself, else 1.
  virtual int32_t IsRenderReady() = 0;
  virtual void RequestKeyFrame() = 0;
  virtual void RequestRefresh(const vz::rtcp::Feedback16& value) = 0;
  virtual void ReportDecoderEvent(const vz::rtcp::Feedback12& value) = 0;

 protected:
  virtual ~IListenDecoderSink() = default;
};

class IListenDecoder {
 public:
  virtual ~IListenDecoder() = default;
  // 0, or a failure code (the channel then fails to initialise).
  virtual int32_t Init(int32_t render_video_type, int32_t decoder_mode) = 0;
  virtual void Uninit() = 0;
  // One whole access unit (NAL units behind start codes).
  virtual int32_t DecodeFrame(uint32_t time_stamp_ms, const uint8_t* data, int32_t length) = 0;
  virtual int32_t SetLossRecovery(int32_t value) = 0;
};

using ListenDecoderMaker = IListenDecoder* (*)(IListenDecoderSink* sink, IVideoSampleAllocator* allocator);

// Installs the maker (null: none) and returns the previous one. Set it
// before channels initialise.
ListenDecoderMaker SetListenDecoderMaker(ListenDecoderMaker maker);
ListenDecoderMaker GetListenDecoderMaker();

// Receive figures a stream monitor reports to its channel: kind 1 counter
// jitter, 2 delay variation (ms), 3 loss (per mille).
class IListenParameterSink {
 public:
  virtual void SetReceiveParameter(int32_t kind, int32_t value) = 0;

 protected:
  virtual ~IListenParameterSink() = default;
};

// The per-stream monitor as the channel uses it. Called on the transport's
// receive thread.
class IListenRtpMonitor {
 public:
  virtual int32_t InputReceivedRtpData(const uint8_t* data, int32_t length, uint32_t receive_ms) = 0;
  virtual int32_t InterarrivalJitterMs() = 0;
  virtual void SetParameterSink(IListenParameterSink* sink) = 0;

 protected:
  virtual ~IListenRtpMonitor() = default;
};
