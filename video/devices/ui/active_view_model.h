#pragma once
// The large view's state without its window: the participant it shows (its
// own copy), the active-speaker button's mode and look, the name label's
// visibility, and the places of the container, label and button. The
// active view window draws from it. UI thread only.
#include <cstdint>
#include <optional>

#include "platform/ui/ui_types.h"
#include "video/devices/ui/video_container_state.h"
#include "video/engine/client/video_roster_info.h"

namespace vzpanel {

// Why the large view shows its participant (the button's mode).
enum ActiveSelection : int32_t {
  kSelectionLocal = 0,      // chosen on this machine
  kSelectionSpeaker = 1,    // following the active speaker
  kSelectionSpotlight = 2,  // a presenter's spotlight for everybody
};

struct ActiveButtonLook {
  bool shown = false;
  bool enabled = true;
  uint32_t image = 0;    // 0: no image
  uint32_t text_id = 0;  // 0: no text
};

class ActiveViewModel {
 public:
  // Copies the record (null empties the view); the name label shows while
  // there is a participant, until the next refreshOverlay.
  void setActiveRecord(const VideoRosterInfo* record);
  // setActiveRecord, only for the participant now shown.
  void updateActiveRecord(const VideoRosterInfo& record);
  // For a record: whether it is the one shown; for null: whether none is.
  bool isActiveRecord(const VideoRosterInfo* record) const;
  const VideoRosterInfo& record() const { return record_; }

  // The button for a selection mode and my presenter flag; other modes
  // leave the button as it is.
  void setButtonMode(int32_t mode, bool presenter);
  static ActiveButtonLook ButtonLook(int32_t mode, bool presenter);
  const ActiveButtonLook& button() const { return button_; }
  int32_t buttonMode() const { return mode_; }

  // The overlay was shown or hidden: the name label goes, the button stays
  // as its mode says.
  void refreshOverlay() { label_shown_ = false; }
  bool labelShown() const { return label_shown_; }
  void showBlockedHint(bool blocked) { container_.hint_shown = blocked; }

  VideoContainerState& container() { return container_; }
  const VideoContainerState& container() const { return container_; }

  // Places in a client area of `client`: the container inset by 1; the name
  // label at the bottom left, as wide as its text + 4 while that is less
  // than half the width - 2, else half the width, and `bottom_inset` higher
  // (what lies over the view's bottom left: the panel's tool bar while it
  // shows), ending at `right_limit` at most (where the strip begins beside
  // it; the name is then ellipsized); the button at (3, 3), 16 high, its
  // image and text (+ 2 with text) + 6 wide.
  static constexpr int kNoLimit = 1 << 30;
  static vz::Rect ContainerRect(vz::Size client);
  static vz::Rect LabelRect(vz::Size client, int text_width, int bottom_inset = 0, int right_limit = kNoLimit);
  static vz::Rect ButtonRect(int image_width, int text_width);

 private:
  VideoRosterInfo record_;
  VideoContainerState container_;
  ActiveButtonLook button_;
  int32_t mode_ = kSelectionSpeaker;
  bool label_shown_ = false;
};

}  // namespace vzpanel
