#pragma once
// A renderer that draws nothing and answers every call with success: the
// stand-in where a view needs a renderer but no picture is drawn (the panel's
// pictures) and the base of the panel's test renderers. Not reference
// counted: it lives as long as its owner.
#include "video/engine/core/video_interfaces.h"

namespace vzpanel {

class NullVideoRenderer : public IVideoRenderer {
 public:
  int32_t AddRef() override { return 1; }
  int32_t Release() override { return 1; }
  int32_t GetRefCount() override { return 1; }
  VseResult QueryInterface(const VseGuid*, void** out) override {
    if (out != nullptr) *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  VseResult DeliverSample(IVideoSample*) override { return 0; }
  VseResult SetBKColor(uint32_t) override { return 0; }
  VseResult ClearStream() override { return 0; }
  VseResult SetMirror(bool) override { return 0; }
  VseResult Redraw() override { return 0; }
  VseResult SetSampleAllocator(IVideoSampleAllocator*) override { return 0; }
  int32_t GetVideoWidth() override { return 0; }
  int32_t GetVideoHeight() override { return 0; }
  VseResult DrawHeldSample() override { return 0; }
  int32_t GetRenderFormat() override { return 0; }
  int32_t IsFormatDirect(const VideoFormat*) override { return 0; }
  VseResult ConvertAndDraw(IVideoSample*, VideoFormat*) override { return 0; }
};

}  // namespace vzpanel
