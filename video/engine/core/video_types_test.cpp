#include "video/engine/core/video_types.h"

#include <gtest/gtest.h>

namespace {

TEST(VideoTypesTest, TypesAndCodesMapBothWays) {
  struct Row {
    int32_t type;
    uint32_t code;
  };
  // The types that name a code of their own map back to themselves.
  for (Row r : {Row{1, 1}, Row{2, 23}, Row{3, 20}, Row{4, 5}, Row{5, 24}, Row{6, 0x80000001u}, Row{7, 0x80000005u},
                Row{8, 2}, Row{9, 6}, Row{12, 0x80000002u}, Row{13, 0x80000006u}}) {
    EXPECT_EQ(GetColorSpace(r.type), r.code) << r.type;
    EXPECT_EQ(GetVideoType(r.code), r.type) << r.code;
  }
  EXPECT_EQ(GetColorSpace(10), 2u);
  EXPECT_EQ(GetColorSpace(11), 6u);
  EXPECT_EQ(GetColorSpace(14), 0x80000002u);
  EXPECT_EQ(GetColorSpace(15), 0x80000006u);
  EXPECT_EQ(GetVideoType(8), 10);
  EXPECT_EQ(GetVideoType(0x80000007u), 15);
  EXPECT_EQ(GetVideoType(0x80000008u), 14);
}

TEST(VideoTypesTest, UnknownInputsGiveTheNoneValues) {
  EXPECT_EQ(GetColorSpace(0), kNoColorSpace);
  EXPECT_EQ(GetColorSpace(16), kNoColorSpace);
  EXPECT_EQ(GetColorSpace(-1), kNoColorSpace);
  EXPECT_EQ(GetVideoType(3), 0);
  EXPECT_EQ(GetVideoType(0x80000017u), 0);
}

}  // namespace
