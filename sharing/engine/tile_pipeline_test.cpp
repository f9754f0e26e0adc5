#include "sharing/engine/tile_pipeline.h"

#include <gtest/gtest.h>

#include <set>

#include "sharing/engine/engine_rig_testlib.h"

namespace {

using ds_test::LosslessCodec;
using ds_test::RecordingTransport;
using ds_test::Screen;
using ds_test::Side;

class TilePipelineTest : public ::testing::Test {
 protected:
  // A presenter sharing one monitor of `width` x `height` as monitor `id`.
  void Share(int32_t id, int width, int height) {
    screen_ = std::make_unique<Screen>(id, VzRect{0, 0, width, height});
    auto info = ds_test::Sharing({ds_test::Monitor(id, VzRect{0, 0, width, height})}, VzRect{0, 0, width, height});
    HandleCapturedSharingInfo(info.get(), side_.State(), nullptr, &tp_);
    tp_.Clear();
  }
  int32_t Update(VzRect box) {
    return side_.pipeline.OnScreenData(screen_->Capture(box), side_.frames, 128, 128, &tp_);
  }
  std::vector<ds_test::SentBlock> Blocks() const {
    std::vector<ds_test::SentBlock> all;
    for (const auto& m : tp_.sent)
      if (m.type == DS_DATA_CREATE_BLOCKS) all.insert(all.end(), m.blocks.begin(), m.blocks.end());
    return all;
  }
  std::vector<ds_test::SentCache> Caches() const {
    std::vector<ds_test::SentCache> all;
    for (const auto& m : tp_.sent)
      if (m.type == DS_DATA_CREATE_CACHES) all.insert(all.end(), m.caches.begin(), m.caches.end());
    return all;
  }

  LosslessCodec codec_;
  Side side_{&codec_};
  RecordingTransport tp_;
  std::unique_ptr<Screen> screen_;
};

TEST_F(TilePipelineTest, BoxIsWidenedByAWholeBlockEvenOnTheGridAndCutAtTheMonitorEdge) {
  Share(1, 1366, 768);
  screen_->Pattern(VzRect{0, 0, 1366, 768}, 1);
  // Right edge 256 lies on the grid and still takes the column at 256.
  ASSERT_EQ(1, Update(VzRect{128, 0, 256, 100}));
  std::set<int32_t> lefts, rights;
  for (const auto& b : Blocks()) {
    lefts.insert(b.rect.left);
    rights.insert(b.rect.right);
  }
  EXPECT_EQ((std::set<int32_t>{128, 256}), lefts);
  EXPECT_EQ((std::set<int32_t>{256, 384}), rights);
  EXPECT_EQ(2u, Blocks().size());

  // The last column of a 1366-wide monitor is 86 wide; nothing lies past it.
  tp_.Clear();
  ASSERT_EQ(1, Update(VzRect{1300, 700, 1366, 768}));
  ASSERT_EQ(1u, Blocks().size());
  EXPECT_EQ(1280, Blocks()[0].rect.left);
  EXPECT_EQ(1366, Blocks()[0].rect.right);
  EXPECT_EQ(640, Blocks()[0].rect.top);
  EXPECT_EQ(768, Blocks()[0].rect.bottom);
}

TEST_F(TilePipelineTest, EdgeBlocksOfA1600x900MonitorAreCutAndCompressedAtTheirOwnSize) {
  Share(1, 1600, 900);
  screen_->Pattern(VzRect{0, 0, 1600, 900}, 2);
  ASSERT_EQ(1, Update(VzRect{0, 0, 1600, 900}));
  // 13 columns (the last 64 wide) by 8 rows (the last 4 high).
  const auto blocks = Blocks();
  ASSERT_EQ(13u * 8u, blocks.size());
  EXPECT_EQ(13u * 8u, Caches().size());
  const auto corner = blocks.back();
  EXPECT_EQ(1536, corner.rect.left);
  EXPECT_EQ(896, corner.rect.top);
  EXPECT_EQ(1600, corner.rect.right);
  EXPECT_EQ(900, corner.rect.bottom);
  // The corner tile holds 64 x 4 pixels: exactly the cut rows and bytes.
  const std::string tile = Caches().back().bytes;
  ASSERT_EQ(8u + 64u * 4u * 4u, tile.size());
  EXPECT_EQ(0, std::memcmp(tile.data() + 8, &screen_->At(1536, 896), 64 * 4));
}

TEST_F(TilePipelineTest, BlocksThatRepeatOneImageShareOneCache) {
  Share(1, 1024, 512);
  screen_->Fill(VzRect{0, 0, 1024, 512}, 0xFF102030u);
  ASSERT_EQ(1, Update(VzRect{0, 0, 1024, 512}));
  ASSERT_EQ(1, tp_.Count(DS_DATA_CREATE_CACHES));
  ASSERT_EQ(1u, Caches().size());
  ASSERT_EQ(32u, Blocks().size());
  for (const auto& b : Blocks()) {
    SCOPED_TRACE(testing::Message() << "block " << b.index);
    EXPECT_EQ(Caches()[0].index, b.cache_index);
    EXPECT_EQ(Caches()[0].pdu_id, b.cache_pdu_id);
  }
  // Caches go before the blocks that point to them.
  EXPECT_EQ(DS_DATA_CREATE_CACHES, tp_.sent[0].type);
  EXPECT_EQ(DS_DATA_CREATE_BLOCKS, tp_.sent[1].type);
  EXPECT_EQ(1, codec_.compressions);
}

TEST_F(TilePipelineTest, AnUnchangedFrameCostsNothingAndAReturningImageCostsOneBlock) {
  Share(1, 512, 256);
  screen_->Pattern(VzRect{0, 0, 512, 256}, 3);
  ASSERT_EQ(1, Update(VzRect{0, 0, 512, 256}));
  const int compressions = codec_.compressions;
  tp_.Clear();

  ASSERT_EQ(1, Update(VzRect{0, 0, 512, 256}));
  EXPECT_TRUE(tp_.sent.empty());
  EXPECT_EQ(compressions, codec_.compressions);

  // One block changes, then goes back to the image it showed.
  const std::vector<uint32_t> saved(screen_->pixels(), screen_->pixels() + 512 * 256);
  screen_->Fill(VzRect{128, 128, 256, 256}, 0xFFFFFFFFu);
  ASSERT_EQ(1, Update(VzRect{130, 130, 140, 140}));
  EXPECT_EQ(1u, Caches().size());
  tp_.Clear();
  for (int y = 128; y < 256; ++y)
    for (int x = 128; x < 256; ++x) screen_->At(x, y) = saved[static_cast<size_t>(y) * 512 + x];
  ASSERT_EQ(1, Update(VzRect{128, 128, 256, 256}));
  EXPECT_EQ(0, tp_.Count(DS_DATA_CREATE_CACHES));
  ASSERT_EQ(1u, Blocks().size());
  EXPECT_EQ(compressions + 1, codec_.compressions);
}

// The key covers every byte of every row: a block that changed only in its
// rightmost pixels, or only in its last row, is a new image.
TEST_F(TilePipelineTest, ABlockChangedOnlyAtItsRightOrBottomEdgeGetsANewCache) {
  Share(1, 256, 128);
  screen_->Fill(VzRect{0, 0, 256, 128}, 0xFF204060u);
  ASSERT_EQ(1, Update(VzRect{0, 0, 256, 128}));
  ASSERT_EQ(1u, Caches().size());
  const uint32_t first = Caches()[0].index;
  struct Change {
    const char* where;
    VzRect box;
  };
  // The right block is x 128..256; each change lies inside it alone.
  for (const Change& change : {Change{"the last column", VzRect{255, 0, 256, 128}},
                               Change{"the right quarter of one row", VzRect{224, 60, 256, 61}},
                               Change{"the last pixel", VzRect{255, 127, 256, 128}}}) {
    SCOPED_TRACE(change.where);
    screen_->Fill(VzRect{0, 0, 256, 128}, 0xFF204060u);
    ASSERT_EQ(1, Update(VzRect{128, 0, 256, 128}));  // back to the shared image
    tp_.Clear();
    screen_->Fill(change.box, 0xFF204061u);  // one step of blue
    ASSERT_EQ(1, Update(change.box));
    ASSERT_EQ(1u, Caches().size()) << "the changed block kept the old image's key";
    EXPECT_NE(Caches()[0].index, first);
    ASSERT_EQ(1u, Blocks().size());
    EXPECT_EQ(128, Blocks()[0].rect.left);
    tp_.Clear();
  }
}

TEST_F(TilePipelineTest, BlocksOfDifferentShapeWithTheSameBytesDoNotShareACache) {
  // On a 192 x 192 monitor the right column is 64 x 128 and the bottom
  // row 128 x 64: the same bytes when both are black.
  Share(1, 192, 192);
  screen_->Fill(VzRect{0, 0, 192, 192}, 0xFF000000u);
  ASSERT_EQ(1, Update(VzRect{0, 0, 192, 192}));
  std::set<uint32_t> caches;
  for (const auto& b : Blocks()) {
    const int w = b.rect.right - b.rect.left, h = b.rect.bottom - b.rect.top;
    if ((w == 64 && h == 128) || (w == 128 && h == 64)) caches.insert(b.cache_index);
  }
  EXPECT_EQ(2u, caches.size());
}

TEST_F(TilePipelineTest, PositionNamesMonitorRowAndColumn) {
  EXPECT_EQ(20304u, CTilePipeline::Position(2, 384, 256, 128, 128));
  Share(2, 640, 512);
  screen_->Pattern(VzRect{0, 0, 640, 512}, 4);
  ASSERT_EQ(1, Update(VzRect{384, 256, 400, 300}));
  EXPECT_EQ(20304u, Blocks().front().position);
}

TEST_F(TilePipelineTest, UnknownMonitorMovedMonitorAndBadBoxesAreRefusedWithNothingSent) {
  Share(1, 512, 256);
  Screen other(2, VzRect{0, 0, 512, 256});
  EXPECT_EQ(0, side_.pipeline.OnScreenData(other.Capture(VzRect{0, 0, 10, 10}), side_.frames, 128, 128, &tp_));
  Screen moved(1, VzRect{10, 0, 522, 256});
  EXPECT_EQ(0, side_.pipeline.OnScreenData(moved.Capture(VzRect{0, 0, 10, 10}), side_.frames, 128, 128, &tp_));
  EXPECT_EQ(0, side_.pipeline.OnScreenData(nullptr, side_.frames, 128, 128, &tp_));

  // A box past the right edge would write into the next rows.
  CaptureScreenData* wide = screen_->Capture(VzRect{500, 0, 512, 10});
  wide->DirtyRect.right = 600;
  EXPECT_EQ(0, side_.pipeline.OnScreenData(wide, side_.frames, 128, 128, &tp_));
  CaptureScreenData* negative = screen_->Capture(VzRect{0, 0, 10, 10});
  negative->DirtyRect.top = -1;
  EXPECT_EQ(0, side_.pipeline.OnScreenData(negative, side_.frames, 128, 128, &tp_));
  CaptureScreenData* short_data = screen_->Capture(VzRect{0, 0, 10, 10});
  short_data->DataSize -= 4;
  EXPECT_EQ(0, side_.pipeline.OnScreenData(short_data, side_.frames, 128, 128, &tp_));
  EXPECT_TRUE(tp_.sent.empty());
}

TEST_F(TilePipelineTest, AnEmptyBoxSendsNothingAndKeepsTheShownCachesFresh) {
  Share(1, 256, 128);
  screen_->Pattern(VzRect{0, 0, 256, 128}, 5);
  ASSERT_EQ(1, Update(VzRect{0, 0, 256, 128}));
  const uint32_t shown = Blocks()[0].cache_index;
  tp_.Clear();
  const uint32_t before = side_.caches.GetAt(static_cast<int32_t>(shown))->StampForTesting();
  EXPECT_EQ(1, Update(VzRect{40, 40, 200, 40}));
  EXPECT_TRUE(tp_.sent.empty());
  EXPECT_GT(side_.caches.GetAt(static_cast<int32_t>(shown))->StampForTesting(), before);
}

TEST_F(TilePipelineTest, ImagesAreFreedOnceSentAndAFailedSendStillFreesThem) {
  Share(1, 256, 128);
  screen_->Pattern(VzRect{0, 0, 256, 128}, 6);
  tp_.result = 0;
  ASSERT_EQ(1, Update(VzRect{0, 0, 256, 128}));
  EXPECT_EQ(1, tp_.Count(DS_DATA_CREATE_BLOCKS));  // blocks still go after a failed caches send
  for (const auto& c : Caches()) {
    SCOPED_TRACE(testing::Message() << "cache " << c.index);
    const CCacheEntry* entry = side_.caches.GetAt(static_cast<int32_t>(c.index));
    EXPECT_EQ(nullptr, entry->Slots[0].Data);
    EXPECT_EQ(0, entry->Slots[0].Type);
    EXPECT_EQ(c.pdu_id, entry->PduId);
  }
}

TEST_F(TilePipelineTest, WithoutACodecCachesGoWithoutAnImage) {
  CTilePipeline bare(side_.caches, side_.keyframes, nullptr);
  Share(1, 128, 128);
  screen_->Pattern(VzRect{0, 0, 128, 128}, 7);
  ASSERT_EQ(1, bare.OnScreenData(screen_->Capture(VzRect{0, 0, 128, 128}), side_.frames, 128, 128, &tp_));
  ASSERT_EQ(1u, Caches().size());
  EXPECT_EQ(CTilePipeline::kDsCacheJpeg, Caches()[0].type);
  EXPECT_TRUE(Caches()[0].bytes.empty());
}

}  // namespace
