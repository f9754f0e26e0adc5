// The presenter's tile pipeline per screen update, and the attendee's
// rebuild of a full frame, each beside its floor measured in the same run:
// MD5 (libcrypto) plus TurboJPEG at the same quality over the same tiles,
// called directly with one reused handle and buffer (presenter); TurboJPEG
// decoding the same tiles straight into a frame (attendee).
//
// Every presenter iteration changes one pixel in each changed tile, so every
// tile is a new image, as when the screen's content really changes.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sharing/engine/engine_rig_testlib.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kBlock = 128;

// A full 1920 x 1080 change, and a 10% one (576 x 360, 15 blocks).
const VzRect kFull{0, 0, kWidth, kHeight};
const VzRect kTenth{512, 256, 1088, 616};

// The tiles of `box` widened to the block grid as the pipeline widens it.
std::vector<VzRect> TilesOf(VzRect box) {
  const int right = std::min((box.right / kBlock + 1) * kBlock, kWidth);
  const int bottom = std::min((box.bottom / kBlock + 1) * kBlock, kHeight);
  std::vector<VzRect> tiles;
  for (int y = box.top / kBlock * kBlock; y < bottom; y += kBlock) {
    for (int x = box.left / kBlock * kBlock; x < right; x += kBlock) {
      tiles.push_back(VzRect{x, y, std::min(x + kBlock, kWidth), std::min(y + kBlock, kHeight)});
    }
  }
  return tiles;
}

// Changes one pixel in each tile of `box` that the box touches.
void Touch(ds_test::Screen& screen, VzRect box, uint32_t round) {
  for (const VzRect& tile : TilesOf(box)) {
    const int x = std::max(tile.left, box.left), y = std::max(tile.top, box.top);
    if (x < box.right && y < box.bottom) screen.At(x, y) = 0xFF000000u | round;
  }
}

void Presenter(benchmark::State& state, VzRect box) {
  CCodecMgrWin* codec = CreateCodecMgr();
  if (codec == nullptr || !codec->IsLoaded()) {
    state.SkipWithError("libjpeg9b.so not found beside the benchmark");
    return;
  }
  ds_test::Side side(codec);
  ds_test::Screen screen(1, kFull);
  screen.Pattern(kFull, 1);
  auto info = ds_test::Sharing({ds_test::Monitor(1, kFull)}, kFull);
  HandleCapturedSharingInfo(info.get(), side.State(), nullptr, nullptr);
  uint32_t round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Touch(screen, box, ++round);
    CaptureScreenData* data = screen.Capture(box);
    state.ResumeTiming();
    side.pipeline.OnScreenData(data, side.frames, kBlock, kBlock, nullptr);
  }
  state.counters["tiles"] = static_cast<double>(TilesOf(box).size());
  delete codec;
}

void Floor(benchmark::State& state, VzRect box) {
  ds_test::Screen screen(1, kFull);
  screen.Pattern(kFull, 1);
  const auto tiles = TilesOf(box);
  tjhandle jpeg = tjInitCompress();
  std::vector<unsigned char> out(tjBufSize(kBlock, kBlock, TJSAMP_420));
  EVP_MD_CTX* md5 = EVP_MD_CTX_new();
  const auto* base = reinterpret_cast<const uint8_t*>(screen.pixels());
  const size_t stride = kWidth * 4;
  uint32_t round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Touch(screen, box, ++round);
    state.ResumeTiming();
    for (const VzRect& tile : tiles) {
      const uint8_t* first = base + stride * tile.top + 4 * tile.left;
      uint8_t digest[16];
      unsigned int length = 0;
      EVP_DigestInit_ex(md5, EVP_md5(), nullptr);
      for (int y = 0; y < tile.bottom - tile.top; ++y) EVP_DigestUpdate(md5, first + stride * y, 4 * (tile.right - tile.left));
      EVP_DigestFinal_ex(md5, digest, &length);
      benchmark::DoNotOptimize(digest);
      unsigned char* written = out.data();
      unsigned long size = out.size();
      tjCompress2(jpeg, first, tile.right - tile.left, static_cast<int>(stride), tile.bottom - tile.top, TJPF_BGRX,
                  &written, &size, TJSAMP_420, 75, TJFLAG_NOREALLOC);
      benchmark::DoNotOptimize(written);
    }
  }
  state.counters["tiles"] = static_cast<double>(tiles.size());
  EVP_MD_CTX_free(md5);
  tjDestroy(jpeg);
}

void BM_PresenterFull1080p(benchmark::State& state) { Presenter(state, kFull); }
void BM_FloorFull1080p(benchmark::State& state) { Floor(state, kFull); }
void BM_PresenterTenthOf1080p(benchmark::State& state) { Presenter(state, kTenth); }
void BM_FloorTenthOf1080p(benchmark::State& state) { Floor(state, kTenth); }
BENCHMARK(BM_PresenterFull1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFull1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresenterTenthOf1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorTenthOf1080p)->Unit(benchmark::kMillisecond);

// The caches and blocks of one full 1080p update, as an attendee receives them.
struct FullUpdate {
  std::vector<std::string> tiles;  // JPEG bytes, in block order
  std::vector<VzRect> rects;
};

FullUpdate MakeFullUpdate(CCodecMgrWin* codec) {
  ds_test::Side presenter(codec);
  ds_test::RecordingTransport tp;
  ds_test::Screen screen(1, kFull);
  screen.Pattern(kFull, 7);
  auto info = ds_test::Sharing({ds_test::Monitor(1, kFull)}, kFull);
  HandleCapturedSharingInfo(info.get(), presenter.State(), nullptr, &tp);
  presenter.pipeline.OnScreenData(screen.Capture(kFull), presenter.frames, kBlock, kBlock, &tp);
  FullUpdate update;
  for (const auto& m : tp.sent) {
    for (const auto& c : m.caches) update.tiles.push_back(c.bytes);
    for (const auto& b : m.blocks) update.rects.push_back(b.rect);
  }
  return update;
}

void BM_AttendeeFull1080p(benchmark::State& state) {
  CCodecMgrWin* codec = CreateCodecMgr();
  if (codec == nullptr || !codec->IsLoaded()) {
    state.SkipWithError("libjpeg9b.so not found beside the benchmark");
    return;
  }
  const FullUpdate update = MakeFullUpdate(codec);
  ds_test::Side attendee(codec);
  auto info = ds_test::Sharing({ds_test::Monitor(1, kFull)}, kFull);
  HandleSharingInfo(info.get(), attendee.State(), nullptr);
  std::vector<VzObjectPtr<CCacheEntry>> caches;
  std::vector<CCacheEntry*> cache_list;
  for (size_t i = 0; i < update.tiles.size(); ++i) {
    caches.emplace_back(new CCacheEntry(static_cast<uint32_t>(100 + i)));
    caches.back()->PduId = 1;
    caches.back()->SetSlot(0, CFrameRebuild::kDsCacheJpeg, update.tiles[i].data(),
                           static_cast<uint32_t>(update.tiles[i].size()));
    cache_list.push_back(caches.back().get());
  }
  attendee.rebuild.OnCaches(cache_list.data(), static_cast<int32_t>(cache_list.size()));
  std::vector<VzObjectPtr<CKeyframeEntry>> blocks;
  std::vector<CKeyframeEntry*> block_list;
  for (size_t i = 0; i < update.rects.size(); ++i) {
    blocks.emplace_back(new CKeyframeEntry(static_cast<uint32_t>(i)));
    block_list.push_back(blocks.back().get());
  }
  uint32_t round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Drawing clears the blocks it drew; each round brings them anew.
    ++round;
    for (size_t i = 0; i < blocks.size(); ++i) {
      CKeyframeEntry& b = *blocks[i];
      b.Index = static_cast<uint32_t>(i);
      b.PduId = round;
      b.MonitorId = 1;
      b.Position = 101 + static_cast<uint32_t>(i);
      b.CacheIndex = static_cast<uint32_t>(100 + i);
      b.CachePduId = 1;
      b.Rect = update.rects[i];
    }
    state.ResumeTiming();
    attendee.rebuild.OnBlocks(block_list.data(), static_cast<int32_t>(block_list.size()), nullptr, nullptr);
  }
  state.counters["tiles"] = static_cast<double>(update.rects.size());
  delete codec;
}
BENCHMARK(BM_AttendeeFull1080p)->Unit(benchmark::kMillisecond);

void BM_AttendeeFloorFull1080p(benchmark::State& state) {
  CCodecMgrWin* codec = CreateCodecMgr();
  if (codec == nullptr || !codec->IsLoaded()) {
    state.SkipWithError("libjpeg9b.so not found beside the benchmark");
    return;
  }
  const FullUpdate update = MakeFullUpdate(codec);
  delete codec;
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
  tjhandle jpeg = tjInitDecompress();
  for (auto _ : state) {
    for (size_t i = 0; i < update.tiles.size(); ++i) {
      const VzRect& r = update.rects[i];
      tjDecompress2(jpeg, reinterpret_cast<const unsigned char*>(update.tiles[i].data()),
                    static_cast<unsigned long>(update.tiles[i].size()),
                    frame.data() + static_cast<size_t>(r.top) * kWidth * 4 + static_cast<size_t>(r.left) * 4,
                    r.right - r.left, kWidth * 4, r.bottom - r.top, TJPF_BGRX, 0);
    }
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["tiles"] = static_cast<double>(update.tiles.size());
  tjDestroy(jpeg);
}
BENCHMARK(BM_AttendeeFloorFull1080p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
