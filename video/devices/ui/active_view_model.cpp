#include "video/devices/ui/active_view_model.h"

#include <algorithm>

#include "outside/vzres/vzres_ids.h"

namespace vzpanel {

void ActiveViewModel::setActiveRecord(const VideoRosterInfo* record) {
  if (record != nullptr) {
    record_ = *record;
  } else {
    record_ = VideoRosterInfo{};
  }
  label_shown_ = !record_.rosterId.empty();
}

void ActiveViewModel::updateActiveRecord(const VideoRosterInfo& record) {
  if (isActiveRecord(&record)) setActiveRecord(&record);
}

bool ActiveViewModel::isActiveRecord(const VideoRosterInfo* record) const {
  if (record == nullptr) return record_.rosterId.empty();
  return record->rosterId == record_.rosterId;
}

ActiveButtonLook ActiveViewModel::ButtonLook(int32_t mode, bool presenter) {
  ActiveButtonLook look;
  switch (mode) {
    case kSelectionLocal:
      look = {true, true, 0, vzres::IDS_VIDEO_FOLLOW_SPEAKER};
      break;
    case kSelectionSpeaker:
      look = {false, true, 0, 0};
      break;
    case kSelectionSpotlight:
      look = presenter ? ActiveButtonLook{true, true, 0, vzres::IDS_VIDEO_CANCEL_SPOTLIGHT}
                       : ActiveButtonLook{true, false, vzres::IDB_VIDEO_SPOTLIGHT_MARK, 0};
      break;
    default:
      break;
  }
  return look;
}

void ActiveViewModel::setButtonMode(int32_t mode, bool presenter) {
  if (mode < kSelectionLocal || mode > kSelectionSpotlight) return;
  mode_ = mode;
  button_ = ButtonLook(mode, presenter);
}

vz::Rect ActiveViewModel::ContainerRect(vz::Size client) { return {1, 1, client.width - 1, client.height - 1}; }

vz::Rect ActiveViewModel::LabelRect(vz::Size client, int text_width, int bottom_inset, int right_limit) {
  const int half = (client.width - 2) / 2;
  const int right = std::max(2, std::min(text_width + 4 < half - 2 ? text_width + 4 : half, right_limit));
  const int bottom = client.height - 3 - std::max(0, bottom_inset);
  return {2, bottom - 20, right, bottom};
}

vz::Rect ActiveViewModel::ButtonRect(int image_width, int text_width) {
  const int width = image_width + (text_width > 0 ? text_width + 2 : 0);
  return vz::Rect::FromXYWH(3, 3, width + 6, 16);
}

}  // namespace vzpanel
