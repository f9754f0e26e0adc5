// The engine's hot paths beside their floor, measured in the same run.
//
// Presenter: ms per screen update through CEnginController (with a
// connection that drops what it is given), every changed block a new image,
// with the cache table already full so that each new image evicts, as in a
// long session. Floor: what any implementation must do for the same change,
// with MD5 (libcrypto) and TurboJPEG at quality 75 called directly: MD5 over
// every block of the changed box widened to the block grid (right and bottom
// always move out by a whole block), and one JPEG per block whose pixels
// changed. The engine's own extra work (the copy into its frame, the cache
// and keyframe tables, the codec binding's malloc'ed results) is the gap.
// Cases: a full 1920 x 1080 change; 10% of it (576 x 360 off the grid,
// 15 blocks hashed); 15 blocks on the grid (24 hashed, 15 encoded).
//
// Attendee: ms to apply a full 1080p update (caches and blocks) into its
// frame. Floor: TurboJPEG decoding the same tiles straight into a frame.
// And a hostile presenter's message: one single-colour JPEG of a 4096x4096
// monitor named by 150 blocks that each cover the monitor (an attendee that
// decodes every block pays 150 decodes of the monitor; the message
// had 1,500). Floor: one TurboJPEG decode of that picture into a frame.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/engine/codec_mgr.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int kSide = 128;
constexpr int kQuality = 75;

class QuietClient : public IDSProviderSink {
 public:
  int32_t OnDSStatusNotification(int32_t) override { return 1; }
  int32_t OnDSErrorNotification(int32_t, int32_t) override { return 1; }
  int32_t OnDSCommand(DSCommandRecord*) override { return 1; }
  int32_t OnDSWebBinary(CVZBinaryData*) override { return 1; }
  int32_t OnMonitorUnshared(MonitorInfo*) override { return 1; }
  int32_t OnMonitorShared(MonitorInfo*, uint8_t*) override { return 1; }
  int32_t OnMonitorUpdated(MonitorInfo*, VzRect*) override { return ++updates; }
  int32_t OnMouseUpdated(CursorInfo*) override { return 1; }
  int32_t OnSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnSharingStatus(int32_t) override { return 1; }
  int updates = 0;
};

// Takes everything, sends nothing; keeps the last caches and blocks for the
// attendee's run.
class DroppingTp : public IDSTp {
 public:
  int32_t DSConnect(const DSSessionConfig*, const NetworkProxyEntry*) override { return 1; }
  int32_t DSDisconnect() override { return 1; }
  int32_t DSSendSharingInfo(const SharingInfo*) override { return 1; }
  int32_t DSSendMouseInfo(const CMouseEntry*) override { return 1; }
  int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) override {
    sent_caches += count;
    if (keep) {
      for (int32_t i = 0; i < count; ++i) {
        auto* copy = new CCacheEntry(list[i]->Index);
        copy->PduId = list[i]->PduId;
        copy->SetSlot(0, list[i]->Slots[0].Type, list[i]->Slots[0].Data, list[i]->Slots[0].Size);
        caches.push_back(copy);
      }
    }
    return 1;
  }
  int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) override {
    if (keep) {
      for (int32_t i = 0; i < count; ++i) {
        auto* copy = new CKeyframeEntry(list[i]->Index);
        copy->PduId = list[i]->PduId;
        copy->Position = list[i]->Position;
        copy->CacheIndex = list[i]->CacheIndex;
        copy->CachePduId = list[i]->CachePduId;
        copy->MonitorId = list[i]->MonitorId;
        copy->Rect = list[i]->Rect;
        blocks.push_back(copy);
      }
    }
    return 1;
  }
  int32_t DSRequestKeyFrame() override { return 1; }
  int32_t DSRequestCaches(CKeyframeEntry* const*, int32_t) override { return 1; }
  int32_t DSSendCommand(const DSCommandRecord*) override { return 1; }
  int32_t DSSendWebBinary(const CVZBinaryData*) override { return 1; }

  bool keep = false;
  int64_t sent_caches = 0;
  std::vector<CCacheEntry*> caches;
  std::vector<CKeyframeEntry*> blocks;
};

SharingInfo Desktop(int32_t width = kWidth, int32_t height = kHeight) {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = kSide;
  info.IsDesktopSharing = 1;
  info.SharedRect = {0, 0, width, height};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, width, height};
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

// A desktop-like picture: smooth colours with diagonal stripes.
void Paint(std::vector<uint8_t>& screen) {
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t* p = &screen[(static_cast<size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>(((x + y) / 4) & 0xff);
      p[3] = 0xff;
    }
  }
}

// The blocks of `box` widened to the grid as the engine widens it.
std::vector<VzRect> Blocks(VzRect box) {
  const int32_t right = std::min((box.right / kSide + 1) * kSide, kWidth);
  const int32_t bottom = std::min((box.bottom / kSide + 1) * kSide, kHeight);
  std::vector<VzRect> blocks;
  for (int32_t y = box.top / kSide * kSide; y < bottom; y += kSide) {
    for (int32_t x = box.left / kSide * kSide; x < right; x += kSide) {
      blocks.push_back(VzRect{x, y, std::min(x + kSide, kWidth), std::min(y + kSide, kHeight)});
    }
  }
  return blocks;
}

bool Touches(const VzRect& block, const VzRect& box) {
  return block.left < box.right && box.left < block.right && block.top < box.bottom && box.top < block.bottom;
}

// Changes one pixel inside `box` in every block the box touches, so that
// each of those blocks is a new image; the other widened blocks stay.
void Mark(std::vector<uint8_t>& screen, VzRect box, uint32_t round) {
  for (const VzRect& block : Blocks(box)) {
    if (!Touches(block, box)) continue;
    const int32_t x = std::max(block.left, box.left), y = std::max(block.top, box.top);
    std::memcpy(&screen[(static_cast<size_t>(y) * kWidth + x) * 4], &round, 3);
  }
}

std::vector<uint8_t> Record(const std::vector<uint8_t>& screen, VzRect box) {
  const size_t row_bytes = static_cast<size_t>(box.right - box.left) * 4;
  std::vector<uint8_t> record(sizeof(CaptureScreenData) + row_bytes * (box.bottom - box.top));
  auto* data = reinterpret_cast<CaptureScreenData*>(record.data());
  data->MonitorId = 1;
  data->MonitorRect = {0, 0, kWidth, kHeight};
  data->DirtyRect = box;
  data->BitsPerPixel = 32;
  data->DataSize = static_cast<int32_t>(row_bytes * (box.bottom - box.top));
  data->Data = kCaptureScreenHeaderSize;
  for (int32_t row = box.top; row < box.bottom; ++row) {
    std::memcpy(CaptureScreenPixels(data) + (row - box.top) * row_bytes, &screen[(static_cast<size_t>(row) * kWidth + box.left) * 4],
                row_bytes);
  }
  return record;
}

struct Presenter {
  Presenter() {
    vz::BindTracerForTest(nullptr);
    EngineOptions options;
    options.create_tp = [this](IDSTpSink*) -> IDSTp* { return &tp; };
    options.release_tp = [](IDSTp*) {};
    options.grab_library = "vzgrabnotthere";
    engine = new CEnginController(&client, options);
    DSSessionConfig config{};
    config.IsPresenter = 1;
    engine->StartDS(nullptr, &config, nullptr);
    SharingInfo info = Desktop();
    engine->OnDSKeSharingInfo(&info);
  }
  ~Presenter() {
    engine->DeleteInstance();
    for (auto* c : tp.caches) c->Release();
    for (auto* b : tp.blocks) b->Release();
    vz::RestoreTracerForTest();
  }
  QuietClient client;
  DroppingTp tp;
  CEnginController* engine = nullptr;
};

// The changed boxes (see the top of the file).
VzRect Box(int64_t which) {
  switch (which) {
    case 0: return VzRect{0, 0, kWidth, kHeight};
    case 1: return VzRect{512, 256, 512 + 576, 256 + 360};
    default: return VzRect{512, 256, 512 + 5 * kSide, 256 + 3 * kSide};
  }
}

const char* BoxLabel(int64_t which) {
  return which == 0 ? "full 1080p" : which == 1 ? "10% (576x360)" : "15 blocks on the grid";
}

int64_t EncodedBlocks(VzRect box) {
  const auto blocks = Blocks(box);
  return std::count_if(blocks.begin(), blocks.end(), [&](const VzRect& b) { return Touches(b, box); });
}

void BM_PresenterUpdate(benchmark::State& state) {
  const VzRect box = Box(state.range(0));
  Presenter presenter;
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
  Paint(screen);
  uint32_t round = 1;
  // Fill the cache table first: from then on every new image evicts.
  const int64_t per_update = EncodedBlocks(box);
  for (int64_t made = 0; made < CCacheController::kTileIndexEnd + per_update; made += per_update) {
    Mark(screen, box, round++);
    std::vector<uint8_t> record = Record(screen, box);
    presenter.engine->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data()));
  }
  const int64_t sent_before = presenter.tp.sent_caches;
  for (auto _ : state) {
    state.PauseTiming();
    Mark(screen, box, round++);
    std::vector<uint8_t> record = Record(screen, box);
    state.ResumeTiming();
    presenter.engine->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data()));
  }
  // The floor encodes exactly the blocks the engine made new images for.
  if (presenter.tp.sent_caches - sent_before != per_update * static_cast<int64_t>(state.iterations())) {
    state.SkipWithError("the engine made another number of images than the floor encodes");
  }
  state.counters["hashed"] = static_cast<double>(Blocks(box).size());
  state.counters["encoded"] = static_cast<double>(per_update);
  state.SetLabel(BoxLabel(state.range(0)));
}
BENCHMARK(BM_PresenterUpdate)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// MD5 over every widened block, TurboJPEG over the changed ones: what the
// update cannot go below.
void BM_PresenterFloor(benchmark::State& state) {
  const VzRect box = Box(state.range(0));
  const auto blocks = Blocks(box);
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
  Paint(screen);
  tjhandle handle = tjInitCompress();
  std::vector<unsigned char> jpeg(tjBufSize(kSide, kSide, TJSAMP_420));
  EVP_MD_CTX* md5 = EVP_MD_CTX_new();
  uint32_t round = 1;
  for (auto _ : state) {
    state.PauseTiming();
    Mark(screen, box, round++);
    state.ResumeTiming();
    for (const VzRect& block : blocks) {
      const int w = block.right - block.left;
      const int h = block.bottom - block.top;
      const uint8_t* first = &screen[(static_cast<size_t>(block.top) * kWidth + block.left) * 4];
      unsigned char digest[16];
      unsigned int digest_size = 0;
      EVP_DigestInit_ex(md5, EVP_md5(), nullptr);
      for (int row = 0; row < h; ++row) EVP_DigestUpdate(md5, first + static_cast<size_t>(row) * kWidth * 4, w * 4);
      EVP_DigestFinal_ex(md5, digest, &digest_size);
      benchmark::DoNotOptimize(digest);
      if (!Touches(block, box)) continue;
      unsigned char* written = jpeg.data();
      unsigned long size = jpeg.size();
      tjCompress2(handle, first, w, kWidth * 4, h, TJPF_BGRX, &written, &size, TJSAMP_420, kQuality,
                  TJFLAG_NOREALLOC);
      benchmark::DoNotOptimize(written);
    }
  }
  EVP_MD_CTX_free(md5);
  tjDestroy(handle);
  state.counters["hashed"] = static_cast<double>(blocks.size());
  state.counters["encoded"] = static_cast<double>(EncodedBlocks(box));
  state.SetLabel(BoxLabel(state.range(0)));
}
BENCHMARK(BM_PresenterFloor)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The caches and blocks of one full update, as the presenter made them.
struct FullUpdate {
  FullUpdate() {
    Presenter presenter;
    presenter.tp.keep = true;
    std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
    Paint(screen);
    std::vector<uint8_t> record = Record(screen, Box(0));
    presenter.engine->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data()));
    caches.swap(presenter.tp.caches);
    blocks.swap(presenter.tp.blocks);
  }
  ~FullUpdate() {
    for (auto* c : caches) c->Release();
    for (auto* b : blocks) b->Release();
  }
  std::vector<CCacheEntry*> caches;
  std::vector<CKeyframeEntry*> blocks;
};

void BM_AttendeeApplyFullUpdate(benchmark::State& state) {
  FullUpdate update;
  vz::BindTracerForTest(nullptr);
  QuietClient client;
  EngineOptions options;
  options.create_tp = [](IDSTpSink*) -> IDSTp* { return nullptr; };
  options.grab_library = "vzgrabnotthere";
  auto* engine = new CEnginController(&client, options);
  SharingInfo info = Desktop();
  engine->OnDSTpSharingInfo(&info);
  uint32_t pdu = 1000000;
  const int updates_before = client.updates;
  for (auto _ : state) {
    // Each round's blocks arrive as new records, newer than the last (the
    // table keeps and then clears the ones it is given).
    state.PauseTiming();
    std::vector<CKeyframeEntry*> blocks;
    for (const auto* block : update.blocks) {
      auto* copy = new CKeyframeEntry(block->Index);
      copy->PduId = ++pdu;
      copy->Position = block->Position;
      copy->CacheIndex = block->CacheIndex;
      copy->CachePduId = block->CachePduId;
      copy->MonitorId = block->MonitorId;
      copy->Rect = block->Rect;
      blocks.push_back(copy);
    }
    state.ResumeTiming();
    engine->OnDSTpCaches(update.caches.data(), static_cast<int32_t>(update.caches.size()));
    engine->OnDSTpBlocks(blocks.data(), static_cast<int32_t>(blocks.size()));
    state.PauseTiming();
    for (auto* block : blocks) block->Release();
    state.ResumeTiming();
  }
  state.SetLabel(std::to_string(update.blocks.size()) + " blocks, " + std::to_string(update.caches.size()) +
                 " caches");
  if (client.updates == updates_before) state.SkipWithError("nothing was drawn");
  engine->DeleteInstance();
  vz::RestoreTracerForTest();
}
BENCHMARK(BM_AttendeeApplyFullUpdate)->Unit(benchmark::kMillisecond);

// TurboJPEG decoding each block's tile straight into a frame at its place.
void BM_AttendeeFloor(benchmark::State& state) {
  FullUpdate update;
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
  std::vector<const CCacheEntry*> by_index(CCacheController::kCacheIndexEnd, nullptr);
  for (const auto* cache : update.caches) by_index[cache->Index] = cache;
  for (auto _ : state) {
    for (const auto* block : update.blocks) {
      const CCacheEntry* cache = by_index[block->CacheIndex];
      const VzRect& r = block->Rect;
      tjDecompress2(handle, cache->Slots[0].Data, cache->Slots[0].Size,
                    &frame[(static_cast<size_t>(r.top) * kWidth + r.left) * 4], r.right - r.left, kWidth * 4,
                    r.bottom - r.top, TJPF_BGRX, 0);
    }
    benchmark::DoNotOptimize(frame.data());
  }
  tjDestroy(handle);
  state.SetLabel(std::to_string(update.blocks.size()) + " tiles");
}
BENCHMARK(BM_AttendeeFloor)->Unit(benchmark::kMillisecond);

// The hostile message (see the top of the file).
constexpr int32_t kLargeSide = 4096;
constexpr int kCoveringBlocks = 150;

// One single-colour picture of the large monitor, as jpeg9b encodes it.
std::vector<uint8_t> PlainLargeJpeg() {
  std::unique_ptr<CCodecMgrWin> codec(CreateCodecMgr());
  std::vector<uint32_t> pixels(static_cast<size_t>(kLargeSide) * kLargeSide, 0xff336699u);
  int size = 0;
  uint8_t* jpeg = codec->DoCompress(kLargeSide, kLargeSide, 32, kQuality, kLargeSide * 4,
                                    reinterpret_cast<const uint8_t*>(pixels.data()), &size);
  std::vector<uint8_t> bytes(jpeg, jpeg + (jpeg != nullptr ? size : 0));
  std::free(jpeg);
  return bytes;
}

void BM_AttendeeOnePictureCoveringTheMonitorManyTimes(benchmark::State& state) {
  const std::vector<uint8_t> jpeg = PlainLargeJpeg();
  if (jpeg.empty()) {
    state.SkipWithError("jpeg9b did not encode");
    return;
  }
  vz::BindTracerForTest(nullptr);
  QuietClient client;
  EngineOptions options;
  options.create_tp = [](IDSTpSink*) -> IDSTp* { return nullptr; };
  options.grab_library = "vzgrabnotthere";
  auto* engine = new CEnginController(&client, options);
  SharingInfo info = Desktop(kLargeSide, kLargeSide);
  engine->OnDSTpSharingInfo(&info);
  auto* cache = new CCacheEntry(CCacheController::kTileIndexStart);
  cache->PduId = 7;
  cache->SetSlot(0, 10, jpeg.data(), static_cast<uint32_t>(jpeg.size()));
  uint32_t pdu = 1000;
  const int updates_before = client.updates;
  for (auto _ : state) {
    state.PauseTiming();
    CCacheEntry* caches[1] = {cache};
    engine->OnDSTpCaches(caches, 1);
    std::vector<CKeyframeEntry*> blocks;
    for (int i = 0; i < kCoveringBlocks; ++i) {
      auto* block = new CKeyframeEntry(static_cast<uint32_t>(i));
      block->PduId = ++pdu;
      block->Position = static_cast<uint32_t>(i) + 1;
      block->CacheIndex = cache->Index;
      block->CachePduId = cache->PduId;
      block->MonitorId = 1;
      block->Rect = VzRect{0, 0, kLargeSide, kLargeSide};
      blocks.push_back(block);
    }
    state.ResumeTiming();
    engine->OnDSTpBlocks(blocks.data(), static_cast<int32_t>(blocks.size()));
    state.PauseTiming();
    for (auto* block : blocks) block->Release();
    state.ResumeTiming();
  }
  state.SetLabel(std::to_string(kCoveringBlocks) + " blocks over 4096x4096, one " + std::to_string(jpeg.size()) +
                 "-byte picture");
  if (client.updates == updates_before) state.SkipWithError("nothing was drawn");
  cache->Release();
  engine->DeleteInstance();
  vz::RestoreTracerForTest();
}
BENCHMARK(BM_AttendeeOnePictureCoveringTheMonitorManyTimes)->Unit(benchmark::kMillisecond);

// TurboJPEG decoding the picture once into a frame of the monitor.
void BM_AttendeeOnePictureFloor(benchmark::State& state) {
  const std::vector<uint8_t> jpeg = PlainLargeJpeg();
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> frame(static_cast<size_t>(kLargeSide) * kLargeSide * 4);
  for (auto _ : state) {
    tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), frame.data(), kLargeSide,
                  kLargeSide * 4, kLargeSide, TJPF_BGRX, 0);
    benchmark::DoNotOptimize(frame.data());
  }
  tjDestroy(handle);
}
BENCHMARK(BM_AttendeeOnePictureFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
