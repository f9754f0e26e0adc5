#include "video/engine/client/listen_decoder_bridge.h"

#include <memory>

#include "common/trace_client.h"
#include "video/engine/core/video_types.h"
#include "video/engine/receive/vz_h264_svc_decoder.h"

namespace {

uint32_t BigEndianWord(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

class SvcListenDecoder final : public IListenDecoder, private IVideoDecoderSink {
 public:
  SvcListenDecoder(IListenDecoderSink* sink, IVideoSampleAllocator* allocator)
      : sink_(sink), decoder_(CreateH264SvcDecoder(this, allocator)) {}

  int32_t Init(int32_t render_video_type, int32_t decoder_mode) override {
    if (!decoder_) return -1;
    return decoder_->Init(render_video_type, decoder_mode) == VSE_S_OK ? 0 : -1;
  }
  void Uninit() override {
    if (decoder_) decoder_->Uninit();
  }
  int32_t DecodeFrame(uint32_t time_stamp_ms, const uint8_t* data, int32_t length) override {
    return decoder_ && decoder_->DecodeFrame(time_stamp_ms, data, length) == VSE_S_OK ? 0 : -1;
  }
  int32_t SetLossRecovery(int32_t value) override {
    return decoder_ && decoder_->SetLossRecovery(value) == VSE_S_OK ? 0 : -1;
  }

 private:
  // IVideoDecoderSink: the picture described as what it is (a pooled
  // sample keeps the format of its last use) and keyed by its frame's time
  // stamp.
  void OnDecoded(uint32_t colour, uint32_t time_stamp, int32_t width, int32_t height, IVideoSample* sample) override {
    if (sample == nullptr) return;
    VideoFormat format{};
    sample->GetFormat(&format);
    format.video_type = GetVideoType(colour);
    format.width = width;
    format.height = height;
    format.set_time_stamp_ms(time_stamp);
    sample->SetFormat(&format);
    sink_->OnDecoded(sample);
  }
  int32_t IsRenderReady() override { return sink_->IsRenderReady(); }
  void OnDecodedImage(uint32_t, const uint8_t*, const vzh264::DecodeBufferInfo&) override {}
  void RequestKeyFrame() override { sink_->RequestKeyFrame(); }
  void RequestRefresh(const uint8_t* block) override {
    vz::rtcp::Feedback16 value{};
    for (int i = 0; i < 4; ++i) value.words[i] = BigEndianWord(block + 4 * i);
    sink_->RequestRefresh(value);
  }
  void ReportDecoderEvent(const uint8_t* block) override {
    vz::rtcp::Feedback12 value{};
    for (int i = 0; i < 3; ++i) value.words[i] = BigEndianWord(block + 4 * i);
    sink_->ReportDecoderEvent(value);
  }

  IListenDecoderSink* const sink_;
  std::unique_ptr<IVideoDecoder> decoder_;
};

IListenDecoder* MakeSvcListenDecoder(IListenDecoderSink* sink, IVideoSampleAllocator* allocator) {
  return new SvcListenDecoder(sink, allocator);
}

}  // namespace

ListenDecoderMaker InstallSvcListenDecoder() { return SetListenDecoderMaker(&MakeSvcListenDecoder); }
