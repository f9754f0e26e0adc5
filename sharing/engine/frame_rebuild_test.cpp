#include "sharing/engine/frame_rebuild.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sharing/engine/engine_rig_testlib.h"

namespace {

using ds_test::LosslessCodec;
using ds_test::RecordingClient;
using ds_test::RecordingTransport;
using ds_test::Screen;
using ds_test::Side;

// A presenter and an attendee joined by the wire bytes: whatever the
// presenter sends reaches the attendee through the message reader.
class FrameRebuildTest : public ::testing::Test {
 protected:
  void Share(std::vector<Screen*> screens) {
    std::vector<MonitorInfo> monitors;
    VzRect all{0, 0, 0, 0};
    for (Screen* s : screens) {
      monitors.push_back(ds_test::Monitor(s->id(), s->rect()));
      all.right = std::max(all.right, s->rect().right);
      all.bottom = std::max(all.bottom, s->rect().bottom);
    }
    auto info = ds_test::Sharing(monitors, all);
    HandleCapturedSharingInfo(info.get(), presenter_.State(), nullptr, &to_attendee_);
    Relay();
  }
  // Hands everything the presenter sent to the attendee.
  void Relay() {
    for (const std::string& bytes : to_attendee_.wire) attendee_.Receive(bytes, &requests_, &client_);
    to_attendee_.Clear();
  }
  int32_t Update(Screen& screen, VzRect box) {
    return presenter_.pipeline.OnScreenData(screen.Capture(box), presenter_.frames, 128, 128, &to_attendee_);
  }
  // Pixel equality of the attendee's frame with the presenter's screen.
  ::testing::AssertionResult SameAsPresenter(Screen& screen) {
    const CMonitorData* frame = attendee_.frames.Find(screen.id());
    if (frame == nullptr) return ::testing::AssertionFailure() << "no frame";
    for (int y = 0; y < screen.height(); ++y) {
      if (std::memcmp(frame->pixels() + frame->Stride() * y, &screen.At(0, y), frame->Stride()) != 0) {
        return ::testing::AssertionFailure() << "row " << y << " differs";
      }
    }
    return ::testing::AssertionSuccess();
  }
  // A block record as the wire brings it.
  static VzObjectPtr<CKeyframeEntry> Block(uint32_t index, uint32_t pdu, uint32_t monitor, uint32_t cache_index,
                                           uint32_t cache_pdu, VzRect rect) {
    VzObjectPtr<CKeyframeEntry> block(new CKeyframeEntry(index));
    block->PduId = pdu;
    block->MonitorId = monitor;
    block->Position = 101;
    block->CacheIndex = cache_index;
    block->CachePduId = cache_pdu;
    block->Rect = rect;
    return block;
  }
  // A cache holding a lossless tile of `w` x `h` pixels of `colour`.
  VzObjectPtr<CCacheEntry> Tile(uint32_t index, uint32_t pdu, int w, int h, uint32_t colour) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, colour);
    int size = 0;
    uint8_t* bytes = codec_.DoCompress(w, h, 32, 75, w * 4, reinterpret_cast<const uint8_t*>(pixels.data()), &size);
    VzObjectPtr<CCacheEntry> cache(new CCacheEntry(index));
    cache->PduId = pdu;
    cache->SetSlot(0, CFrameRebuild::kDsCacheJpeg, bytes, static_cast<uint32_t>(size));
    std::free(bytes);
    return cache;
  }
  void Blocks(std::vector<CKeyframeEntry*> list) {
    attendee_.rebuild.OnBlocks(list.data(), static_cast<int32_t>(list.size()), &requests_, &client_);
  }
  void Caches(std::vector<CCacheEntry*> list) {
    attendee_.rebuild.OnCaches(list.data(), static_cast<int32_t>(list.size()));
  }
  uint32_t PixelAt(int32_t monitor, int x, int y) {
    const CMonitorData* frame = attendee_.frames.Find(monitor);
    uint32_t pixel = 0;
    std::memcpy(&pixel, frame->pixels() + frame->Stride() * y + x * 4, 4);
    return pixel;
  }

  LosslessCodec codec_;
  vz::FakeClock clock_{1000};
  Side presenter_{&codec_};
  Side attendee_{&codec_, CMonitorFrames::kDefaultByteBudget, &clock_};
  RecordingTransport to_attendee_;
  RecordingTransport requests_;  // what the attendee asks for
  RecordingClient client_;
};

TEST_F(FrameRebuildTest, CaptureSequencesOnTwoMonitorsLeaveTheAttendeePixelEqual) {
  Screen small(1, VzRect{0, 0, 1600, 900});
  Screen large(2, VzRect{1600, 0, 3520, 1080});
  Share({&small, &large});
  EXPECT_EQ((std::vector<int32_t>{1, 2}), client_.shared);

  small.Pattern(VzRect{0, 0, 1600, 900}, 1);
  large.Pattern(VzRect{0, 0, 1920, 1080}, 2);
  ASSERT_EQ(1, Update(small, VzRect{0, 0, 1600, 900}));
  ASSERT_EQ(1, Update(large, VzRect{0, 0, 1920, 1080}));
  Relay();
  EXPECT_TRUE(SameAsPresenter(small));
  EXPECT_TRUE(SameAsPresenter(large));

  // A partial change at the ragged corner, an unchanged frame, and one
  // image moved to another block.
  small.Pattern(VzRect{1500, 850, 1600, 900}, 3);
  ASSERT_EQ(1, Update(small, VzRect{1500, 850, 1600, 900}));
  ASSERT_EQ(1, Update(large, VzRect{0, 0, 1920, 1080}));
  EXPECT_EQ(1, to_attendee_.Count(DS_DATA_CREATE_BLOCKS));  // only the corner
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) large.At(512 + x, 256 + y) = large.At(x, y);
  ASSERT_EQ(1, Update(large, VzRect{512, 256, 640, 384}));
  EXPECT_EQ(1, to_attendee_.Count(DS_DATA_CREATE_CACHES));  // the corner only: the moved image is cached
  Relay();
  EXPECT_TRUE(SameAsPresenter(small));
  EXPECT_TRUE(SameAsPresenter(large));
  EXPECT_TRUE(requests_.sent.empty());
}

TEST_F(FrameRebuildTest, MissingCachesAreAskedForOnceAndDrawnTogetherWhenAllAreHere) {
  Screen screen(1, VzRect{0, 0, 512, 256});
  Share({&screen});
  client_.updates.clear();
  auto a = Block(0, 50, 1, 21, 40, VzRect{0, 0, 128, 128});
  auto b = Block(1, 51, 1, 21, 40, VzRect{128, 0, 256, 128});
  auto c = Block(2, 52, 1, 22, 41, VzRect{256, 128, 384, 256});
  Blocks({a.get(), b.get(), c.get()});
  ASSERT_EQ(1u, requests_.sent.size());
  EXPECT_EQ(DS_DATA_GET_CACHES, requests_.sent[0].type);
  ASSERT_EQ(2u, requests_.sent[0].blocks.size());  // cache 21 once, cache 22
  EXPECT_EQ(21u, requests_.sent[0].blocks[0].cache_index);
  EXPECT_EQ(22u, requests_.sent[0].blocks[1].cache_index);

  // One answer arrives: still a gap, nothing drawn.
  auto first = Tile(21, 40, 128, 128, 0xFF0000FFu);
  Caches({first.get()});
  attendee_.rebuild.OnRequestCaches(nullptr, 0, attendee_.cursor, &client_);
  EXPECT_TRUE(client_.updates.empty());
  EXPECT_EQ(0xFF606060u, PixelAt(1, 0, 0));

  auto second = Tile(22, 41, 128, 128, 0xFF00FF00u);
  Caches({second.get()});
  std::vector<CKeyframeEntry*> answer{c.get()};
  attendee_.rebuild.OnRequestCaches(answer.data(), 1, attendee_.cursor, &client_);
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 0, 0));
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 255, 127));
  EXPECT_EQ(0xFF00FF00u, PixelAt(1, 383, 255));
  ASSERT_EQ(1u, client_.updates.size());
  EXPECT_EQ(0, client_.updates[0].rect.left);
  EXPECT_EQ(384, client_.updates[0].rect.right);
  EXPECT_EQ(256, client_.updates[0].rect.bottom);
  EXPECT_EQ(1, attendee_.rebuild.CheckPendingKeyframe(&client_));  // cleared: nothing pending
}

TEST_F(FrameRebuildTest, UnitedRectangleIsCutToEachMonitorItTouches) {
  Screen left(1, VzRect{0, 0, 256, 256});
  Screen right(2, VzRect{256, 0, 512, 256});
  Share({&left, &right});
  client_.updates.clear();
  auto tile = Tile(30, 9, 128, 128, 0xFFABCDEFu);
  Caches({tile.get()});
  auto a = Block(0, 1, 1, 30, 9, VzRect{128, 128, 256, 256});
  auto b = Block(1, 2, 2, 30, 9, VzRect{0, 0, 128, 128});
  Blocks({a.get(), b.get()});
  ASSERT_EQ(2u, client_.updates.size());
  EXPECT_EQ(1, client_.updates[0].monitor_id);
  EXPECT_EQ(128, client_.updates[0].rect.left);
  EXPECT_EQ(256, client_.updates[0].rect.right);
  EXPECT_EQ(2, client_.updates[1].monitor_id);
  EXPECT_EQ(0, client_.updates[1].rect.left);
  EXPECT_EQ(128, client_.updates[1].rect.right);
  EXPECT_EQ(0xFFABCDEFu, PixelAt(2, 0, 0));
}

TEST_F(FrameRebuildTest, MalformedBlocksAndCachesAreRefusedWithoutTouchingMemory) {
  Screen screen(1, VzRect{0, 0, 256, 256});
  Share({&screen});
  client_.updates.clear();
  auto tile = Tile(30, 9, 128, 128, 0xFF112233u);
  auto small_tile = Tile(31, 10, 64, 64, 0xFF445566u);
  Caches({tile.get(), small_tile.get()});

  auto past_right = Block(0, 1, 1, 30, 9, VzRect{200, 0, 328, 128});
  auto negative_top = Block(1, 2, 1, 30, 9, VzRect{0, -64, 128, 64});
  auto inverted = Block(2, 3, 1, 30, 9, VzRect{128, 128, 0, 0});
  auto wrong_size = Block(3, 4, 1, 31, 10, VzRect{128, 128, 256, 256});  // 64 x 64 tile in a 128 x 128 block
  Blocks({past_right.get(), negative_top.get(), inverted.get(), wrong_size.get()});
  EXPECT_TRUE(requests_.sent.empty());
  ASSERT_EQ(1u, client_.updates.size());  // only the size mismatch counts as changed, unpainted
  EXPECT_EQ(0xFF606060u, PixelAt(1, 128, 128));
  for (int y = 0; y < 256; y += 17)
    for (int x = 0; x < 256; x += 17) EXPECT_EQ(0xFF606060u, PixelAt(1, x, y)) << "at (" << x << ", " << y << ")";
}

TEST_F(FrameRebuildTest, CacheIndicesTheTableCannotHoldNeverWedgeTheFrame) {
  Screen screen(1, VzRect{0, 0, 256, 128});
  Share({&screen});
  // A cache claiming entry 0 would make every cleared block look missing.
  auto zero = Tile(0, 5, 128, 128, 0xFF000000u);
  Caches({zero.get()});
  EXPECT_EQ(0u, attendee_.caches.Find(0, 0)->PduId);
  // Blocks naming caches that can never arrive are dropped, not requested.
  auto huge = Block(0, 1, 1, 0xFFFFFFFFu, 3, VzRect{0, 0, 128, 128});
  auto zero_index = Block(1, 2, 1, 0, 5, VzRect{0, 0, 128, 128});
  Blocks({huge.get(), zero_index.get()});
  EXPECT_TRUE(requests_.sent.empty());
  EXPECT_LE(attendee_.caches.GetCountForTesting(), static_cast<int32_t>(CCacheController::kCacheIndexEnd));
  // The frame still draws the next good block.
  auto tile = Tile(25, 6, 128, 128, 0xFF010203u);
  Caches({tile.get()});
  auto good = Block(2, 3, 1, 25, 6, VzRect{128, 0, 256, 128});
  Blocks({good.get()});
  EXPECT_EQ(0xFF010203u, PixelAt(1, 200, 10));
}

TEST_F(FrameRebuildTest, ABlockOfAnUnknownCacheIsRequestedAndHoldsTheRestBack) {
  Screen screen(1, VzRect{0, 0, 256, 128});
  Share({&screen});
  client_.updates.clear();
  auto tile = Tile(25, 6, 128, 128, 0xFF010203u);
  Caches({tile.get()});
  auto known = Block(0, 1, 1, 25, 6, VzRect{0, 0, 128, 128});
  auto unknown = Block(1, 2, 1, 26, 99, VzRect{128, 0, 256, 128});
  Blocks({known.get(), unknown.get()});
  ASSERT_EQ(1u, requests_.sent.size());
  ASSERT_EQ(1u, requests_.sent[0].blocks.size());
  EXPECT_EQ(26u, requests_.sent[0].blocks[0].cache_index);
  EXPECT_EQ(99u, requests_.sent[0].blocks[0].cache_pdu_id);
  EXPECT_EQ(0xFF606060u, PixelAt(1, 0, 0));
  EXPECT_TRUE(client_.updates.empty());
  // Without a transport the gap is found and nothing is drawn.
  attendee_.rebuild.OnBlocks(nullptr, 0, nullptr, &client_);
  EXPECT_TRUE(client_.updates.empty());
}

// A cache that never comes: asked again on the schedule, then its block is
// given up so that the blocks behind it draw, and a block naming it again
// no longer holds anything back.
TEST_F(FrameRebuildTest, ACacheThatNeverComesIsAskedAgainThenItsBlockIsGivenUp) {
  Screen screen(1, VzRect{0, 0, 384, 128});
  Share({&screen});
  client_.updates.clear();
  auto never = Block(0, 1, 1, 26, 99, VzRect{0, 0, 128, 128});
  Blocks({never.get()});
  ASSERT_EQ(1, requests_.Count(DS_DATA_GET_CACHES));
  EXPECT_TRUE(attendee_.rebuild.IsWaiting());

  // A later update whose cache is here waits behind the gap.
  auto tile = Tile(25, 6, 128, 128, 0xFF0A0B0Cu);
  Caches({tile.get()});
  auto later = Block(1, 2, 1, 25, 6, VzRect{128, 0, 256, 128});
  Blocks({later.get()});
  EXPECT_EQ(0xFF606060u, PixelAt(1, 130, 0));
  EXPECT_EQ(1, requests_.Count(DS_DATA_GET_CACHES));  // not due yet

  // Asked again once a second, never more than the schedule allows.
  for (int tick = 0; tick < 16; ++tick) {
    clock_.AdvanceMs(CFrameRebuild::kAskAgainMs / 4);
    EXPECT_TRUE(attendee_.rebuild.OnWaitTick(&requests_, &client_)) << "tick " << tick;
  }
  EXPECT_EQ(CFrameRebuild::kMaxAsks, requests_.Count(DS_DATA_GET_CACHES));
  EXPECT_EQ(99u, requests_.sent.back().blocks.at(0).cache_pdu_id);
  EXPECT_TRUE(client_.updates.empty());

  // The deadline: the missing block is dropped and the later one drawn.
  clock_.SetMs(1000 + CFrameRebuild::kGiveUpMs);
  EXPECT_FALSE(attendee_.rebuild.OnWaitTick(&requests_, &client_));
  EXPECT_EQ(0xFF0A0B0Cu, PixelAt(1, 130, 0));
  EXPECT_EQ(0xFF606060u, PixelAt(1, 0, 0));
  ASSERT_EQ(1u, client_.updates.size());
  EXPECT_EQ(128, client_.updates[0].rect.left);
  EXPECT_EQ(CFrameRebuild::kMaxAsks, requests_.Count(DS_DATA_GET_CACHES));

  // The same missing cache named again is dropped at once: the update
  // beside it draws without a new wait.
  auto again = Block(0, 3, 1, 26, 99, VzRect{0, 0, 128, 128});
  auto beside = Block(2, 4, 1, 25, 6, VzRect{256, 0, 384, 128});
  Blocks({again.get(), beside.get()});
  EXPECT_EQ(0xFF0A0B0Cu, PixelAt(1, 300, 0));
  EXPECT_FALSE(attendee_.rebuild.IsWaiting());
}

// Block messages alone (no timer) move the schedule too: a member that
// keeps naming an unsent cache in every update freezes the frame for the
// deadline at most.
TEST_F(FrameRebuildTest, UpdatesNamingAnUnsentCacheEachTimeFreezeTheFrameOnlyUntilTheDeadline) {
  Screen screen(1, VzRect{0, 0, 256, 128});
  Share({&screen});
  auto tile = Tile(25, 6, 128, 128, 0xFF102030u);
  Caches({tile.get()});
  uint32_t pdu = 10;
  bool drawn = false;
  uint64_t waited = 0;
  for (; waited <= 2 * CFrameRebuild::kGiveUpMs && !drawn; waited += 100) {
    auto bad = Block(0, ++pdu, 1, 30, 77, VzRect{0, 0, 128, 128});
    auto good = Block(1, ++pdu, 1, 25, 6, VzRect{128, 0, 256, 128});
    Blocks({bad.get(), good.get()});
    drawn = PixelAt(1, 130, 0) == 0xFF102030u;
    clock_.AdvanceMs(100);
  }
  EXPECT_TRUE(drawn);
  EXPECT_LE(waited, CFrameRebuild::kGiveUpMs + 100);
}

// One cache larger than the largest shared monitor's frame is refused.
TEST_F(FrameRebuildTest, ACacheLargerThanAnyMonitorNeedsIsRefused) {
  Screen screen(1, VzRect{0, 0, 1024, 768});
  Share({&screen});
  const uint64_t limit = attendee_.rebuild.CacheLimitBytes();
  EXPECT_EQ(1024u * 768u * 4u, limit);
  std::vector<uint8_t> bytes(limit + 1, 0x55);
  VzObjectPtr<CCacheEntry> huge(new CCacheEntry(40));
  huge->PduId = 8;
  huge->SetSlot(0, CFrameRebuild::kDsCacheJpeg, bytes.data(), static_cast<uint32_t>(bytes.size()));
  VzObjectPtr<CCacheEntry> fits(new CCacheEntry(41));
  fits->PduId = 9;
  fits->SetSlot(0, CFrameRebuild::kDsCacheJpeg, bytes.data(), static_cast<uint32_t>(limit));
  Caches({huge.get(), fits.get()});
  EXPECT_EQ(nullptr, attendee_.caches.Find(40, 8));
  EXPECT_NE(nullptr, attendee_.caches.Find(41, 9));
}

TEST_F(FrameRebuildTest, NonJpegCachesAreNotPaintedButCountAsChanged) {
  Screen screen(1, VzRect{0, 0, 256, 128});
  Share({&screen});
  client_.updates.clear();
  VzObjectPtr<CCacheEntry> png(new CCacheEntry(40));
  png->PduId = 8;
  png->SetSlot(0, 30, "not a tile", 10);
  Caches({png.get()});
  auto block = Block(0, 1, 1, 40, 8, VzRect{128, 0, 256, 128});
  Blocks({block.get()});
  ASSERT_EQ(1u, client_.updates.size());
  EXPECT_EQ(128, client_.updates[0].rect.left);
  EXPECT_EQ(0xFF606060u, PixelAt(1, 130, 0));
}

// A presenter naming one picture in block after block over the same place:
// the picture is decoded once, for the last block, and what the attendee
// sees is what the last block shows. An earlier block under a later,
// smaller one still shows round it.
TEST_F(FrameRebuildTest, BlocksUnderALaterBlockAreNotDrawn) {
  Screen screen(1, VzRect{0, 0, 256, 256});
  Share({&screen});
  client_.updates.clear();
  auto whole = Tile(30, 9, 256, 256, 0xFF0000FFu);
  Caches({whole.get()});
  constexpr uint32_t kRepeats = 1500;
  std::vector<VzObjectPtr<CKeyframeEntry>> held;
  std::vector<CKeyframeEntry*> blocks;
  for (uint32_t i = 0; i < kRepeats; ++i) {
    held.push_back(Block(i, 100 + i, 1, 30, 9, VzRect{0, 0, 256, 256}));
    blocks.push_back(held.back().get());
  }
  codec_.decompressions = 0;
  Blocks(blocks);
  EXPECT_EQ(1, codec_.decompressions);
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 0, 0));
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 255, 255));
  ASSERT_EQ(1u, client_.updates.size());
  EXPECT_EQ(256, client_.updates[0].rect.right);
  EXPECT_EQ(256, client_.updates[0].rect.bottom);

  // Earlier and larger, then later and smaller inside it: both drawn, the
  // later one on top.
  auto small = Tile(31, 10, 128, 128, 0xFF00FF00u);
  Caches({small.get()});
  auto under = Block(0, 5000, 1, 30, 9, VzRect{0, 0, 256, 256});
  auto over = Block(1, 5001, 1, 31, 10, VzRect{64, 64, 192, 192});
  codec_.decompressions = 0;
  Blocks({under.get(), over.get()});
  EXPECT_EQ(2, codec_.decompressions);
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 10, 10));
  EXPECT_EQ(0xFF00FF00u, PixelAt(1, 100, 100));
  EXPECT_EQ(0xFF0000FFu, PixelAt(1, 200, 200));
}

// The cells of a screen that show the same picture (a plain background)
// cost one decode, and every cell shows its picture.
TEST_F(FrameRebuildTest, APictureNamedByManyCellsIsDecodedOnceAndCopied) {
  Screen screen(1, VzRect{0, 0, 512, 256});
  Share({&screen});
  auto plain = Tile(30, 9, 128, 128, 0xFF203040u);
  auto other = Tile(31, 10, 128, 128, 0xFF506070u);
  Caches({plain.get(), other.get()});
  std::vector<VzObjectPtr<CKeyframeEntry>> held;
  std::vector<CKeyframeEntry*> blocks;
  for (int cell = 0; cell < 8; ++cell) {
    const int x = cell % 4 * 128;
    const int y = cell / 4 * 128;
    const bool odd_one = cell == 5;
    held.push_back(Block(static_cast<uint32_t>(cell), 10 + static_cast<uint32_t>(cell), 1, odd_one ? 31 : 30,
                         odd_one ? 10 : 9, VzRect{x, y, x + 128, y + 128}));
    blocks.push_back(held.back().get());
  }
  codec_.decompressions = 0;
  Blocks(blocks);
  EXPECT_EQ(2, codec_.decompressions);
  for (int cell = 0; cell < 8; ++cell) {
    const uint32_t want = cell == 5 ? 0xFF506070u : 0xFF203040u;
    for (int corner = 0; corner < 4; ++corner) {
      const int x = cell % 4 * 128 + (corner % 2) * 127;
      const int y = cell / 4 * 128 + (corner / 2) * 127;
      EXPECT_EQ(want, PixelAt(1, x, y)) << "cell " << cell << " at (" << x << ", " << y << ")";
    }
  }
}

// Blocks that overlap without covering one another (no honest presenter
// sends them) are drawn in order up to a few monitor areas, their one
// picture decoded once; the rest are refused.
TEST_F(FrameRebuildTest, OverlappingBlocksPaintAFewMonitorAreasAtMost) {
  Screen screen(1, VzRect{0, 0, 256, 256});
  Share({&screen});
  auto tile = Tile(30, 9, 128, 128, 0xFF445566u);
  auto last = Tile(31, 10, 128, 128, 0xFF00FF00u);
  Caches({tile.get(), last.get()});
  constexpr uint32_t kBlocks = 2000;
  std::vector<VzObjectPtr<CKeyframeEntry>> held;
  std::vector<CKeyframeEntry*> blocks;
  for (uint32_t i = 0; i < kBlocks; ++i) {
    const auto x = static_cast<int32_t>(i % 128);
    const auto y = static_cast<int32_t>(i / 128 % 128);
    const bool is_last = i + 1 == kBlocks;
    held.push_back(Block(i, 10 + i, 1, is_last ? 31 : 30, is_last ? 10 : 9, VzRect{x, y, x + 128, y + 128}));
    blocks.push_back(held.back().get());
  }
  codec_.decompressions = 0;
  Blocks(blocks);
  EXPECT_EQ(1, codec_.decompressions);
  EXPECT_EQ(CFrameRebuild::kDrawAreas * 256 * 256, attendee_.rebuild.DrawBudgetPixels());
  EXPECT_EQ(0xFF445566u, PixelAt(1, 0, 0));  // the first blocks are drawn
  // The last block, past the budget, is not: its corner beyond the blocks
  // drawn keeps the frame's first grey.
  EXPECT_EQ(0xFF606060u, PixelAt(1, 79 + 127, 15 + 127));
}

// The real JPEG codec (jpeg9b, loaded as the engine loads it). One manager
// for the run: the library stays loaded, as in the engine.
CCodecMgrWin& Jpeg() {
  static CCodecMgrWin* codec = CreateCodecMgr();
  return *codec;
}

double Psnr(const CMonitorData& frame, Screen& screen) {
  double squared = 0;
  for (int y = 0; y < screen.height(); ++y) {
    const uint8_t* got = frame.pixels() + frame.Stride() * y;
    const auto* want = reinterpret_cast<const uint8_t*>(&screen.At(0, y));
    for (int x = 0; x < screen.width() * 4; ++x) {
      if (x % 4 == 3) continue;
      const double d = double(got[x]) - double(want[x]);
      squared += d * d;
    }
  }
  const double mse = squared / (3.0 * screen.width() * screen.height());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// The same codec with only the three classic functions, whose decode leaves
// its out value at 0: an attendee must paint with it all the same.
CCodecMgrWin& ClassicJpeg() {
  static CCodecMgrWin* codec = new CCodecMgrWin("jpeg9bclassic");
  return *codec;
}

void RebuildsAbove35DbAndRefusesTilesOfAnotherSize(CCodecMgrWin& attendee_codec) {
  ASSERT_TRUE(Jpeg().IsLoaded());
  ASSERT_TRUE(attendee_codec.IsLoaded());
  Side presenter(&Jpeg());
  Side attendee(&attendee_codec);
  RecordingTransport wire;
  RecordingClient client;
  Screen screen(1, VzRect{0, 0, 1600, 900});
  screen.Gradient(VzRect{0, 0, 1600, 900});
  auto info = ds_test::Sharing({ds_test::Monitor(1, screen.rect())}, screen.rect());
  HandleCapturedSharingInfo(info.get(), presenter.State(), nullptr, &wire);
  ASSERT_EQ(1, presenter.pipeline.OnScreenData(screen.Capture(screen.rect()), presenter.frames, 128, 128, &wire));
  for (const std::string& bytes : wire.wire) attendee.Receive(bytes, nullptr, &client);
  const CMonitorData* frame = attendee.frames.Find(1);
  ASSERT_NE(nullptr, frame);
  EXPECT_GT(Psnr(*frame, screen), 35.0);

  // A 64 x 64 JPEG named by a 128 x 128 block: the decoded size differs.
  std::vector<uint32_t> red(64 * 64, 0xFFFF0000u);
  int size = 0;
  uint8_t* jpeg = Jpeg().DoCompress(64, 64, 32, 75, 64 * 4, reinterpret_cast<const uint8_t*>(red.data()), &size);
  ASSERT_NE(nullptr, jpeg);
  VzObjectPtr<CCacheEntry> cache(new CCacheEntry(4000));
  cache->PduId = 0x7000;
  cache->SetSlot(0, CFrameRebuild::kDsCacheJpeg, jpeg, static_cast<uint32_t>(size));
  std::free(jpeg);
  CCacheEntry* caches[1] = {cache.get()};
  attendee.rebuild.OnCaches(caches, 1);
  VzObjectPtr<CKeyframeEntry> block(new CKeyframeEntry(0));
  block->PduId = 0x7001;
  block->MonitorId = 1;
  block->CacheIndex = 4000;
  block->CachePduId = 0x7000;
  block->Rect = VzRect{0, 0, 128, 128};
  const std::vector<uint8_t> before(frame->pixels(), frame->pixels() + frame->Size());
  CKeyframeEntry* blocks[1] = {block.get()};
  attendee.rebuild.OnBlocks(blocks, 1, nullptr, &client);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), frame->pixels())) << "the refused tile changed the frame";
}

TEST(FrameRebuildJpegTest, JpegTilesRebuildTheFrameAbove35DbAndTilesOfAnotherSizeAreRefused) {
  RebuildsAbove35DbAndRefusesTilesOfAnotherSize(Jpeg());
}

TEST(FrameRebuildJpegTest, ACodecWithOnlyTheThreeClassicFunctionsPaintsTheSameTiles) {
  RebuildsAbove35DbAndRefusesTilesOfAnotherSize(ClassicJpeg());
}

}  // namespace
