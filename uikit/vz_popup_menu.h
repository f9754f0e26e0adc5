#pragma once
// Owner-drawn popup menus: a menu model (items with flags, ids, texts,
// images, column breaks and sub-menus), its measuring and drawing by the
// menu class, and tracking in a popup window of the display that returns
// the chosen command id (0 when the user cancels with Esc or a click
// outside the menu).
//
// CVzPopupMenuT<Owner> is the template the owners derive their menus from;
// its own MeasureItem, DrawItem and OnNCPaint only log that they should be
// overridden. CDSMousePopupMenu is the dark menu of the sharing tools.
// UI thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "uikit/gdiplus_bitmap.h"
#include "platform/ui/canvas.h"
#include "platform/ui/modal_loop.h"
#include "platform/ui/window.h"

// Item flags, with their Windows values.
inline constexpr uint32_t MF_STRING = 0x0;
inline constexpr uint32_t MF_GRAYED = 0x1;
inline constexpr uint32_t MF_DISABLED = 0x2;
inline constexpr uint32_t MF_CHECKED = 0x8;
inline constexpr uint32_t MF_POPUP = 0x10;
inline constexpr uint32_t MF_MENUBREAK = 0x40;
inline constexpr uint32_t MF_OWNERDRAW = 0x100;
inline constexpr uint32_t MF_BYPOSITION = 0x400;
inline constexpr uint32_t MF_SEPARATOR = 0x800;

// Item states handed to DrawItem.
inline constexpr uint32_t ODS_SELECTED = 0x1;
inline constexpr uint32_t ODS_GRAYED = 0x2;
inline constexpr uint32_t ODS_DISABLED = 0x4;
inline constexpr uint32_t ODS_CHECKED = 0x8;

class CVzPopupMenuBase;

struct MenuItem {
  uint32_t flags = 0;
  uint32_t id = 0;
  std::u16string text;
  CVzPopupMenuBase* sub_menu = nullptr;  // MF_POPUP: not owned
};

struct MeasureItemRecord {
  uint32_t item_id = 0;
  uint32_t item_width = 0;
  uint32_t item_height = 0;
};

struct DrawItemRecord {
  vz::Canvas* canvas = nullptr;
  vz::Rect item_rect;
  uint32_t item_id = 0;
  uint32_t item_state = 0;  // ODS_* bits
};

class CVzPopupMenuBase {
 public:
  CVzPopupMenuBase();
  virtual ~CVzPopupMenuBase();
  CVzPopupMenuBase(const CVzPopupMenuBase&) = delete;
  CVzPopupMenuBase& operator=(const CVzPopupMenuBase&) = delete;

  // Appends an item. For a command id other than 0, a normal and a selected
  // image id (0: none) are loaded from the resource library, tinted when
  // `tint` (COLORREF) is not 0, and stored for the id, replacing what the id
  // had; an image that fails to load is stored empty. Returns 1, or 0 when
  // the flags ask for something the menu cannot hold.
  int AppendMenu(uint32_t flags, uint32_t id, const char16_t* text, uint32_t normal_image = 0,
                 uint32_t selected_image = 0, uint32_t tint = 0);
  // Appends an item that opens another menu (kept by the caller).
  int AppendSubMenuForTesting(uint32_t flags, CVzPopupMenuBase* sub_menu, const char16_t* text);
  void SetBackgroundColor(uint32_t colorref);
  void SetItemMetrics(int item_width, int item_height, int image_column);

  virtual void MeasureItem(MeasureItemRecord* record);
  virtual void DrawItem(const DrawItemRecord& record);
  virtual void OnNCPaint(int value);

  // The items and where they lie (columns made by MF_MENUBREAK).
  const std::vector<MenuItem>& items() const { return items_; }
  const MenuItem* FindItem(uint32_t id) const;
  std::vector<vz::Rect> LayoutItems();
  vz::Size MenuSize();
  // Paints the whole menu with the item at `selected` (an index, -1: none)
  // selected.
  void PaintMenu(vz::Canvas& canvas, int selected);

  // Shows the menu at a screen point (kept inside the work area) and returns
  // the command id chosen, or 0 (Esc, a click outside, the menu or its
  // display gone). Runs a nested loop with the pointer and keyboard grabbed.
  uint32_t TrackPopupMenu(vz::Point screen, vz::WindowSystem* system = nullptr);
  // Ends a running tracking with 0 (the owner goes away).
  void CancelTracking();

  uint32_t background_color() const { return background_color_; }
  int item_width() const { return item_width_; }
  int item_height() const { return item_height_; }

 protected:
  const CGdiPlusBitmapResource* NormalImage(uint32_t id) const;
  const CGdiPlusBitmapResource* SelectedImage(uint32_t id) const;
  // "CVzPopupMenuT<class Owner>", for the log lines of the template.
  virtual std::string TemplateName() const { return "CVzPopupMenuT"; }
  void LogShouldBeOverridden(const char* operation) const;

  std::vector<MenuItem> items_;
  std::map<uint32_t, std::unique_ptr<CGdiPlusBitmapResource>> normal_images_;
  std::map<uint32_t, std::unique_ptr<CGdiPlusBitmapResource>> selected_images_;
  vz::Font font_;
  uint32_t background_color_ = 0;
  int item_width_ = 258;
  int item_height_ = 28;
  int image_column_ = 1;
  vz::ModalLoop* tracking_ = nullptr;
  vz::AliveFlag alive_;
  // What MeasureItem and DrawItem are called for (the records carry only
  // ids, as on the system the menus were made for).
  bool measuring_separator_ = false;
  const MenuItem* measuring_item_ = nullptr;  // the item MeasureItem measures
  const MenuItem* drawing_item_ = nullptr;

  friend class MenuTracker;
};

// The class name of the owner, as the log lines show it ("class X").
std::string MenuOwnerClassName(const std::type_info& type);

template <typename Owner>
class CVzPopupMenuT : public CVzPopupMenuBase {
 protected:
  std::string TemplateName() const override {
    return "CVzPopupMenuT<" + MenuOwnerClassName(typeid(Owner)) + ">";
  }
};

class CDSMousePopupMenu : public CVzPopupMenuT<CDSMousePopupMenu> {
 public:
  static constexpr int kSeparatorHeight = 12;
  static constexpr uint32_t kSelectedFill = 0xFCEBDD;     // COLORREF
  static constexpr uint32_t kSelectedOutline = 0xCEA37C;  // COLORREF
  static constexpr uint32_t kSelectedText = 0xFF0000;     // COLORREF: blue
  static constexpr uint32_t kDisabledText = 0x808080;
  static constexpr uint32_t kText = 0xFFFFFF;
  static constexpr uint32_t kEtchShadow = 0x808080;
  static constexpr uint32_t kEtchLight = 0xC0C0C0;

  ~CDSMousePopupMenu() override;
  void MeasureItem(MeasureItemRecord* record) override;
  void DrawItem(const DrawItemRecord& record) override;
};
