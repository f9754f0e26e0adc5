#pragma once
// Session tokens never reach a log line or the web page's log in clear.
#include <string>
#include <string_view>

// "" for a null or empty token (so a missing one still shows), else "***".
std::string MaskedToken(const char16_t* token);
std::string MaskedToken(std::string_view token);
