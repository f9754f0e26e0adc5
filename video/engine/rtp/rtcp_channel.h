#pragma once
// The RTCP channel of a session: sends picture-loss indications, the
// engine's application feedback (PSFB format 15 with 12 or 16 bytes), SDES
// CNAME and BYE through the engine's transport, and hands received
// feedback to the engine.
//
// Results: 0, kRtcpResultFail (an application feedback of another size),
// kRtcpResultPointer (no sink or no transport), -1 for a packet that cannot
// be built.
//
// Threads: sends run on the caller's thread; Input on the transport's
// receive thread; the sink is called on the thread that called Input.
#include <cstdint>
#include <string>

namespace vz::rtcp {

constexpr int32_t kRtcpResultOk = 0;
constexpr int32_t kRtcpResultFail = static_cast<int32_t>(0x80000001u);
constexpr int32_t kRtcpResultPointer = static_cast<int32_t>(0x80000006u);

// The FCI words of the application feedback, in host order.
struct Feedback12 {
  uint32_t words[3];
};
struct Feedback16 {
  uint32_t words[4];
};

class IRtcpChannelSink {
 public:
  virtual ~IRtcpChannelSink() = default;
  // Gives RTCP bytes to the media transport; false when there is none.
  virtual bool SendRtcp(const uint8_t* data, int length) = 0;
  virtual void OnKeyFrameRequest(uint32_t media_ssrc) = 0;
  virtual void OnFeedback12(uint32_t media_ssrc, const Feedback12& feedback) = 0;
  virtual void OnFeedback16(uint32_t media_ssrc, const Feedback16& feedback) = 0;
};

class CRtcpChannel {
 public:
  static constexpr int kSendBufferBytes = 2048;
  static constexpr int kSmallSendBufferBytes = 1024;  // SDES and BYE
  static constexpr int kMaxParsed = 16;

  explicit CRtcpChannel(IRtcpChannelSink* sink) : sink_(sink) {}

  int32_t SendPli(uint32_t sender_ssrc, uint32_t media_ssrc);
  int32_t SendFeedback12(uint32_t sender_ssrc, uint32_t media_ssrc, const Feedback12& fci);
  int32_t SendFeedback16(uint32_t sender_ssrc, uint32_t media_ssrc, const Feedback16& fci);
  // One CNAME chunk "user_name=<name>@ssrc_id=<ssrc>:media_type=VIDEO_CAMERA",
  // cut to 255 bytes at a UTF-8 character boundary.
  int32_t SendSdes(uint32_t ssrc, const std::string& user_name);
  int32_t SendBye(uint32_t ssrc);

  // Walks a received compound packet and handles each packet; returns the
  // result of the last packet handled, or the walk's error.
  int32_t Input(const uint8_t* data, int length, uint32_t arrival);

  uint32_t last_arrival() const { return last_arrival_; }
  // What the last SDES and BYE received said (for the engine's roster use).
  const std::string& last_cname() const { return last_cname_; }
  uint32_t last_bye_ssrc() const { return last_bye_ssrc_; }

  // Handles one packet of a compound.
  int32_t HandlePacket(const uint8_t* packet, int size);

 private:
  int32_t Send(const uint8_t* data, int length);

  IRtcpChannelSink* sink_;
  uint32_t last_arrival_ = 0;
  std::string last_cname_;
  uint32_t last_bye_ssrc_ = 0;
};

// The CNAME text, cut to at most 255 bytes without splitting a character.
std::string MakeCname(uint32_t ssrc, const std::string& user_name);

}  // namespace vz::rtcp
