// The mender on hand-made access units: exact bytes of a mended unit, and
// which damaged units are left out.
#include "outside/vzh264/access_unit_mender.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// NAL units behind 4-byte start codes (3-byte ones where `short_code`).
Bytes Unit(const std::vector<Bytes>& nals, bool short_code = false) {
  Bytes out;
  for (const Bytes& nal : nals) {
    if (!short_code) out.push_back(0);
    out.insert(out.end(), {0, 0, 1});
    out.insert(out.end(), nal.begin(), nal.end());
  }
  return out;
}

// Prefix (14) and SVC slice (20) headers: ref_idc, IDR flag, D, T.
Bytes Svc(int type, int ref_idc, bool idr, int d, int t) {
  return {static_cast<uint8_t>(ref_idc << 5 | type), static_cast<uint8_t>(0x80 | (idr ? 0x40 : 0)),
          static_cast<uint8_t>(d << 4), static_cast<uint8_t>(t << 5 | 0x07), 0xAA, 0x55};
}
Bytes Slice(int ref_idc, bool idr) { return {static_cast<uint8_t>(ref_idc << 5 | (idr ? 5 : 1)), 0x88, 0x84, 0x21}; }

Bytes Taken(const vzh264::AccessUnitMender::Unit& u) { return u.data ? Bytes(u.data, u.data + u.length) : Bytes{}; }

TEST(AccessUnitMender, PutsBackALostPrefixAndLeavesOutDamagedUnreferencedPictures) {
  vzh264::AccessUnitMender mender;
  const Bytes idr = Unit({Svc(14, 3, true, 0, 0), Slice(3, true), Svc(20, 3, true, 1, 0), Svc(20, 3, true, 2, 0)});
  EXPECT_EQ(Taken(mender.Prepare(idr.data(), static_cast<int32_t>(idr.size()))), idr);
  const Bytes t2 = Unit({Svc(14, 0, false, 0, 2), Slice(0, false), Svc(20, 0, false, 1, 2), Svc(20, 0, false, 2, 2)});
  EXPECT_FALSE(mender.Prepare(t2.data(), static_cast<int32_t>(t2.size())).mended);

  // The same temporal layer again, its prefix lost: the kept one goes back
  // in front of the slice, byte for byte; 3-byte start codes as well.
  for (bool short_code : {false, true}) {
    const Bytes lost = Unit({Slice(0, false), Svc(20, 0, false, 1, 2), Svc(20, 0, false, 2, 2)}, short_code);
    const vzh264::AccessUnitMender::Unit u = mender.Prepare(lost.data(), static_cast<int32_t>(lost.size()));
    EXPECT_TRUE(u.mended) << short_code;
    Bytes expected = Unit({Svc(14, 0, false, 0, 2)});
    expected.insert(expected.end(), lost.begin(), lost.end());
    EXPECT_EQ(Taken(u), expected) << short_code;
  }

  // No prefix known for that layer: left out when nothing refers to it,
  // given as it is when something does (the decoder reports the loss).
  const Bytes t1_unknown = Unit({Slice(0, false), Svc(20, 0, false, 2, 1)});
  EXPECT_EQ(mender.Prepare(t1_unknown.data(), static_cast<int32_t>(t1_unknown.size())).data, nullptr);
  const Bytes t1_referenced = Unit({Slice(2, false), Svc(20, 2, false, 2, 1)});
  EXPECT_EQ(Taken(mender.Prepare(t1_referenced.data(), static_cast<int32_t>(t1_referenced.size()))), t1_referenced);

  // Without the top layer: same rule.
  const Bytes no_top = Unit({Svc(14, 0, false, 0, 2), Slice(0, false), Svc(20, 0, false, 1, 2)});
  EXPECT_EQ(mender.Prepare(no_top.data(), static_cast<int32_t>(no_top.size())).data, nullptr);
  const Bytes no_top_ref = Unit({Svc(14, 3, false, 0, 0), Slice(3, false), Svc(20, 3, false, 1, 0)});
  EXPECT_EQ(Taken(mender.Prepare(no_top_ref.data(), static_cast<int32_t>(no_top_ref.size()))), no_top_ref);

  // A new stream of two layers starts with its IDR frame: two is the top now.
  const Bytes idr2 = Unit({Svc(14, 3, true, 0, 0), Slice(3, true), Svc(20, 3, true, 1, 0)});
  mender.Prepare(idr2.data(), static_cast<int32_t>(idr2.size()));
  EXPECT_EQ(Taken(mender.Prepare(no_top.data(), static_cast<int32_t>(no_top.size()))), no_top);
}

TEST(AccessUnitMender, MalformedUnitsAreGivenAsTheyCame) {
  vzh264::AccessUnitMender mender;
  const std::vector<Bytes> odd = {{}, {0, 0, 1}, {0, 0, 0, 1}, {0, 0, 1, 20}, {0, 0, 1, 14, 0x80}, {1, 2, 3, 0, 0}};
  for (size_t i = 0; i < odd.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "unit " << i);
    const Bytes& b = odd[i];
    const vzh264::AccessUnitMender::Unit u = mender.Prepare(b.data(), static_cast<int32_t>(b.size()));
    EXPECT_FALSE(u.mended);
    EXPECT_EQ(u.length, static_cast<int32_t>(b.size()));
  }
  // A prefix longer than any the encoder writes is not kept.
  Bytes big = Svc(14, 0, false, 0, 2);
  big.resize(40, 0x11);
  const Bytes with_big = Unit({big, Slice(0, false), Svc(20, 0, false, 2, 2)});
  mender.Prepare(with_big.data(), static_cast<int32_t>(with_big.size()));
  const Bytes lost = Unit({Slice(0, false), Svc(20, 0, false, 2, 2)});
  EXPECT_EQ(mender.Prepare(lost.data(), static_cast<int32_t>(lost.size())).data, nullptr);
}

}  // namespace
