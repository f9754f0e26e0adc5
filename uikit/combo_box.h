#pragma once
// A drop-down list of the kit: rows of text, one row selected; a click opens
// the rows in a popup menu of the kit, and choosing another row notifies the
// owner with kNotifySelChange. Rows are told apart by position, never by
// their text (two rows may read the same).
// UI thread only.
#include <functional>
#include <string>
#include <vector>

#include "uikit/vz_control.h"

inline constexpr int kNotifySelChange = 1;  // CBN_SELCHANGE

class CComboBox : public CVzControl {
 public:
  // Adds a row at the end; returns its index.
  int AddString(const std::u16string& text);
  void ResetContent();
  int GetCount() const { return static_cast<int>(rows_.size()); }
  // -1 when no row is selected.
  int GetCurSel() const { return selected_; }
  // Selects a row (-1 for none) without notifying; false for a bad index.
  bool SetCurSel(int index);
  std::u16string GetLBText(int index) const;
  // The row picking: by default the kit's popup menu under the control;
  // returns the chosen index or -1.
  std::function<int(const CComboBox&)> pick_row;
  // Chooses a row as the user would: selects it and notifies when it changed.
  void ChooseRow(int index);

  bool WantsFocus() const override { return true; }
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  int PickWithMenu();

  struct Row {
    std::u16string text;
  };
  std::vector<Row> rows_;
  int selected_ = -1;
};
