#pragma once
// The proxy settings dialog's logic, without a window: what its fields show,
// what OK accepts and what the dialog ends with. The window layer draws it,
// runs its modal loop and feeds the edit boxes' texts to OnOk.
#include <cstdint>
#include <string>
#include <string_view>

#include "contracts/network_proxy_entry.h"

// The sessions to restart after OK (the pending session types).
enum NetworkProxySessionType : int32_t {
  kProxySessionAudio = 1,
  kProxySessionVideo = 2,
  kProxySessionSharing = 4,
};

class CNetworkProxySettingDlg {
 public:
  // What the dialog ends with (the buttons' ids).
  static constexpr int kResultOpen = 0;
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;
  // Longest user name and password, in UTF-16 units.
  static constexpr size_t kMaxFieldLength = 127;

  // `entry` stays the caller's and may be null (then the dialog is not shown).
  CNetworkProxySettingDlg(NetworkProxyEntry* entry, int32_t pending_session_types);

  NetworkProxyEntry* entry() const { return entry_; }
  int32_t pending_session_types() const { return pending_session_types_; }
  void AddPendingSessionTypes(int32_t types) { pending_session_types_ |= types; }

  // The fields' first texts. The proxy text is `prompt_format` (a wide text
  // placeholder, then an integer one) with the entry's Host and Port, at
  // most 1,023 units; empty without an entry or a format.
  std::u16string ProxyText(const char16_t* prompt_format) const;
  std::u16string UserNameText() const;
  std::u16string PasswordText() const;

  // OK with the edit boxes' texts, each cut to kMaxFieldLength. When either
  // is empty the dialog stays open and the entry is left untouched (false);
  // otherwise both go into the entry and the dialog ends with kResultOk.
  bool OnOk(std::u16string_view user_name, std::u16string_view password);
  // Cancel ends the dialog with kResultCancel and changes nothing.
  void OnCancel();

  int result() const { return result_; }
  bool IsEnded() const { return result_ != kResultOpen; }

 private:
  NetworkProxyEntry* entry_;
  int32_t pending_session_types_;
  int result_ = kResultOpen;
};
