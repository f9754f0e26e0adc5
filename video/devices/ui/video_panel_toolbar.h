#pragma once
// VideoMainPanelToolbar: the panel's tool bar, a child window with the
// buttons of dialog 200 (my video 1031, camera options 1032, my status 1092)
// and the powered-by logo, laid out from the left. A command goes to the
// handler with the button's id. Without the dialog in the resource bundle
// the tool bar has no buttons. UI thread only.
//
// Drawn opaque in 0x151515: a child window has no alpha of its own on X11.
#include <functional>
#include <map>
#include <memory>

#include "platform/ui/window.h"
#include "uikit/gdip_button.h"
#include "uikit/gdiplus_bitmap.h"
#include "video/devices/ui/video_panel.h"

namespace vzpanel {

class VideoMainPanelToolbar : public vz::WindowDelegate, public IVideoPanelToolbar {
 public:
  VideoMainPanelToolbar();
  ~VideoMainPanelToolbar() override;

  // Makes the window and its buttons under `parent`; made again (after
  // Destroy), the buttons keep the status, enabled state and visibility set
  // before.
  bool Create(vz::Window* parent);
  void Destroy();
  vz::Window* window() const { return window_.get(); }

  // IVideoPanelToolbar.
  void setInvisibleMode() override;
  void setLogo(bool on) override;
  void setHeaderColors(uint32_t, uint32_t) override {}
  void setStatus(int32_t state) override;

  void setMyVideoImage(bool started);
  void showButton(uint32_t id, bool show);
  bool buttonVisible(uint32_t id) const;
  int32_t status() const { return status_; }
  CGdipButton* button(uint32_t id) const;
  // 12 (or the logo's width + 36) + 36 per visible button, by 30.
  vz::Size preferredSize() const;
  // The image of a status state; 0 for an unknown state.
  static uint32_t StatusImage(int32_t state);
  // Where each visible button goes (by id), for a client height.
  std::map<uint32_t, vz::Rect> ButtonPlaces(int height) const;

  std::function<void(uint32_t id)> on_command;

  void OnPaint(vz::Canvas& canvas) override;
  void OnResize(vz::Size size) override { Layout(size); }

 private:
  void Layout(vz::Size size);
  int LogoWidth() const;

  std::unique_ptr<vz::Window> window_;
  std::map<uint32_t, std::unique_ptr<CGdipButton>> buttons_;
  std::map<uint32_t, bool> visible_;
  CGdiPlusBitmapResource logo_;
  int32_t status_ = 0;
};

}  // namespace vzpanel
