#pragma once
// CPictureCounterSink: what shows a participant's pictures until the video
// panel exists. It counts the pictures a listen channel delivers, reads the
// test pattern's frame counter from each and its PSNR against the pattern,
// logs every 30th ("picture [n] from [id] WxH counter [c] psnr [p] rising
// [r] sharp [s]", the last two counted over all pictures so far), and can
// keep the latest logged picture as a PNG file.
//
// Threads: pictures arrive on the listen channel's thread; the figures may
// be read from any thread.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_interfaces.h"

class CPictureCounterSink final : public TEngineObject<IVideoDeliverer> {
 public:
  struct Figures {
    int64_t pictures = 0;
    int64_t last_counter = -1;
    int64_t rising = 0;  // pictures whose counter was above the one before
    int64_t sharp = 0;  // pictures above 30 dB against the pattern
    double last_psnr = 0;
    double min_psnr = 0;
    int32_t width = 0;
    int32_t height = 0;
  };

  // `png_path` empty: no file. The count starts at 0; the creator adds the
  // first reference.
  CPictureCounterSink(std::string label, std::string png_path);

  VseResult DeliverSample(IVideoSample* sample) override;
  Figures figures();
  // The handle the client takes for a renderer.
  uintptr_t handle() { return reinterpret_cast<uintptr_t>(static_cast<IEngineUnknown*>(this)); }

 private:
  ~CPictureCounterSink() override = default;
  void WritePng(const std::vector<uint8_t>& rgb, int32_t width, int32_t height);

  const std::string label_;
  const std::string png_path_;
  std::mutex lock_;
  Figures figures_;
};
