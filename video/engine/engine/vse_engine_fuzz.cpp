// Received datagrams into one engine: each input is cut into datagrams
// (first byte: 0 RTP for the listen channel, 1 RTCP; next two bytes: the
// length; a clock step of up to 255 ms), RTP datagrams get the channel's
// SSRC so they pass the check and reach assembly. A null decoder keeps the
// codec out of it (it has a fuzz target of its own).
//
// Whatever the input left behind, a valid stream some seconds later (three
// frames of one NAL unit, on sequence numbers and time stamps of its own)
// must reach the decoder: at least one of its frames is decoded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/engine/vse_engine.h"

namespace {

constexpr uint32_t kSsrc = 0x0A0B0C0D;

struct NullTransport final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t, const uint8_t*, int32_t) override { return 0; }
  int32_t SendRtcpPacket(const uint8_t*, int32_t, int32_t) override { return 0; }
};

int g_decoded = 0;

struct CountingDecoder final : IVideoDecoder {
  VseResult Init(int32_t, int32_t) override { return VSE_S_OK; }
  VseResult Uninit() override { return VSE_S_OK; }
  VseResult SetOption(int32_t, void*) override { return VSE_S_OK; }
  VseResult GetOption(int32_t, void*) override { return VSE_S_OK; }
  VseResult DecodeFrame(uint32_t, const uint8_t* data, int32_t length) override {
    // Touch every byte handed over, so a bad length shows under ASan.
    uint32_t sum = 0;
    for (int32_t i = 0; i < length; ++i) sum += data[i];
    ++g_decoded;
    return sum == 0xFFFFFFFFu ? VSE_E_FAIL : VSE_S_OK;
  }
  VseResult SetLossRecovery(int32_t) override { return VSE_S_OK; }
};

std::unique_ptr<IVideoDecoder> MakeCounting(IVideoDecoderSink*, IVideoSampleAllocator*) {
  return std::make_unique<CountingDecoder>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static VZSE_::FakeEngineClock clock;
  static bool once = [] {
    VZSE_::SetEngineClockForTest(&clock);
    SetListenDecoderMaker(&MakeCounting);
    return true;
  }();
  (void)once;
  NullTransport transport;
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();
  IVseEngine* engine = nullptr;
  if (CreateVseEngine(&engine) != VSE_S_OK) std::abort();
  static_cast<CVseEngineImp*>(engine)->SetChannelsThreadless(true);
  engine->SetTransportSink(&transport);
  engine->SetRtcpEnabled(true);
  IVideoListenChannel* listen = nullptr;
  if (engine->CreateVideoListenChannel(kSsrc, 0, 7, 1, allocator, &listen) != VSE_S_OK) std::abort();
  size_t at = 0;
  std::vector<uint8_t> datagram;
  while (at + 4 <= size) {
    const uint8_t kind = data[at] & 1;
    const size_t length = (size_t(data[at + 1]) << 8) | data[at + 2];
    clock.AdvanceMs(data[at + 3]);
    at += 4;
    const size_t n = length < size - at ? length : size - at;
    datagram.assign(data + at, data + at + n);
    at += n;
    if (kind == 0) {
      if (datagram.size() >= 12) {
        datagram[8] = 0x0A, datagram[9] = 0x0B, datagram[10] = 0x0C, datagram[11] = 0x0D;
      }
      listen->InputPacket(datagram.data(), static_cast<int32_t>(datagram.size()), VZSE_::NowMs(), 0);
    } else {
      engine->InputRtcpPacket(datagram.data(), static_cast<int32_t>(datagram.size()), 0);
    }
  }
  clock.AdvanceMs(1100);
  static_cast<CVzVideoListenChannel*>(listen)->RunDataTimer();
  static_cast<CVzVideoListenChannel*>(listen)->RunTimerRound();
  // Past every lifetime of what was kept (the session's 5 s, the channel's
  // 10 s), the valid stream.
  clock.AdvanceMs(11000);
  static_cast<CVzVideoListenChannel*>(listen)->RunDataTimer();
  const int decoded_before = g_decoded;
  for (uint16_t f = 0; f < 3; ++f) {
    const uint16_t sequence = static_cast<uint16_t>(40000 + f);
    const uint32_t time_stamp = 0x12340000u + f * 3000u;
    const uint8_t packet[] = {0x80, 98, uint8_t(sequence >> 8), uint8_t(sequence), uint8_t(time_stamp >> 24),
                              uint8_t(time_stamp >> 16), uint8_t(time_stamp >> 8), uint8_t(time_stamp),
                              0x0A, 0x0B, 0x0C, 0x0D, 0x65, 0x88, 0x84, uint8_t(f)};
    listen->InputPacket(packet, static_cast<int32_t>(sizeof packet), VZSE_::NowMs(), 0);
    clock.AdvanceMs(33);
  }
  if (g_decoded == decoded_before) __builtin_trap();
  listen->Release();
  DestroyVseEngine(engine);
  allocator->Release();
  return 0;
}
