#include "outside/vzh264/access_unit_layers.h"

namespace vzh264 {
namespace {

void Account(const uint8_t* data, const NalSpan& span, AccessUnitLayers* out) {
  const uint8_t* nal = data + span.header;
  const int32_t size = span.end - span.header;
  if (size < 1) return;
  const bool referenced = (nal[0] & 0x60) != 0;
  if (span.type == kNalSliceNonIdr || span.type == kNalSliceIdr) {
    if (out->top_dependency_id < 0) out->top_dependency_id = 0;
    out->has_idr = out->has_idr || span.type == kNalSliceIdr;
    out->referenced = out->referenced || referenced;
  } else if ((span.type == kNalSvcSlice || span.type == kNalPrefix) && size >= 4) {
    // SVC extension: byte 1 holds idr_flag (0x40), byte 2 dependency_id,
    // byte 3 temporal_id.
    out->temporal_id = nal[3] >> 5;
    if (span.type == kNalPrefix) return;
    const int d = (nal[2] >> 4) & 7;
    if (d > out->top_dependency_id) out->top_dependency_id = d;
    out->has_idr = out->has_idr || (nal[1] & 0x40) != 0;
    out->referenced = out->referenced || referenced;
  }
}

}  // namespace

AccessUnitLayers ReadAccessUnitLayers(const uint8_t* data, int32_t length) {
  AccessUnitLayers out;
  if (data == nullptr || length <= 0) return out;
  auto close = [&](int32_t end) {
    NalSpan& span = out.nals.back();
    if (end > span.header && data[end - 1] == 0) --end;  // the first byte of a 4-byte start code
    span.end = end;
    if (span.end > span.header) span.type = NalTypeOf(data[span.header]);
    Account(data, span, &out);
  };
  int32_t i = 0;
  while (i + 2 < length) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (!out.nals.empty()) close(i);
      const int32_t start = i > 0 && data[i - 1] == 0 ? i - 1 : i;
      out.nals.push_back(NalSpan{start, i + 3, i + 3, 0});
      i += 3;
    } else {
      ++i;
    }
  }
  if (!out.nals.empty()) close(length);
  return out;
}

}  // namespace vzh264
