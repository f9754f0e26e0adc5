#include "sharing/engine/sharing_info_handler.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "common/trace_client.h"
#include "platform/text.h"
#include "sharing/engine/rect_text.h"

int32_t HandleSharingInfo(const SharingInfo* info, const DsScreenState& state, IDSProviderSink* client) {
  if (info == nullptr) return 0;
  VZ_LOG("MEM [%.02f]", 0.0);
  state.keyframes->Reset();
  state.cursor->Reset();
  if (state.stored != info) std::memcpy(state.stored, info, sizeof(SharingInfo));
  SharingInfo& stored = *state.stored;
  const int32_t monitors = std::clamp(stored.MonitorCount, 0, kMonitorListCapacity);
  const int32_t applications = std::clamp(stored.ApplicationCount, 0, kApplicationListCapacity);
  char block[32];
  std::snprintf(block, sizeof block, "(%d, %d)", stored.BlockWidth, stored.BlockHeight);
  VZ_LOG("DSKE : capture mode [%d] block [%s] all monitors(%d) rect [%s] all applications(%d)", stored.CaptureMode,
         block, monitors, DsRectText(stored.SharedRect).c_str(), applications);
  state.frames->Apply(stored, client);
  for (int32_t i = 0; i < applications; ++i) {
    const ApplicationInfo& application = stored.Applications[i];
    if (application.Shared == 0) continue;
    // The field may lack its terminator.
    const std::u16string_view title(application.Title,
                                    std::find(std::begin(application.Title), std::end(application.Title), u'\0') -
                                        std::begin(application.Title));
    VZ_LOG("DSKE : Window handle: [0x%08X] Name [%s]", application.Window, vz::Utf16ToUtf8(title).c_str());
  }
  if (client != nullptr) client->OnSharingInfo(state.stored);
  return 1;
}

int32_t HandleCapturedSharingInfo(const SharingInfo* info, const DsScreenState& state, IDSProviderSink* client,
                                  IDSTp* transport) {
  if (info == nullptr) return 0;
  VZ_LOG("\n\n------------ SHARING INFO ------------\n");
  std::unique_ptr<SharingInfo> copy(new (std::nothrow) SharingInfo);
  if (!copy) {
    VZ_LOG_ERROR("no memory for a sharing info.");
    return 0;
  }
  std::memcpy(copy.get(), info, sizeof(SharingInfo));
  const int32_t monitors = std::clamp(copy->MonitorCount, 0, kMonitorListCapacity);
  for (int32_t i = 0; i < monitors; ++i) copy->Monitors[i].BackgroundColor = CMonitorData::kGreyPixel;
  HandleSharingInfo(copy.get(), state, client);
  if (transport != nullptr) transport->DSSendSharingInfo(state.stored);
  return 1;
}
