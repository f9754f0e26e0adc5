#pragma once
// The RTCP channel of a session, an engine object: sends picture-loss
// indications, the engine's application feedback (PSFB format 15 with 12 or
// 16 bytes), SDES CNAME and BYE through the engine's transport, and hands
// received feedback to the engine. Created by CreateRtcpChannel with the
// engine's sink; the creator holds the first reference.
//
// Results: VSE_S_OK; VSE_E_POINTER when there is no sink or transport;
// VSE_E_FAIL for an application feedback of another size; -1 (as a
// VseResult) for a packet that cannot be built.
//
// Threads: sends run on the caller's thread; Input on the transport's
// receive thread; the sink is called on the thread that called Input.
#include <cstdint>
#include <string>

#include "video/engine/core/engine_object.h"

namespace vz::rtcp {

// The FCI words of the application feedback, in host order.
struct Feedback12 {
  uint32_t words[3];
};
struct Feedback16 {
  uint32_t words[4];
};

}  // namespace vz::rtcp

// What the channel needs of the engine.
class IRtcpChannelSink {
 public:
  virtual ~IRtcpChannelSink() = default;
  // Gives RTCP bytes to the media transport; false when there is none.
  virtual bool SendRtcp(const uint8_t* data, int length) = 0;
  virtual void OnKeyFrameRequest(uint32_t media_ssrc) = 0;
  virtual void OnFeedback12(uint32_t media_ssrc, const vz::rtcp::Feedback12& feedback) = 0;
  virtual void OnFeedback16(uint32_t media_ssrc, const vz::rtcp::Feedback16& feedback) = 0;
};

inline constexpr VseGuid IID_IVseRtcpChannel = {0x5C1B7A20, 0x3E61, 0x4F0D, {0x9A, 0x47, 0x1D, 0x62, 0xB8, 0x0C, 0x55, 0x3E}};
inline constexpr VseGuid IID_IRtcpPacketHandler = {0x8D2E4F13, 0x71A9, 0x4C52, {0xB0, 0x3A, 0x6E, 0x19, 0xD4, 0x27, 0x80, 0xC1}};

class IVseRtcpChannel : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVseRtcpChannel;
  // Walks a received compound packet and handles each packet; the result of
  // the last packet handled, or the walk's error (-2 zero length, -3 a
  // length past the data).
  virtual VseResult Input(const uint8_t* data, int length, uint32_t arrival) = 0;
  virtual VseResult SendPli(uint32_t sender_ssrc, uint32_t media_ssrc) = 0;
  virtual VseResult SendFeedback16(uint32_t sender_ssrc, uint32_t media_ssrc,
                                   const vz::rtcp::Feedback16& fci) = 0;
  virtual VseResult SendFeedback12(uint32_t sender_ssrc, uint32_t media_ssrc,
                                   const vz::rtcp::Feedback12& fci) = 0;
  // One CNAME chunk "user_name=<name>@ssrc_id=<ssrc>:media_type=VIDEO_CAMERA",
  // cut to 255 bytes at a UTF-8 character boundary.
  virtual VseResult SendSdes(uint32_t ssrc, const std::string& user_name) = 0;
  virtual VseResult SendBye(uint32_t ssrc) = 0;
};

class IRtcpPacketHandler {
 public:
  static constexpr VseGuid kIid = IID_IRtcpPacketHandler;
  virtual ~IRtcpPacketHandler() = default;
  // Handles one packet of a compound.
  virtual VseResult HandlePacket(const uint8_t* packet, int size) = 0;
};

class CRtcpChannel final : public TEngineObject<IVseRtcpChannel, IRtcpPacketHandler> {
 public:
  static constexpr int kSendBufferBytes = 2048;
  static constexpr int kSmallSendBufferBytes = 1024;  // SDES and BYE
  static constexpr int kMaxParsed = 16;

  explicit CRtcpChannel(IRtcpChannelSink* sink) : sink_(sink) {}

  VseResult Input(const uint8_t* data, int length, uint32_t arrival) override;
  VseResult SendPli(uint32_t sender_ssrc, uint32_t media_ssrc) override;
  VseResult SendFeedback16(uint32_t sender_ssrc, uint32_t media_ssrc,
                           const vz::rtcp::Feedback16& fci) override;
  VseResult SendFeedback12(uint32_t sender_ssrc, uint32_t media_ssrc,
                           const vz::rtcp::Feedback12& fci) override;
  VseResult SendSdes(uint32_t ssrc, const std::string& user_name) override;
  VseResult SendBye(uint32_t ssrc) override;
  VseResult HandlePacket(const uint8_t* packet, int size) override;

  uint32_t last_arrival_for_testing() const { return last_arrival_; }
  // What the last BYE received said.
  uint32_t last_bye_ssrc_for_testing() const { return last_bye_ssrc_; }

 private:
  ~CRtcpChannel() override = default;
  VseResult Send(const uint8_t* data, int length);

  IRtcpChannelSink* sink_;
  uint32_t last_arrival_ = 0;
  std::string last_cname_;
  uint32_t last_bye_ssrc_ = 0;
};

// VSE_E_INVALIDARG for a null out or sink; else a new channel with one
// reference in *out.
VseResult CreateRtcpChannel(IRtcpChannelSink* sink, IVseRtcpChannel** out);

namespace vz::rtcp {
// The CNAME text, cut to at most 255 bytes without splitting a character.
std::string MakeCname(uint32_t ssrc, const std::string& user_name);
}  // namespace vz::rtcp
