#include "video/engine/receive/rtp_feedback_blocks.h"

#include "platform/big_endian.h"

using vz::Load32;
using vz::Store32;

void CRtpFeedbackBlock::Serialise(const uint8_t** data, int* length) {
  Store32(&bytes_[0], send_time_ms);
  Store32(&bytes_[4], elapsed_ms);
  Store32(&bytes_[8], delay_variation_ms);
  Store32(&bytes_[12], (bit_rate_kbit << 8) | loss8);
  if (data != nullptr) *data = bytes_.data();
  if (length != nullptr) *length = kBytes;
}

VseResult CRtpFeedbackBlock::ParseForTesting(const uint8_t* data, int length) {
  if (data == nullptr) return VSE_E_POINTER;
  if (length != kBytes) return VSE_E_INVALIDARG;
  send_time_ms = Load32(data);
  elapsed_ms = Load32(data + 4);
  delay_variation_ms = Load32(data + 8);
  const uint32_t last = Load32(data + 12);
  bit_rate_kbit = last >> 8;
  loss8 = static_cast<uint8_t>(last & 0xFF);
  return VSE_S_OK;
}

template <int N>
void CRtpWordBlock<N>::Serialise(const uint8_t** data, int* length) {
  for (int i = 0; i < N; ++i) Store32(&bytes_[4 * i], words[i]);
  if (data != nullptr) *data = bytes_.data();
  if (length != nullptr) *length = kBytes;
}

template <int N>
VseResult CRtpWordBlock<N>::ParseForTesting(const uint8_t* data, int length) {
  if (data == nullptr) return VSE_E_POINTER;
  if (length != kBytes) return VSE_E_INVALIDARG;
  for (int i = 0; i < N; ++i) words[i] = Load32(data + 4 * i);
  return VSE_S_OK;
}

template class CRtpWordBlock<3>;
template class CRtpWordBlock<4>;
