#pragma once
// The annotation tool bar: a borderless, draggable bar of eleven image
// buttons (select, colour, pen weight, pen, highlighter, shapes, undo,
// redo, eraser, pointer indicator, close) under the sharing panel. It
// decides nothing: every click goes to its owner
// (IDSAnnotationToolWindowOwner), which calls back to show the new state.
// The bar's size is its background image's; it stays on the primary screen
// (6 pixels from the sides, 52 from the top, 36 from the bottom).
//
// Each button shows one of two images: state 1 the plain image, state 2 the
// image tinted with the header colour; a checked button shows the frame.
// UI thread only.
#include <cstdint>
#include <map>
#include <optional>

#include "client/annotation/annotation_owner.h"
#include "contracts/session_records.h"
#include "uikit/gdip_button.h"
#include "uikit/gdiplus_bitmap.h"
#include "uikit/vz_dialog.h"

class DSAnnotationToolWindow : public CVzDialog {
 public:
  // The button message of the system the bar was made for.
  static constexpr uint32_t WM_ANNOTATION_TOOL_BUTTON = 8000;
  static constexpr int kMarginSide = 6;
  static constexpr int kMarginTop = 52;
  static constexpr int kMarginBottom = 36;

  struct ButtonLayout {
    uint32_t id;
    int x;
    int width;
  };
  static const ButtonLayout kLayout[11];

  // What a button shows.
  struct ButtonState {
    uint32_t image_id = 0;  // the state-1 image
    int state = 0;          // 1 plain, 2 selected
    bool checked = false;
  };

  DSAnnotationToolWindow();
  ~DSAnnotationToolWindow() override;

  // Makes the (shown) bar at the background's size; false, logged, when the
  // window layer or the resource library refuses.
  bool Create(vz::WindowSystem* system = nullptr);
  void setOwner(IDSAnnotationToolWindowOwner* owner) { owner_ = owner; }

  void setHeaderColors(uint32_t background, uint32_t text);
  // The background image's size (0 by 0 without it).
  vz::Size getBackgroundSize() const { return GetImageSize(background_); }
  // Hands every button its part of the background and repaints.
  void rebuildBackground();
  // State 1 the plain image, state 2 tinted with the header colour; shows 1.
  void setButtonImage(uint32_t button_id, uint32_t image_id);
  // The colour and weight buttons in the pen colour (0x..BBGGRR); a weight
  // index other than 0, 1, 2 keeps the weight image.
  void updatePenButtons(int32_t weightIndex, uint32_t color);
  // Which tool is on: select 0, pen 4, highlighter 5, eraser 3, pointer 1,
  // shapes 6, 7, 10 to 15 (their own image, tinted).
  void updateToolButtons(int32_t tool);

  // Moves the bar, kept on the primary screen.
  void MoveTo(int x, int y);
  // The clamp, for a bar of `size` on a screen of `screen`.
  static vz::Point ClampPosition(vz::Point position, vz::Size size, vz::Size screen);

  ButtonState buttonStateForTesting(uint32_t button_id) const;
  CImageButton* button(uint32_t button_id) const { return GetDlgItemAs<CImageButton>(button_id); }
  // The image a shape tool shows on the shapes button (0 for other tools).
  static uint32_t ShapeImage(int32_t tool);

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnBodyPress(const vz::MouseEvent& event) override;
  uint32_t WindowFlags() const override;
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  void OnResize(vz::Size size) override;
  void OnCaptureLost() override { dragging_ = false; }

 private:
  // Loads an image into a button's key, tinted when `tint` is set.
  void LoadKey(uint32_t button_id, uint32_t key, uint32_t image_id, std::optional<uint32_t> tint);
  void SetState(uint32_t button_id, int state, bool checked);
  void Layout(vz::Size size);

  IDSAnnotationToolWindowOwner* owner_ = nullptr;
  CGdiPlusBitmapResource background_;
  // The meeting's header colours until its configuration sets them. The
  // background tints the selected images; the text colour is only kept (the
  // bar writes no text).
  uint32_t headerBgColor_ = kDefaultMeetConfig.HeaderBgColor;
  uint32_t headerTextColor_ = kDefaultMeetConfig.HeaderTextColor;
  std::map<uint32_t, ButtonState> states_;
  bool dragging_ = false;
  vz::Point dragOffset_;
};
