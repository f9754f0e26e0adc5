#include "client/sharingui/ds_ui_owner.h"

#include "uikit/window_helpers.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/ui/modal_loop.h"

bool CDSUIDialogs::AskRemoteControl(const DialogText& message, const DialogText& accept, const DialogText& refuse,
                                    uint32_t icon) {
  return showRemoteControlDialog(message, accept, refuse, icon, system_);
}

bool CDSUIDialogs::AskStopSharing(vz::Window* owner) {
  // A warning, kept above every window (the overlay and other programs').
  return ResourceMessageBox(owner, vzres::IDS_STOP_SHARING_QUESTION, vzres::IDS_STOP_SHARING,
                            MB_TOPMOST | MB_ICONWARNING | MB_YESNO, system_) == IDYES;
}

uint32_t CDSUIDialogs::TrackMenu(CVzPopupMenuBase& menu, vz::Point at) {
  tracking_ = &menu;
  const uint32_t id = menu.TrackPopupMenu(at, system_);
  tracking_ = nullptr;
  return id;
}

void CDSUIDialogs::CloseAll() {
  CDSRemoteControlDialog::CloseAll();
  if (tracking_ != nullptr) tracking_->CancelTracking();
}
