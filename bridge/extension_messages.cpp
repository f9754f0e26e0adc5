#include "bridge/extension_messages.h"

#include <algorithm>

#include "platform/text.h"
#include "weblink/json/json_builders.h"

std::string EscapeExtensionText(std::string_view text) {
  // Round-tripping through UTF-16 replaces every malformed sequence.
  const std::string valid = vz::Utf16ToUtf8(vz::Utf8ToUtf16(text));
  std::string out;
  out.reserve(valid.size() + valid.size() / 8 + 8);
  JsonAppendEscaped(&out, valid, JsonSlash::kEscape);
  return out;
}

std::string StatusMessageText(int32_t code, std::string_view type) {
  return "{" + JsonMakeNumberPair("code", code) + "," + JsonMakeStringPair("type", type) + "}";
}

std::string ProgressMessageText(int32_t percent) {
  return "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_UPGRADE_PROGRESS") + "," +
         JsonMakeNumberPair("percent", percent) + "}";
}

std::string LogMessageText(std::string_view line) {
  return "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_LOG") + ",\"log\":\"" +
         EscapeExtensionText(line) + "\"}";
}

std::string Base64DataMessageText(uint32_t kind, std::string_view payload) {
  std::string text = "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_BASE64DATA") +
                     "," + JsonMakeNumberPair("datatype", static_cast<int32_t>(kind)) + ",";
  // Base64 never needs escaping; only a payload that does takes the escaping builder.
  const bool plain = std::none_of(payload.begin(), payload.end(), [](char c) {
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
  if (plain) {
    text.reserve(text.size() + payload.size() + 16);
    text += "\"datacode\":\"";
    text += payload;
    text += "\"}";
  } else {
    text += JsonMakeStringPair("datacode", payload) + "}";
  }
  return text;
}

bool CrashReportMessageText(std::string_view payload, std::string* text) {
  const size_t star = payload.find('*');
  if (star == std::string_view::npos) return false;
  *text = "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_CRASHREPORT") + "," +
          JsonMakeStringPair("filename", payload.substr(0, star)) + ",\"report\":\"" + EscapeExtensionText(payload) +
          "\"}";
  return true;
}
