#include "video/engine/receive/rtp_monitor.h"

#include <algorithm>
#include <cstring>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/receive/rtp_monitor_manager.h"
#include "video/engine/rtp/rtp_header_extension.h"

namespace {

constexpr int32_t kRtpHeaderBytes = 12;
constexpr uint8_t kFecPayloadType110 = 110;
constexpr uint8_t kFecPayloadType111 = 111;

// The X bit is set and the fixed header, the CSRCs and the extension's own
// header fit in the packet.
bool HasHeaderExtension(const uint8_t* packet, int32_t length) {
  if ((packet[0] & 0x10) == 0) return false;
  const int32_t csrc_count = packet[0] & 0x0F;
  return kRtpHeaderBytes + 4 * csrc_count + 4 <= length;
}

}  // namespace

CVseRtpMonitor::CVseRtpMonitor(uint32_t ssrc, CVseRtpMonitorManager* owner) : ssrc_(ssrc), owner_(owner) {}

int32_t CVseRtpMonitor::NetworkClass(uint32_t delay_variation_ms, uint32_t loss_per_mille) {
  if (loss_per_mille > 200) return 2;
  if (loss_per_mille > 100) return 1;
  if (delay_variation_ms <= 150) return 0;
  if (delay_variation_ms <= 500) return 1;
  return 2;
}

uint8_t CVseRtpMonitor::Loss8(uint16_t loss_per_mille) {
  const float scaled = static_cast<float>(loss_per_mille) / 1000.0f * 256.0f;
  return static_cast<uint8_t>(std::min<uint32_t>(static_cast<uint32_t>(scaled), 255));
}

bool CVseRtpMonitor::Analyse(const uint8_t* packet, int32_t length, uint32_t receive_ms, Figures* reported) {
  const uint8_t* element = nullptr;
  int element_length = 0;
  // The element's length comes from the network: one too short to hold the
  // counter and the send time counts as absent.
  if (!vz::rtp::FindOneByteElement(packet, length, kTimingElementId, &element, &element_length) ||
      element_length < kTimingElementMinLength) {
    VZ_LOG_ERROR("lret >= 0");
    return false;
  }
  const uint16_t counter = vz::Load16(element + 1);
  const uint32_t sent = vz::Load32(element + 3);
  last_send_time_ = sent;
  last_analysis_ms_ = VZSE_::NowMs();
  ++analysed_;

  bit_rate_.Input(length, receive_ms);
  counter_jitter_.Input(sent, receive_ms);
  delay_.Input(sent, receive_ms);
  loss_.Input(counter, receive_ms);

  figures_.counter_jitter = static_cast<uint32_t>(counter_jitter_.jitter());
  figures_.delay_variation = static_cast<uint32_t>(delay_.variation());
  figures_.bit_rate_kbit = bit_rate_.rate() >> 10;
  figures_.loss = loss_.loss();
  figures_.loss8 = Loss8(figures_.loss);
  *reported = figures_;
  return true;
}

VseResult CVseRtpMonitor::InputReceivedRtpData(const uint8_t* packet, int32_t length, uint32_t receive_ms) {
  if (owner_ == nullptr) return VSE_E_POINTER;
  // Shorter than the fixed header, the payload type and time stamp below
  // would be read from beyond the packet.
  if (packet == nullptr || length < kRtpHeaderBytes) return VSE_E_INVALIDARG;

  Figures reported;
  bool analysed = false;
  IRtpMonitorSink* sink = nullptr;
  const uint8_t payload_type = packet[1] & 0x7F;
  const bool fec = payload_type == kFecPayloadType110 || payload_type == kFecPayloadType111;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (HasHeaderExtension(packet, length)) analysed = Analyse(packet, length, receive_ms, &reported);
    sink = sink_;
    if (!fec) {
      // Interarrival jitter of the RTP time stamps, in ms.
      interarrival_.Input(vz::Load32(packet + 4) / 90, receive_ms);
    }
  }
  if (analysed && sink != nullptr) {
    sink->SetReceiveParameter(IRtpMonitorSink::kCounterJitter, reported.counter_jitter);
    sink->SetReceiveParameter(IRtpMonitorSink::kDelayVariation, reported.delay_variation);
    sink->SetReceiveParameter(IRtpMonitorSink::kBitRateKbit, reported.bit_rate_kbit);
    sink->SetReceiveParameter(IRtpMonitorSink::kLossPerMille, reported.loss);
  }
  if (fec) return kFecPacket;
  return owner_->OnPacket(this, packet, length, receive_ms);
}

VseResult CVseRtpMonitor::GetFeedbackBlock(uint32_t* ssrc, uint8_t* buffer, int32_t* length, uint32_t now_ms) {
  if (ssrc == nullptr || buffer == nullptr || length == nullptr) return VSE_E_INVALIDARG;
  CRtpFeedbackBlock block;
  {
    std::lock_guard<std::mutex> hold(lock_);
    block.send_time_ms = last_send_time_;
    block.elapsed_ms = now_ms - last_analysis_ms_;
    block.delay_variation_ms = figures_.delay_variation;
    block.bit_rate_kbit = figures_.bit_rate_kbit;
    block.loss8 = figures_.loss8;
    analysed_ = 0;
  }
  const uint8_t* bytes = nullptr;
  int size = 0;
  block.Serialise(&bytes, &size);
  std::memcpy(buffer, bytes, static_cast<size_t>(size));
  *length = size;
  *ssrc = ssrc_;
  return VSE_S_OK;
}

int32_t CVseRtpMonitor::GetNetworkClass() const {
  std::lock_guard<std::mutex> hold(lock_);
  return NetworkClass(figures_.delay_variation, figures_.loss);
}

uint32_t CVseRtpMonitor::GetAnalysedCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return analysed_;
}

int32_t CVseRtpMonitor::GetJitter() const {
  std::lock_guard<std::mutex> hold(lock_);
  return interarrival_.jitter();
}

VseResult CVseRtpMonitor::SetSink(IRtpMonitorSink* sink) {
  std::lock_guard<std::mutex> hold(lock_);
  sink_ = sink;
  return VSE_S_OK;
}
