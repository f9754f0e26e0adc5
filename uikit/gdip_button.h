#pragma once
// The kit's owner-drawn image button: a map of PNG images under keys (the
// current key's image is drawn), hover and pressed looks made with colour
// matrices, a background behind the image (the parent's pixels, a captured
// snapshot or a plain colour) and an optional caption.
//
// Drawing: the background, then the image of the current key (pressed: at
// natural size 1 pixel right and down; hover: through the hot matrix;
// disabled with the grey flag: through the grey matrix; otherwise at natural
// size) in the image rectangle, then the caption.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "uikit/gdiplus_bitmap.h"
#include "uikit/vz_control.h"

class CGdipButton : public CVzControl {
 public:
  static constexpr size_t kMaxCaption = 119;

  CGdipButton();
  ~CGdipButton() override;

  // Loads the PNG under the key, replacing (and first deleting) what the key
  // held; the first key ever added becomes current. 1 when it loaded, else 0
  // (the key then has no image).
  int AddImage(uint32_t resource_id, uint32_t key);
  // The same; the name the video panel uses.
  int SetImage(uint32_t resource_id, uint32_t key) { return AddImage(resource_id, key); }
  // Selects the image to draw (a key without an image draws none).
  void SetCurrentImage(uint32_t key);
  uint32_t GetCurrentImageForTesting() const { return current_key_; }
  // Tints every image of the button, then repaints.
  void SetImageColorForTesting(uint32_t colorref);
  // Tints the image under one key only; false when the key has none.
  bool TintKeyImage(uint32_t key, uint32_t colorref);
  // The background: a copy of the given surface's pixels under the button
  // (`origin` is where the surface's (0,0) lies in the button's top-level
  // window), or a plain colour. Without either, the parent's own pixels show.
  void CaptureBackground(const vz::Image& surface, vz::Point origin = {0, 0});
  void SetBackgroundColor(uint32_t colorref);
  // The current key's image size; 0 by 0 without one.
  vz::Size GetCurrentImageSize() const;
  // Where the image goes: the size of the smallest key's image (not the
  // current one), centred in the client area; empty without images.
  virtual vz::Rect GetImageRect() const;

  // Set directly by the owner.
  int text_margin = 0;             // 0 centres the caption
  bool grey_when_disabled = false;
  uint32_t text_color = 0xFFFFFFFF;  // COLORREF; the top byte is ignored
  bool forward_mouse_moves = false;  // also tell the parent of moves (OnForwardedMove)
  std::function<void(const vz::MouseEvent&)> on_forwarded_move;

  bool IsHover() const { return hover_; }
  bool IsPressedForTesting() const { return pressed_; }
  const CGdiPlusBitmapResource* ImageOf(uint32_t key) const;

  // vz::WindowDelegate
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnCaptureLost() override;

 protected:
  virtual void DrawBackground(vz::Canvas& canvas, bool pressed);
  virtual void DrawText(vz::Canvas& canvas, bool pressed);
  void DrawImageStep(vz::Canvas& canvas, bool pressed);
  std::u16string Caption() const { return text_.substr(0, kMaxCaption); }

 private:
  std::map<uint32_t, std::unique_ptr<CGdiPlusBitmapResource>> images_;
  uint32_t current_key_ = 0;
  bool hover_ = false;
  bool pressed_ = false;
  std::optional<vz::Image> snapshot_;
  std::optional<uint32_t> background_color_;
};

// CGdipButton with an image state, a highlight image stretched over the
// button and a mark image at the image's corner.
class CImageButton : public CGdipButton {
 public:
  static constexpr uint32_t kMarkImageId = 352;

  bool LoadHighlightImage(uint32_t resource_id);
  bool LoadMarkImage();
  // Stores the state and repaints. The state is also the key of the image
  // drawn when the button holds an image under that key (owners give their
  // images by state: 1 normal, 2 and 3 off and on, ...).
  virtual void SetImageState(int state);
  int GetImageState() const { return image_state_; }
  // The held-down look of a toggle (a tool that is on): the highlight shows
  // while the button is pressed, hovered or checked. A non-zero image state
  // alone does not light it, since every owner uses non-zero states as image
  // keys and the highlight would then never go out.
  void SetCheck(bool checked);
  bool IsCheckedForTesting() const { return checked_; }

  vz::Rect GetImageRect() const override;

 protected:
  void DrawBackground(vz::Canvas& canvas, bool pressed) override;
  void DrawText(vz::Canvas& canvas, bool pressed) override;

 private:
  int image_state_ = 0;
  bool checked_ = false;
  CGdiPlusBitmapResource highlight_;
  CGdiPlusBitmapResource mark_;
};
