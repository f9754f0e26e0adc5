#pragma once
// The small block records that receive feedback travels in, each with its
// own byte image (all words big-endian):
// - CRtpFeedbackBlock, 16 bytes: send time of the last analysed packet (ms),
//   time from that analysis to the block (ms), delay variation (ms), and the
//   bit rate / 1024 in the upper 24 bits with the 8-bit loss in the low byte.
// - CRtpWordBlock<3> (12 bytes) and CRtpWordBlock<4> (16 bytes): plain words
//   in order; the decoder's event report and refresh request.
//
// Serialise writes into the record's own buffer and hands it out (valid
// until the record changes or goes). Parse accepts exactly the record's
// length: VSE_E_INVALIDARG for another length, VSE_E_POINTER for null data.
// Threads: none; a record belongs to one caller.
#include <array>
#include <cstdint>

#include "video/engine/core/engine_result.h"

class CRtpFeedbackBlock {
 public:
  static constexpr int kBytes = 16;

  uint32_t send_time_ms = 0;
  uint32_t elapsed_ms = 0;
  uint32_t delay_variation_ms = 0;
  uint32_t bit_rate_kbit = 0;  // only the low 24 bits travel
  uint8_t loss8 = 0;

  void Serialise(const uint8_t** data, int* length);
  VseResult ParseForTesting(const uint8_t* data, int length);

 private:
  std::array<uint8_t, kBytes> bytes_{};
};

template <int N>
class CRtpWordBlock {
 public:
  static constexpr int kWords = N;
  static constexpr int kBytes = 4 * N;

  std::array<uint32_t, N> words{};

  void Serialise(const uint8_t** data, int* length);
  VseResult ParseForTesting(const uint8_t* data, int length);

 private:
  std::array<uint8_t, kBytes> bytes_{};
};

using CRtpReportBlock = CRtpWordBlock<3>;   // decoder event: kind, option 8, option 10
using CRtpRefreshBlock = CRtpWordBlock<4>;  // refresh request: 1, option 8, remembered 7, option 7

extern template class CRtpWordBlock<3>;
extern template class CRtpWordBlock<4>;
