#pragma once
// The temporal layer of a received NAL unit, read behind its 4-byte start
// code: for slices (types 1 and 5) from nal_ref_idc (0 gives 2, 1 gives 1,
// 2 and 3 give 0); for SVC units (types 14 and 20) the top three bits of
// the third extension byte. Every other unit, and an SVC unit too short to
// hold its extension, counts as layer 0. Reads nothing past `length`.
#include <cstdint>

#include "contracts/h264_nal_types.h"

inline int NalTemporalId(const uint8_t* payload, int length) {
  if (payload == nullptr || length <= 4) return 0;
  const uint8_t header = payload[4];
  const int type = NalTypeOf(header);
  if (type == kNalSliceNonIdr || type == kNalSliceIdr) {
    const int ref_idc = (header >> 5) & 0x03;
    return ref_idc == 0 ? 2 : (ref_idc == 1 ? 1 : 0);
  }
  if (type == kNalPrefix || type == kNalSvcSlice) return length < 8 ? 0 : payload[7] >> 5;
  return 0;
}
