#pragma once
// The colour menu of the annotation tools: an owner-drawn popup of colour
// swatches, 24 by 24 pixels each, with a light-blue rounded highlight on the
// selected or checked swatch. The owner appends the palette (a column break
// before every fourth entry), checks the current colour and tracks it.
// UI thread only.
#include <cstdint>
#include <map>

#include "uikit/vz_popup_menu.h"

class CDSColorPopupMenu : public CVzPopupMenuT<CDSColorPopupMenu> {
 public:
  static constexpr int kSwatchSize = 24;
  static constexpr uint32_t kHighlightFill = 0x00FCEBDD;     // COLORREF
  static constexpr uint32_t kHighlightOutline = 0x00CEA37C;  // COLORREF

  CDSColorPopupMenu();
  ~CDSColorPopupMenu() override;

  // Appends a swatch item; `color` is 0xAABBGGRR, stored without its alpha.
  // After SetColumnBreak the item starts a new column. An id of 0 keeps no
  // swatch (it draws black).
  void AppendColorItem(uint32_t flags, uint32_t id, uint32_t color);
  void SetColumnBreak() { columnBreak_ = true; }

  // The colour menu as the owner shows it: the palette with the entry equal
  // to `current` checked, background 0x212121.
  void BuildPalette(uint32_t current);

  // The swatch colour (COLORREF) of an id, if any.
  const std::map<uint32_t, uint32_t>& swatchesForTesting() const { return swatches_; }

  void MeasureItem(MeasureItemRecord* record) override;
  void DrawItem(const DrawItemRecord& record) override;

 private:
  bool columnBreak_ = false;
  std::map<uint32_t, uint32_t> swatches_;
};
