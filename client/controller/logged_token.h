#pragma once
// Session tokens never reach a log line in clear: the controller's log lines
// show "***" for a token, and "" when there is none (so a missing one shows).

inline const char16_t* LoggedToken(const char16_t* token) {
  return token == nullptr || token[0] == u'\0' ? u"" : u"***";
}
