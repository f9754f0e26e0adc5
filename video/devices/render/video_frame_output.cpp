#include "video/devices/render/video_frame_output.h"

#include "common/trace_client.h"
#include "platform/ui/x11_image_presenter.h"
#include "video/devices/render/video_window_port.h"

namespace {

class DisplayFrameOutput : public IVideoFrameOutput {
 public:
  explicit DisplayFrameOutput(std::unique_ptr<vz::X11ImagePresenter> presenter) : presenter_(std::move(presenter)) {}
  uint32_t* Buffer(int32_t width, int32_t height) override { return presenter_->Buffer(width, height); }
  bool Put(const Rect& target) override { return presenter_->Put(target.left, target.top); }

 private:
  std::unique_ptr<vz::X11ImagePresenter> presenter_;
};

}  // namespace

std::unique_ptr<IVideoFrameOutput> OpenVideoFrameOutput(IVideoWindowPort* window) {
  if (window == nullptr || window->NativeWindow() == 0) return nullptr;
  auto presenter = vz::X11ImagePresenter::Open(window->DisplayName(), window->NativeWindow());
  if (!presenter) {
    VZ_LOG_ERROR("no output for window 0x%llx", static_cast<unsigned long long>(window->NativeWindow()));
    return nullptr;
  }
  return std::make_unique<DisplayFrameOutput>(std::move(presenter));
}
