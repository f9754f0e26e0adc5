#pragma once
// The thumbnail strip's windows: the strip (CVzThumbsView) over the tiles
// the model shows, one CVzThumbItem window per shown tile with its video
// container and name label. Windows follow the model on Sync; clicks go to
// the handlers. UI thread only.
#include <functional>
#include <map>
#include <memory>

#include "platform/ui/window.h"
#include "video/devices/ui/thumbs_strip_model.h"
#include "video/devices/ui/video_container_view.h"

namespace vzpanel {

class CVzThumbItem : public vz::WindowDelegate {
 public:
  explicit CVzThumbItem(ThumbTile* tile);
  ~CVzThumbItem() override;
  bool Create(vz::Window* parent);
  void Sync();
  ThumbTile* tile() const { return tile_; }
  vz::Window* window() const { return window_.get(); }
  CVzOpenGLContainerView& container() { return container_; }

  std::function<void(CVzThumbItem*)> on_single_tap;
  std::function<void(CVzThumbItem*)> on_double_tap;
  std::function<void(const vz::MouseEvent&)> on_move;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  void Forward(const vz::MouseEvent& event);

  ThumbTile* tile_;
  CVzOpenGLContainerView container_;
  std::unique_ptr<vz::Window> window_;
};

class CVzThumbsView : public vz::WindowDelegate {
 public:
  explicit CVzThumbsView(ThumbsStripModel* model) : model_(model) {}
  ~CVzThumbsView() override;
  bool Create(vz::Window* parent);
  void Destroy();
  // Windows for the shown tiles at their places; none for the others.
  void Sync(bool visible);
  vz::Window* window() const { return window_.get(); }
  // The tile's window, made (hidden) when it has none yet: a renderer is
  // made for its container before the page shows it.
  CVzThumbItem* EnsureItem(ThumbTile* tile);

  std::function<void(ThumbTile*)> on_single_tap;
  std::function<void(ThumbTile*)> on_double_tap;
  std::function<void(const vz::MouseEvent&)> on_mouse;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  ThumbsStripModel* model_;
  std::unique_ptr<vz::Window> window_;
  std::map<const ThumbTile*, std::unique_ptr<CVzThumbItem>> items_;
};

}  // namespace vzpanel
