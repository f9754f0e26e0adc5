#include "video/engine/client/video_roster_info.h"

#include <algorithm>

#include "platform/text.h"
#include "video/engine/client/video_client_seams.h"

void VideoRosterInfo::Reset() {
  head = RosterRecord{};
  videoStatus = 0;
  wantedSize = kVideoSizeNone;
  isSubscribed = 0;
  listenChannel = nullptr;
  rosterId.clear();
}

void VideoRosterInfo::SetAppRoster(const RosterRecord& record) {
  head = record;
  rosterId = NarrowRosterId(head.RosterId, sizeof(head.RosterId) / sizeof(head.RosterId[0]));
}

void VideoRosterInfo::ApplyServerRoster(const ServerRoster& roster) {
  videoStatus = static_cast<int32_t>(roster.status);
  spotlight = static_cast<int32_t>(roster.spotlight);
  active = static_cast<int32_t>(roster.active);
  if (roster.ssrc != 0) {
    ssrc = roster.ssrc;
    if (listenChannel != nullptr) listenChannel->SetSSRC(ssrc);
  }
}

int32_t VideoRosterInfo::LargestRendererSize() const {
  int32_t largest = kVideoSizeNone;
  for (const auto& [handle, size] : renderers) largest = std::max(largest, size);
  return largest;
}

std::string NarrowRosterId(const char16_t* wide, size_t capacity) {
  size_t n = 0;
  while (n < capacity && wide[n] != 0) ++n;
  return vz::Utf16ToUtf8(std::u16string_view(wide, n));
}
