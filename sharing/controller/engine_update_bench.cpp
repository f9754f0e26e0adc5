// The engine's hot paths beside their floor measured in the same run.
// Presenter: ms per screen update (a full 1920 x 1080 change and a change
// of 15 of its 135 blocks), every block new, through CEnginController with
// a connection that drops what it is given; floor: MD5 (libcrypto) and
// TurboJPEG at quality 75 over the same tiles. Attendee: ms to apply a
// full 1080p update (caches and blocks) into its frame; floor: TurboJPEG
// decode of the same tiles.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <turbojpeg.h>

#include <cstring>
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
  std::vector<CCacheEntry*> caches;
  std::vector<CKeyframeEntry*> blocks;
};

SharingInfo Desktop() {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = kSide;
  info.IsDesktopSharing = 1;
  info.SharedRect = {0, 0, kWidth, kHeight};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, kWidth, kHeight};
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

// A desktop-like picture; `round` changes one pixel of every block so that
// each update makes every block new.
void Paint(std::vector<uint8_t>& screen, uint32_t round) {
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t* p = &screen[(static_cast<size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>(((x + y) / 4) & 0xff);
      p[3] = 0xff;
    }
  }
  for (int32_t y = 0; y < kHeight; y += kSide) {
    for (int32_t x = 0; x < kWidth; x += kSide) {
      uint8_t* p = &screen[(static_cast<size_t>(y) * kWidth + x) * 4];
      std::memcpy(p, &round, 3);
    }
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

// The changed boxes: the whole monitor, or 5 x 3 blocks (15 of 135).
VzRect Box(bool full) { return full ? VzRect{0, 0, kWidth, kHeight} : VzRect{512, 256, 512 + 5 * kSide, 256 + 3 * kSide}; }

void BM_PresenterUpdate(benchmark::State& state) {
  const bool full = state.range(0) != 0;
  Presenter presenter;
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
  uint32_t round = 1;
  for (auto _ : state) {
    state.PauseTiming();
    Paint(screen, round++);
    std::vector<uint8_t> record = Record(screen, Box(full));
    state.ResumeTiming();
    presenter.engine->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data()));
  }
  state.SetLabel(full ? "full 1080p" : "15 blocks");
}
BENCHMARK(BM_PresenterUpdate)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// MD5 and TurboJPEG over the blocks of the same box: what the update cannot
// go below.
void BM_PresenterFloor(benchmark::State& state) {
  const bool full = state.range(0) != 0;
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
  tjhandle handle = tjInitCompress();
  EVP_MD_CTX* md5 = EVP_MD_CTX_new();
  const VzRect box = Box(full);
  uint32_t round = 1;
  for (auto _ : state) {
    state.PauseTiming();
    Paint(screen, round++);
    state.ResumeTiming();
    for (int32_t y = box.top; y < box.bottom; y += kSide) {
      for (int32_t x = box.left; x < box.right; x += kSide) {
        const int w = std::min(kSide, kWidth - x);
        const int h = std::min(kSide, kHeight - y);
        const uint8_t* first = &screen[(static_cast<size_t>(y) * kWidth + x) * 4];
        unsigned char digest[16];
        unsigned int digest_size = 0;
        EVP_DigestInit_ex(md5, EVP_md5(), nullptr);
        for (int row = 0; row < h; ++row) EVP_DigestUpdate(md5, first + static_cast<size_t>(row) * kWidth * 4, w * 4);
        EVP_DigestFinal_ex(md5, digest, &digest_size);
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, first, w, kWidth * 4, h, TJPF_BGRX, &jpeg, &size, TJSAMP_420, kQuality, 0);
        benchmark::DoNotOptimize(digest);
        tjFree(jpeg);
      }
    }
  }
  EVP_MD_CTX_free(md5);
  tjDestroy(handle);
  state.SetLabel(full ? "full 1080p" : "15 blocks");
}
BENCHMARK(BM_PresenterFloor)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The caches and blocks of one full update, as the presenter made them.
struct FullUpdate {
  FullUpdate() {
    Presenter presenter;
    presenter.tp.keep = true;
    std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);
    Paint(screen, 1);
    std::vector<uint8_t> record = Record(screen, Box(true));
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

void BM_AttendeeFloor(benchmark::State& state) {
  FullUpdate update;
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> pixels(kSide * kSide * 4);
  for (auto _ : state) {
    for (auto* cache : update.caches) {
      int w = 0, h = 0, sub = 0, colours = 0;
      tjDecompressHeader3(handle, cache->Slots[0].Data, cache->Slots[0].Size, &w, &h, &sub, &colours);
      tjDecompress2(handle, cache->Slots[0].Data, cache->Slots[0].Size, pixels.data(), w, w * 4, h, TJPF_BGRX, 0);
      benchmark::DoNotOptimize(pixels.data());
    }
  }
  tjDestroy(handle);
  state.SetLabel(std::to_string(update.caches.size()) + " tiles");
}
BENCHMARK(BM_AttendeeFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
