#pragma once
// The presenter's thumbnail menu: owner-drawn text items (white, 13 pixels)
// on 0x212121, 158 pixels wide and 28 high each, widened for a text that
// is longer (another language's) so that none is cut. UI thread only.
#include <cstdint>
#include <vector>

#include "platform/ui/window.h"
#include "uikit/vz_popup_menu.h"
#include "video/devices/ui/main_view_model.h"

namespace vzpanel {

class CVzThumbMenu : public CVzPopupMenuT<CVzThumbMenu> {
 public:
  static constexpr int kItemWidth = 158;
  static constexpr int kItemHeight = 28;
  // The text's left edge in its item; the same margin is kept on the right.
  static constexpr int kTextLeft = 10;

  // A menu of `items`, their texts loaded from the resource bundle.
  explicit CVzThumbMenu(const std::vector<ThumbMenuItem>& items);
  static vz::Font TextFont();

  void MeasureItem(MeasureItemRecord* record) override;
  void DrawItem(const DrawItemRecord& record) override;
};

// Shows the menu bottom-aligned at the screen point; returns the command
// chosen (0: none).
uint32_t TrackThumbMenu(const std::vector<ThumbMenuItem>& items, vz::Point screen, vz::WindowSystem* system);

}  // namespace vzpanel
