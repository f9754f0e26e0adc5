#include "video/engine/rtp/rtcp_channel.h"

#include <cstring>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

namespace vz::rtcp {

std::string MakeCname(uint32_t ssrc, const std::string& user_name) {
  std::string text = "user_name=" + user_name + "@ssrc_id=" + std::to_string(ssrc) +
                     ":media_type=VIDEO_CAMERA";
  if (text.size() > 255) {
    size_t cut = 255;
    // Step back over continuation bytes so the cut falls before a lead byte.
    while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

}  // namespace vz::rtcp

using namespace vz::rtcp;

VseResult CreateRtcpChannel(IRtcpChannelSink* sink, IVseRtcpChannel** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  if (sink == nullptr) return VSE_E_INVALIDARG;
  auto* channel = new CRtcpChannel(sink);
  channel->AddRef();
  *out = channel;
  return VSE_S_OK;
}

VseResult CRtcpChannel::Send(const uint8_t* data, int length) {
  if (sink_ == nullptr || !sink_->SendRtcp(data, length)) {
    VZ_LOG_ERROR("no transport for %d RTCP bytes", length);
    return VSE_E_POINTER;
  }
  return VSE_S_OK;
}

VseResult CRtcpChannel::SendPli(uint32_t sender_ssrc, uint32_t media_ssrc) {
  uint8_t buffer[kSendBufferBytes];
  int size = sizeof(buffer);
  if (BuildFeedback(kPayloadFeedback, sender_ssrc, media_ssrc, kPliFormat, nullptr, 0, buffer,
                    &size) != 0) {
    return static_cast<VseResult>(-1);
  }
  return Send(buffer, size);
}

VseResult CRtcpChannel::SendFeedback12(uint32_t sender_ssrc, uint32_t media_ssrc,
                                     const Feedback12& fci) {
  uint8_t words[12];
  for (int i = 0; i < 3; ++i) vz::Store32(words + 4 * i, fci.words[i]);
  uint8_t buffer[kSendBufferBytes];
  int size = sizeof(buffer);
  if (BuildFeedback(kPayloadFeedback, sender_ssrc, media_ssrc, kApplicationFeedbackFormat, words,
                    12, buffer, &size) != 0) {
    return static_cast<VseResult>(-1);
  }
  return Send(buffer, size);
}

VseResult CRtcpChannel::SendFeedback16(uint32_t sender_ssrc, uint32_t media_ssrc,
                                     const Feedback16& fci) {
  uint8_t words[16];
  for (int i = 0; i < 4; ++i) vz::Store32(words + 4 * i, fci.words[i]);
  uint8_t buffer[kSendBufferBytes];
  int size = sizeof(buffer);
  if (BuildFeedback(kPayloadFeedback, sender_ssrc, media_ssrc, kApplicationFeedbackFormat, words,
                    16, buffer, &size) != 0) {
    return static_cast<VseResult>(-1);
  }
  return Send(buffer, size);
}

VseResult CRtcpChannel::SendSdes(uint32_t ssrc, const std::string& user_name) {
  SdesChunk chunk;
  chunk.ssrc = ssrc;
  chunk.item_type = kSdesCname;
  const std::string text = MakeCname(ssrc, user_name);
  chunk.length = static_cast<uint8_t>(text.size());
  std::memcpy(chunk.text, text.data(), text.size());
  uint8_t buffer[kSmallSendBufferBytes];
  int size = sizeof(buffer);
  if (BuildSdes(&chunk, 1, buffer, &size) != 0) return static_cast<VseResult>(-1);
  return Send(buffer, size);
}

VseResult CRtcpChannel::SendBye(uint32_t ssrc) {
  uint8_t buffer[kSmallSendBufferBytes];
  int size = sizeof(buffer);
  if (BuildBye(&ssrc, 1, buffer, &size) != 0) return static_cast<VseResult>(-1);
  return Send(buffer, size);
}

VseResult CRtcpChannel::Input(const uint8_t* data, int length, uint32_t arrival) {
  if (sink_ == nullptr) return VSE_E_POINTER;
  last_arrival_ = arrival;
  VseResult result = VSE_S_OK;
  const int walk = WalkCompound(
      [this, &result](const uint8_t* packet, int size) { result = HandlePacket(packet, size); },
      data, length);
  if (walk != 0) {
    VZ_LOG_WARN("compound RTCP of %d bytes ended early (%d)", length, walk);
    return static_cast<VseResult>(walk);
  }
  return result;
}

VseResult CRtcpChannel::HandlePacket(const uint8_t* packet, int size) {
  if (sink_ == nullptr) return VSE_E_POINTER;
  switch (ReadType(packet, size)) {
    case kReceiverReport: {
      ReportBlock blocks[kMaxParsed];
      ReadReportBlocks(packet, size, blocks, kMaxParsed);
      return VSE_S_OK;
    }
    case kSourceDescription: {
      SdesChunk chunks[kMaxParsed];
      if (ReadSdesChunks(packet, size, chunks, kMaxParsed) > 0) {
        last_cname_.assign(chunks[0].text, chunks[0].length > 254 ? 254 : chunks[0].length);
      }
      return VSE_S_OK;
    }
    case kGoodbye: {
      uint32_t ssrcs[kMaxParsed];
      if (ReadByeSsrcs(packet, size, ssrcs, kMaxParsed) > 0) last_bye_ssrc_ = ssrcs[0];
      return VSE_S_OK;
    }
    case kPayloadFeedback: {
      int format = 0;
      uint32_t sender = 0;
      uint32_t media = 0;
      const uint8_t* fci = nullptr;
      int fci_length = 0;
      if (!ReadFeedback(packet, size, &format, &sender, &media, &fci, &fci_length)) {
        return VSE_E_FAIL;
      }
      if (format == kPliFormat) {
        sink_->OnKeyFrameRequest(media);
        return VSE_S_OK;
      }
      if (format != kApplicationFeedbackFormat) return VSE_S_OK;
      if (fci_length == 12) {
        Feedback12 f;
        for (int i = 0; i < 3; ++i) f.words[i] = vz::Load32(fci + 4 * i);
        sink_->OnFeedback12(media, f);
        return VSE_S_OK;
      }
      if (fci_length == 16) {
        Feedback16 f;
        for (int i = 0; i < 4; ++i) f.words[i] = vz::Load32(fci + 4 * i);
        sink_->OnFeedback16(media, f);
        return VSE_S_OK;
      }
      VZ_LOG_WARN("application feedback of %d bytes", fci_length);
      return VSE_E_FAIL;
    }
    default:
      return VSE_S_OK;  // SR, APP, RTPFB: parsed elsewhere or without effect
  }
}
