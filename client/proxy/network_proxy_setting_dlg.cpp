// The proxy settings dialog's logic.
#include "client/proxy/network_proxy_setting_dlg.h"

#include "platform/text.h"
#include "platform/wide_format.h"

namespace {

constexpr size_t kProxyTextCapacity = 1024;

// The text cut to at most `limit` units, never between a surrogate pair.
std::u16string_view CutField(std::u16string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  if (cut > 0 && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) --cut;
  return text.substr(0, cut);
}

template <size_t N>
std::u16string FieldText(const char16_t (&field)[N]) {
  const char16_t* end = std::char_traits<char16_t>::find(field, N, u'\0');
  return std::u16string(field, end != nullptr ? static_cast<size_t>(end - field) : N);
}

}  // namespace

CNetworkProxySettingDlg::CNetworkProxySettingDlg(NetworkProxyEntry* entry, int32_t pending_session_types)
    : entry_(entry), pending_session_types_(pending_session_types) {}

std::u16string CNetworkProxySettingDlg::ProxyText(const char16_t* prompt_format) const {
  if (entry_ == nullptr || prompt_format == nullptr) return {};
  const std::u16string host = FieldText(entry_->Host);  // terminated even if the entry's field is not
  char16_t text[kProxyTextCapacity];
  const size_t length = vz::FormatWide(text, kProxyTextCapacity, prompt_format, host.c_str(), entry_->Port);
  return std::u16string(text, length);
}

std::u16string CNetworkProxySettingDlg::UserNameText() const {
  return entry_ != nullptr ? FieldText(entry_->UserName) : std::u16string();
}

std::u16string CNetworkProxySettingDlg::PasswordText() const {
  return entry_ != nullptr ? FieldText(entry_->Password) : std::u16string();
}

bool CNetworkProxySettingDlg::OnOk(std::u16string_view user_name, std::u16string_view password) {
  user_name = CutField(user_name, kMaxFieldLength);
  password = CutField(password, kMaxFieldLength);
  // Nothing reaches the entry until both fields hold something: a later
  // Cancel must find the entry as it was.
  if (user_name.empty() || password.empty()) return false;
  if (entry_ != nullptr) {
    vz::CopyUtf16(entry_->UserName, std::size(entry_->UserName), user_name);
    vz::CopyUtf16(entry_->Password, std::size(entry_->Password), password);
  }
  result_ = kResultOk;
  return true;
}

void CNetworkProxySettingDlg::OnCancel() { result_ = kResultCancel; }
