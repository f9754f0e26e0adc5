#include "video/engine/engine/video_loopback.h"

#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_types.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/engine/vse_engine.h"
#include "video/engine/rtp/rtcp_packet_tool.h"
#include "video/engine/send/encode_param_generator.h"

namespace {

constexpr uint32_t kSsrc = 0x5EED0001;

// A moving gradient with a bright square that slides along.
std::vector<uint8_t> CameraPicture(int frame, int w, int h) {
  std::vector<uint8_t> yuv(static_cast<size_t>(w) * h * 3 / 2);
  const int sx = (frame * 3) % (w - 80);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int v = (x + 4 * frame) * 190 / w + y * 40 / h;
      if (x >= sx && x < sx + 80 && y >= h / 4 && y < h / 4 + 80) v = 230;
      yuv[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(16 + v % 220);
    }
  }
  for (size_t i = static_cast<size_t>(w) * h; i < yuv.size(); ++i) yuv[i] = static_cast<uint8_t>(110 + i % 30);
  return yuv;
}

// Packets wait here and are handed over after each send round, so the
// receiver never runs inside the sender's locks.
struct Wire final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t kind, const uint8_t* data, int32_t length) override {
    ++sent;
    if (kind == kFecPacket110 || kind == kFecPacket111) ++fec;
    if (std::uniform_real_distribution<double>(0, 100)(random) < loss_percent) {
      ++dropped;
      return 0;
    }
    rtp.emplace_back(data, data + length);
    return 0;
  }
  int32_t SendRtcpPacket(const uint8_t* data, int32_t length, int32_t /*kind*/) override {
    rtcp.emplace_back(data, data + length);
    return 0;
  }
  std::mt19937 random;
  double loss_percent = 0;
  int64_t sent = 0, dropped = 0, fec = 0;
  std::deque<std::vector<uint8_t>> rtp, rtcp;
};

// Counts pictures and measures them against the camera's.
class PictureCounter final : public TEngineObject<IVideoDeliverer> {
 public:
  PictureCounter(int w, int h, const std::map<uint32_t, int>* frame_of) : w_(w), h_(h), frame_of_(frame_of) {}
  VseResult DeliverSample(IVideoSample* sample) override {
    VideoFormat f{};
    void* p = nullptr;
    if (sample->GetFormat(&f) != VSE_S_OK || sample->GetPointer(&p) != VSE_S_OK) return VSE_E_FAIL;
    ++pictures;
    auto it = frame_of_->find(f.time_stamp_ms());
    if (it == frame_of_->end()) return VSE_S_OK;
    delivered_frames.push_back(it->second);
    if (f.width != w_ || f.height != h_) {
      ++smaller;  // a lower spatial layer only
      return VSE_S_OK;
    }
    const std::vector<uint8_t> source = CameraPicture(it->second, w_, h_);
    const uint8_t* got = static_cast<const uint8_t*>(p);
    double sq = 0;
    for (int i = 0; i < w_ * h_; ++i) {
      const double d = double(source[static_cast<size_t>(i)]) - double(got[i]);
      sq += d * d;
    }
    const double mse = sq / (double(w_) * h_);
    psnr_sum += mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
    ++measured;
    return VSE_S_OK;
  }
  int pictures = 0, measured = 0, smaller = 0;
  double psnr_sum = 0;
  std::vector<int> delivered_frames;

 private:
  ~PictureCounter() override = default;
  const int w_, h_;
  const std::map<uint32_t, int>* frame_of_;
};

}  // namespace

LoopbackFigures RunVideoLoopback(const LoopbackOptions& options) {
  LoopbackFigures figures;
  VZSE_::FakeEngineClock clock;
  VZSE_::EngineClock* previous_clock = VZSE_::SetEngineClockForTest(&clock);
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();

  Wire wire, back;
  wire.random.seed(options.seed);
  wire.loss_percent = options.loss_percent;
  IVseEngine* sender = nullptr;
  IVseEngine* receiver = nullptr;
  CVzVideoSourceChannel* source = nullptr;
  IVideoListenChannel* listen = nullptr;
  std::map<uint32_t, int> frame_of;  // time stamp (ms) -> camera frame
  auto* counter = new PictureCounter(options.width, options.height, &frame_of);
  counter->AddRef();

  bool ready = CreateVseEngine(&sender) == VSE_S_OK && CreateVseEngine(&receiver) == VSE_S_OK;
  if (ready) {
    static_cast<CVseEngineImp*>(sender)->SetChannelsThreadless(true);
    static_cast<CVseEngineImp*>(receiver)->SetChannelsThreadless(true);
    sender->SetTransportSink(&back);  // the sender's own RTCP is not needed here
    receiver->SetTransportSink(&back);
    ready = sender->CreateVideoSourceChannel(kSsrc, 1, &wire, allocator, &source) == VSE_S_OK &&
            receiver->CreateVideoListenChannel(kSsrc, 0, kVideoTypeI420, 1, allocator, &listen) == VSE_S_OK;
  }
  NetworkOption network;
  if (ready) {
    listen->AppendVideoDeliverer(counter);
    network.default_bw = 2000000;
    network.min_bw = 32000;
    network.max_bw = 4000000;
    source->SetNetworkOption(&network);
    OutputRecord output{options.width, options.height, 30.0f, 0};
    source->ConfigureOutputs(1, &output);
    std::unique_ptr<CVseBaseEncodeParamGenerator> levels(CVseEncodeParamFactory::Create(1));
    EncodeParams params;
    ready = levels && levels->GetLevel(19, &params.level) == 0 && source->SetEncodeParam(&params) == VSE_S_OK &&
            source->StartSend() == VSE_S_OK;
  }
  auto hand_over = [&] {
    while (!wire.rtp.empty()) {
      const std::vector<uint8_t> p = std::move(wire.rtp.front());
      wire.rtp.pop_front();
      listen->InputPacket(p.data(), static_cast<int32_t>(p.size()), VZSE_::NowMs(), 0);
    }
    while (!back.rtcp.empty()) {
      const std::vector<uint8_t> p = std::move(back.rtcp.front());
      back.rtcp.pop_front();
      if (p.size() >= vz::rtcp::kFeedbackHeadBytes && vz::rtcp::HeaderType(p.data()) == vz::rtcp::kPayloadFeedback &&
          vz::rtcp::HeaderCount(p.data()) == vz::rtcp::kPliFormat) {
        ++figures.key_frame_requests;
      }
      sender->InputRtcpPacket(p.data(), static_cast<int32_t>(p.size()), 0);
    }
  };
  if (ready) {
    // The uplink figures reach the send channel once a second, as the client
    // passes them on, so FEC follows the loss.
    UplinkStat uplink;
    uplink.loss_rate = static_cast<int32_t>(options.loss_percent * 10);  // per mille
    uplink.rtt = 40;
    uplink.bandwidth = static_cast<int32_t>(network.default_bw);
    // The FEC level follows a smoothed loss; a session that has run a while
    // has settled, so the figures are taken from the settled state.
    for (int k = 0; k < options.settle_updates; ++k) source->UpdateUpLinkNetStat(&uplink);
    for (int i = 0; i < options.frames; ++i) {
      if (i % 30 == 0) source->UpdateUpLinkNetStat(&uplink);
      const std::vector<uint8_t> yuv = CameraPicture(i, options.width, options.height);
      VideoFormat f{kVideoTypeI420, options.width, options.height, 30.0f, 0};
      if (source->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size())) != VSE_S_OK) continue;
      if (frame_of.emplace(source->last_time_stamp(), i).second) ++figures.frames_sent;
      for (int k = 0; k < 4; ++k) {
        clock.AdvanceUs(8500);
        source->PumpSendController();
        hand_over();
      }
    }
    for (int k = 0; k < 20; ++k) {
      clock.AdvanceMs(10);
      source->PumpSendController();
      hand_over();
    }
    clock.AdvanceMs(1100);
    static_cast<CVzVideoListenChannel*>(listen)->RunDataTimer();  // the last frame, alone
    const CMMRTPSession4SVC* session = static_cast<CVzVideoListenChannel*>(listen)->session();
    if (session) figures.packets_recovered = static_cast<int64_t>(session->stats().packets_recovered);
    figures.ok = true;
    figures.late_units = static_cast<int64_t>(static_cast<CVzVideoListenChannel*>(listen)->late_units());

  }
  std::vector<bool> seen(static_cast<size_t>(options.frames), false);
  for (int frame : counter->delivered_frames) seen[static_cast<size_t>(frame)] = true;
  for (auto& [ts, frame] : frame_of) {
    if (seen[static_cast<size_t>(frame)]) ++figures.frames_received;
  }
  figures.frames_lost = figures.frames_sent - figures.frames_received;
  figures.lower_layer_pictures = counter->smaller;
  figures.psnr_db = counter->measured ? counter->psnr_sum / counter->measured : 0;
  figures.packets_sent = wire.sent;
  figures.packets_dropped = wire.dropped;
  figures.fec_packets_sent = wire.fec;

  if (listen) listen->Release();
  if (source) source->Release();
  if (receiver) DestroyVseEngine(receiver);
  if (sender) DestroyVseEngine(sender);
  counter->Release();
  allocator->Release();
  VZSE_::SetEngineClockForTest(previous_clock);
  return figures;
}
