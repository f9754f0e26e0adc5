#pragma once
// Proxy user names and passwords, stored per proxy host in the user's
// settings store; the password as scrambled hex text, never in clear.
#include "contracts/network_proxy_entry.h"
#include "platform/settings_store.h"

// The store's key, and its values with the host in place of %s.
inline constexpr char kNetworkProxySettingsKey[] = "Software\\Velzar\\NetworkProxy";
inline constexpr char kProxyUserNameValueFormat[] = "vzproxysetting.%s.name";
inline constexpr char kProxyPasswordValueFormat[] = "vzproxysetting.%s.pass";

// Reads the credentials stored for the entry's Host into UserName and
// Password; a missing or undecodable value leaves its field as it was.
// Authentication becomes 1 when both fields are non-empty afterwards, else 0.
// Returns true when it is 1. A null entry gives false.
bool LoadProxyCredentials(NetworkProxyEntry* entry, vz::SettingsStore& store);

// Writes UserName and the scrambled Password under the entry's Host. Nothing
// is written for a null entry or an empty name or password; a failed write is
// logged.
void SaveProxyCredentials(const NetworkProxyEntry* entry, vz::SettingsStore& store);
