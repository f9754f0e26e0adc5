#pragma once
// The annotation overlay: a borderless, topmost, translucent window laid
// exactly over the shared area. It paints every element of its drawing model
// with per-pixel alpha over a fully transparent background, lets every click
// pass through (an empty input shape) while no tool is chosen, and takes the
// presenter's drawing with the mouse while one is. It applies the annotation
// events of other participants, already in screen coordinates, and keeps
// itself, the tool window and the panel on top once a second.
//
// What is painted is kept (CAnnotationLayer): a repaint of the window copies
// it, and a change paints again only where it reaches; a peer's element is
// painted once, over what is there. The line logged for each peer's element
// is budgeted, as peers send them as fast as they like.
//
// Per-pixel alpha needs a compositing manager; without one the window layer
// cuts the window to its painted pixels, which then also limits where a tool
// can draw to the painted pixels.
//
// Tools: 0 none; 1 pointer indicator; 3 eraser; 4 pen; 5 highlighter; 6
// line; 7 arrow; 10 to 12 rectangle (outline, translucent, opaque); 13 to 15
// ellipse (the same). Any other tool (2, the laser pointer, included) is 0.
// UI thread only.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/annotation/alpha_cursor.h"
#include "client/annotation/annotation_event.h"
#include "client/annotation/annotation_layer.h"
#include "client/annotation/annotation_owner.h"
#include "client/annotation/draw_objects.h"
#include "common/log_budget.h"
#include "platform/clock.h"
#include "platform/ui/window.h"

class CDSAnnotationFrame : public vz::WindowDelegate {
 public:
  static constexpr const char* kClassName = "VELZAR_ANNOTATIONFRAME";
  static constexpr uintptr_t kKeepOnTopTimer = 1;
  static constexpr uint32_t kKeepOnTopMs = 1000;
  // The line of each peer's element: 50 at once, then one every 5 s.
  static constexpr uint32_t kElementLogBurst = 50;
  static constexpr uint64_t kElementLogRefillMs = 5000;

  // `clock` times the double click (two presses within 500 ms and 4 pixels).
  explicit CDSAnnotationFrame(vz::Clock& clock = vz::SystemClock());
  ~CDSAnnotationFrame() override;
  CDSAnnotationFrame(const CDSAnnotationFrame&) = delete;
  CDSAnnotationFrame& operator=(const CDSAnnotationFrame&) = delete;

  // Makes the window over `rect` (screen), click-through, and starts the
  // keep-on-top timer. Null, logged, without a window system or when the
  // window is refused. The model lives on across window re-creation.
  vz::Window* Create(const vz::Rect& rect, vz::WindowSystem* system = nullptr);
  void DestroyWindow();
  bool IsWindow() const { return window_ != nullptr; }
  vz::Window* window() const { return window_.get(); }
  // Moves the window there and repaints.
  void MoveWindow(const vz::Rect& rect);

  // Set by the owner.
  void setOwner(IDSAnnotationFrameOwner* owner) { owner_ = owner; }
  // The local participant, whose drawing the model does not limit.
  void setMyRosterId(const std::string& narrow_roster_id) {
    myRosterId_ = narrow_roster_id;
    drawing_.setLocalRoster(narrow_roster_id);
  }
  // Companion windows kept above the overlay by the timer; null clears.
  void setPanelWindow(vz::Window* panel);
  void setToolWindow(vz::Window* tool_window);

  // Logs "tool=[%d]" and switches between click-through and interactive.
  void setDrawTool(int32_t tool);
  // The next local element's pen: weight index 0, 1, 2; colour 0x..BBGGRR.
  void setPen(int32_t weightIndex, uint32_t color);

  // Another participant's element: a drawing model code (8, 9, 10, 12, 13,
  // 15), points in screen coordinates, colour 0xAABBGGRR used as sent.
  void addElement(int32_t code, const vz::Point* points, uint32_t count, uint32_t color, int32_t weight,
                  const char16_t* rosterId);
  void eraseRosterElementAt(const vz::Point* point, const char16_t* rosterId);
  void removeRosterElements(const char16_t* rosterId);
  void undo(const char16_t* rosterId);
  void redo(const char16_t* rosterId);
  // Removes every element on behalf of the local participant (who can undo it).
  void clearAll();

  // Applies a checked remote event (points already in screen coordinates)
  // by its type: 2 erase, 3 redo, 4 undo, 5 remove, 11 to 16 shapes. False
  // for the pointer indicator (1), which is not the overlay's.
  bool applyRemoteEvent(const DSAnnotationEvent& event, const char16_t* sender);

  // The keep-on-top step (the timer's tick).
  void OnKeepOnTopTimer();

  // State, for the owner and for tests.
  int32_t tool() const { return tool_; }
  int32_t weightIndex() const { return weightIndex_; }
  uint32_t color() const { return color_; }
  bool IsClickThroughForTesting() const { return passThrough_; }
  bool HasToolCursorForTesting() const { return toolCursor_.has_value(); }
  const std::optional<AlphaCursor>& toolCursorForTesting() const { return toolCursor_; }
  const CDrawObjects& drawing() const { return drawing_; }
  const CAnnotationLayer& layerForTesting() const { return layer_; }
  const std::string& myRosterId() const { return myRosterId_; }

  // The element colour and weight a local tool draws with.
  static uint32_t ElementColor(int32_t tool, uint32_t color);
  static int32_t ElementWeight(int32_t tool, int32_t weightIndex);

  // vz::WindowDelegate
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  void OnResize(vz::Size size) override;

 private:
  struct Companion {
    vz::Window* window = nullptr;
    std::shared_ptr<const bool> alive;
    vz::Window* live() const { return window != nullptr && alive && *alive ? window : nullptr; }
  };

  void PointerDown(const vz::MouseEvent& event);
  void PointerMove(const vz::MouseEvent& event);
  void PointerUp();
  bool IsDoubleClick(const vz::MouseEvent& event);
  void ApplyInputMode(bool pass_through);
  void InvalidateAll();
  // The model changed within `damage` and the model's own damage: the kept
  // layer and the window are painted again there.
  void Changed(const vz::Rect& damage);
  void PaintNow(const vz::Rect& damage);

  vz::Clock& clock_;
  IDSAnnotationFrameOwner* owner_ = nullptr;
  std::optional<AlphaCursor> toolCursor_;
  Companion panelWindow_;
  Companion toolWindow_;
  CDrawObjects drawing_{clock_};
  CAnnotationLayer layer_;
  vz::LogBudget elementLog_{kElementLogBurst, kElementLogRefillMs};
  int32_t weightIndex_ = 0;
  int32_t tool_ = 0;
  uint32_t color_ = 0;
  std::string myRosterId_;

  std::unique_ptr<vz::Window> window_;
  bool passThrough_ = true;
  uint64_t lastPressMs_ = 0;
  vz::Point lastPress_;
  bool lastPressValid_ = false;
};

// Where the overlay goes for a shared rectangle in device pixels: the
// rectangle moved from the first monitor whose device rectangle holds its
// centre into that monitor's logical space (divided by its scale, single
// precision, truncated). Nothing when no monitor holds the centre or that
// monitor's scale is not positive (logged).
std::optional<vz::Rect> AnnotationFramePlacement(const VzRect& shared, const MonitorInfo* monitors, int count);
