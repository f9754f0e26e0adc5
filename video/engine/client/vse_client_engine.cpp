#include "video/engine/client/vse_client_engine.h"

#include <map>
#include <memory>
#include <mutex>

#include "common/trace_client.h"
#include "video/engine/engine/vse_engine.h"

namespace {

class ListenChannelAdapter final : public IClientListenChannel {
 public:
  explicit ListenChannelAdapter(IVideoListenChannel* channel) : channel_(channel) {}
  ~ListenChannelAdapter() override { channel_->Release(); }

  // The channel keeps the SSRC it was made for; a reconnection keeps it too.
  VseResult SetSSRC(uint32_t ssrc) override {
    if (ssrc != channel_->GetSSRC()) VZ_LOG_WARN("listen channel of %u asked to become %u", channel_->GetSSRC(), ssrc);
    return VSE_S_OK;
  }
  VseResult SetAspectRatio(int32_t x, int32_t y) override {
    return channel_->SetAspectRatio(x, y) == 0 ? VSE_S_OK : VSE_E_FAIL;
  }
  VseResult SetEventSink(IVideoListenChannelSink* sink) override { return channel_->SetEventSink(sink); }
  VseResult InputPacket(const uint8_t* data, int32_t len, uint32_t receive_ms, int32_t flags) override {
    return channel_->InputPacket(data, len, receive_ms, flags);
  }
  VseResult AppendVideoDeliverer(IVideoDeliverer* d) override { return channel_->AppendVideoDeliverer(d); }
  VseResult RemoveVideoDeliverer(IVideoDeliverer* d) override { return channel_->RemoveVideoDeliverer(d); }

 private:
  IVideoListenChannel* const channel_;
};

class SourceChannelAdapter final : public IClientSourceChannel {
 public:
  explicit SourceChannelAdapter(CVzVideoSourceChannel* channel) : channel_(channel) {}
  ~SourceChannelAdapter() override { channel_->Release(); }

  uint32_t ClientId() override { return channel_->client_id(); }
  IVideoDeliverer* Deliverer() override { return channel_; }
  int32_t ConfigureOutputs(int32_t count, const OutputRecord* outputs) override {
    return channel_->ConfigureOutputs(count, outputs);
  }
  VseResult SetFecSwitch(bool on) override { return channel_->SetFecSwitch(on); }
  void SetPacketTransport(IVideoPacketTransport* transport) override { channel_->SetPacketTransport(transport); }
  VseResult SetSink(IVideoSourceChannelSink* sink) override { return channel_->SetSink(sink); }
  VseResult SetEncodeController(IVideoEncodeController* c) override { return channel_->SetEncodeController(c); }
  VseResult StartSend() override { return channel_->StartSend(); }
  VseResult StopSend() override { return channel_->StopSend(); }
  VseResult SetEncodeParam(const EncodeParams* params) override { return channel_->SetEncodeParam(params); }
  VseResult UpdateUpLinkNetStat(const UplinkStat* stat) override { return channel_->UpdateUpLinkNetStat(stat); }
  int32_t FecLevel() override { return channel_->fec_level(); }
  VseResult GetStatus(int32_t* dropped, bool clear) override { return channel_->GetStatus(dropped, clear); }
  VseResult SetSourceInfo(const SourceInfo* info) override { return channel_->SetSourceInfo(info); }

 private:
  CVzVideoSourceChannel* const channel_;
};

class CVseClientEngine final : public IClientVideoEngine {
 public:
  explicit CVseClientEngine(IVseEngine* engine) : engine_(engine) {}
  ~CVseClientEngine() override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      listen_.clear();
      sources_.clear();
    }
    DestroyVseEngine(engine_);
  }

  VseResult SetTransportSink(IVideoPacketTransport* sink) override { return engine_->SetTransportSink(sink); }
  VseResult InputRtcpPacket(const uint8_t* data, int32_t len, uint32_t receive_ms) override {
    return engine_->InputRtcpPacket(data, len, receive_ms);
  }
  VseResult CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t render_type, int32_t decoder_mode,
                                     IVideoSampleAllocator* allocator, IClientListenChannel** out) override {
    if (out == nullptr) return VSE_E_POINTER;
    *out = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    auto& adapter = listen_[ssrc];
    if (!adapter) {
      IVideoListenChannel* channel = nullptr;
      const VseResult r = engine_->CreateVideoListenChannel(ssrc, lctm, render_type, decoder_mode, allocator, &channel);
      if (r != VSE_S_OK || channel == nullptr) {
        listen_.erase(ssrc);
        return r != VSE_S_OK ? r : VSE_E_FAIL;
      }
      adapter = std::make_unique<ListenChannelAdapter>(channel);
    }
    *out = adapter.get();
    return VSE_S_OK;
  }
  VseResult DestroyVideoListenChannel(uint32_t ssrc) override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      listen_.erase(ssrc);
    }
    return engine_->DestroyVideoListenChannel(ssrc);
  }
  VseResult CreateVideoSourceChannel(uint32_t ssrc, int32_t codec_type, IVideoPacketTransport* transport,
                                     IVideoSampleAllocator* allocator, IClientSourceChannel** out) override {
    if (out == nullptr) return VSE_E_POINTER;
    *out = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    auto& adapter = sources_[ssrc];
    if (!adapter) {
      CVzVideoSourceChannel* channel = nullptr;
      const VseResult r = engine_->CreateVideoSourceChannel(ssrc, codec_type, transport, allocator, &channel);
      if (r != VSE_S_OK || channel == nullptr) {
        sources_.erase(ssrc);
        return r != VSE_S_OK ? r : VSE_E_FAIL;
      }
      adapter = std::make_unique<SourceChannelAdapter>(channel);
    }
    *out = adapter.get();
    return VSE_S_OK;
  }
  VseResult DestroyVideoSourceChannel(uint32_t ssrc) override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      sources_.erase(ssrc);
    }
    return engine_->DestroyVideoSourceChannel(ssrc);
  }
  VseResult UpdateVideoSourceChannel(uint32_t new_ssrc, uint32_t old_ssrc) override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto found = sources_.find(old_ssrc);
      if (found != sources_.end() && new_ssrc != old_ssrc) {
        sources_[new_ssrc] = std::move(found->second);
        sources_.erase(old_ssrc);
      }
    }
    return engine_->UpdateVideoSourceChannel(new_ssrc, old_ssrc);
  }

 private:
  IVseEngine* const engine_;
  std::mutex lock_;
  std::map<uint32_t, std::unique_ptr<ListenChannelAdapter>> listen_;
  std::map<uint32_t, std::unique_ptr<SourceChannelAdapter>> sources_;
};

}  // namespace

IClientVideoEngine* CreateVseClientEngine() {
  IVseEngine* engine = nullptr;
  if (CreateVseEngine(&engine) != VSE_S_OK || engine == nullptr) {
    VZ_LOG_ERROR("create video engine failed.");
    return nullptr;
  }
  return new CVseClientEngine(engine);
}
