#include "outside/vzh264/access_unit_mender.h"

#include <cstring>

#include "outside/vzh264/access_unit_layers.h"

namespace vzh264 {

void AccessUnitMender::Reset() {
  top_dependency_id_ = -1;
  prefixes_ = {};
  mended_.clear();
}

AccessUnitMender::Unit AccessUnitMender::Prepare(const uint8_t* data, int32_t length) {
  const Unit as_given{data, length, false};
  const AccessUnitLayers layers = ReadAccessUnitLayers(data, length);
  if (layers.has_idr) {
    top_dependency_id_ = layers.top_dependency_id;
  } else if (layers.top_dependency_id > top_dependency_id_) {
    top_dependency_id_ = layers.top_dependency_id;  // an IDR frame that came without its top layer
  }
  for (const NalSpan& nal : layers.nals) {
    const int32_t size = nal.end - nal.header;
    if (nal.type != kNalPrefix || size < 4 || size > kMaxPrefixBytes) continue;
    const uint8_t* p = data + nal.header;
    Prefix& kept = prefixes_[static_cast<size_t>(PrefixKey((p[0] >> 5) & 3, (p[1] & 0x40) != 0, p[3] >> 5))];
    std::memcpy(kept.bytes, p, static_cast<size_t>(size));
    kept.size = size;
  }

  // Base-layer slices that came without their prefix, and the prefix to
  // put back for each (null when none is known).
  struct Gap {
    int32_t at;
    const Prefix* prefix;
  };
  std::vector<Gap> gaps;
  bool unmendable = false;
  for (size_t k = 0; k < layers.nals.size(); ++k) {
    const NalSpan& nal = layers.nals[k];
    if (nal.type != kNalSliceNonIdr && nal.type != kNalSliceIdr) continue;
    if (k > 0 && layers.nals[k - 1].type == kNalPrefix) continue;
    if (layers.temporal_id < 0) continue;  // a plain stream without SVC headers
    const int ref_idc = (data[nal.header] >> 5) & 3;
    const Prefix& prefix = prefixes_[static_cast<size_t>(PrefixKey(ref_idc, nal.type == kNalSliceIdr, layers.temporal_id))];
    if (prefix.size == 0) unmendable = true;
    gaps.push_back(Gap{nal.start, prefix.size != 0 ? &prefix : nullptr});
  }

  const bool top_missing = layers.top_dependency_id >= 0 && layers.top_dependency_id < top_dependency_id_;
  if (!layers.referenced && (top_missing || unmendable)) return Unit{};
  if (gaps.empty() || unmendable) return as_given;

  static constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
  mended_.clear();
  mended_.reserve(static_cast<size_t>(length) + gaps.size() * (4 + kMaxPrefixBytes));
  int32_t copied = 0;
  for (const Gap& gap : gaps) {
    mended_.insert(mended_.end(), data + copied, data + gap.at);
    mended_.insert(mended_.end(), kStartCode, kStartCode + 4);
    mended_.insert(mended_.end(), gap.prefix->bytes, gap.prefix->bytes + gap.prefix->size);
    copied = gap.at;
  }
  mended_.insert(mended_.end(), data + copied, data + length);
  return Unit{mended_.data(), static_cast<int32_t>(mended_.size()), true};
}

}  // namespace vzh264
