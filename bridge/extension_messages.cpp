#include "bridge/extension_messages.h"

#include <cstdint>

#include "bridge/json_plain_run.h"
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

std::string Base64DataMessageHead(uint32_t kind) {
  // Built once per binary block of the sharing engine: one allocation.
  std::string head = "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":";
  head += std::to_string(kind);
  head += ",\"datacode\":\"";
  return head;
}

std::string Base64DataMessageText(uint32_t kind, std::string_view payload) {
  // Base64 never needs escaping; only a payload that does takes the escaping builder.
  if (JsonPlainRunLength(payload.data(), payload.size()) == payload.size()) {
    std::string text = Base64DataMessageHead(kind);
    text.reserve(text.size() + payload.size() + kBase64DataMessageTail.size());
    text += payload;
    text += kBase64DataMessageTail;
    return text;
  }
  return "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_BASE64DATA") + "," +
         JsonMakeNumberPair("datatype", static_cast<int32_t>(kind)) + "," + JsonMakeStringPair("datacode", payload) +
         "}";
}

size_t EscapedTextCutPoint(std::string_view escaped, size_t max_size) {
  size_t at = 0;
  while (at < escaped.size()) {
    const unsigned char c = static_cast<unsigned char>(escaped[at]);
    size_t step = 1;
    if (c == '\\') {
      step = (at + 1 < escaped.size() && escaped[at + 1] == 'u') ? 6 : 2;
    } else if (c >= 0xF0) {
      step = 4;
    } else if (c >= 0xE0) {
      step = 3;
    } else if (c >= 0xC0) {
      step = 2;
    }
    if (at + step > max_size || at + step > escaped.size()) break;
    at += step;
  }
  return at;
}

CrashReportText CrashReportMessageText(std::string_view payload, std::string* text, size_t max_size) {
  const size_t star = payload.find('*');
  if (star == std::string_view::npos) return CrashReportText::kNoFileName;
  std::string head = "{" + JsonMakeNumberPair("code", 0) + "," + JsonMakeStringPair("type", "MEET_APP_CRASHREPORT") +
                     "," + JsonMakeStringPair("filename", payload.substr(0, star)) + ",\"report\":\"";
  constexpr size_t kTail = 2;  // "}
  if (head.size() + kTail > max_size) return CrashReportText::kTooLong;
  const std::string report = EscapeExtensionText(payload);
  const size_t room = max_size - head.size() - kTail;
  const size_t keep = report.size() <= room ? report.size() : EscapedTextCutPoint(report, room);
  head.append(report, 0, keep);
  head += "\"}";
  *text = std::move(head);
  return keep == report.size() ? CrashReportText::kWhole : CrashReportText::kCut;
}
