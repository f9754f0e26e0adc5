#pragma once
// The JSON texts the host writes to the extension: objects without white
// space, "code" first, "type" second, numbers as unsigned 32-bit decimals.
#include <cstdint>
#include <string>
#include <string_view>

// The escaping of "log" and "report" values: `"`, `\` and `/` get a
// backslash, \b \f \n \r \t their short forms, every other byte below 0x20
// becomes \u00XX, and malformed UTF-8 becomes U+FFFD, so the text is always
// valid JSON and valid UTF-8.
std::string EscapeExtensionText(std::string_view text);

// {"code":<code>,"type":"<type>"}
std::string StatusMessageText(int32_t code, std::string_view type);
// {"code":0,"type":"MEET_APP_UPGRADE_PROGRESS","percent":<percent>}
std::string ProgressMessageText(int32_t percent);
// {"code":0,"type":"MEET_APP_LOG","log":"<escaped line>"}
std::string LogMessageText(std::string_view line);
// {"code":0,"type":"MEET_APP_BASE64DATA","datatype":<kind>,"datacode":"<payload>"}
// The payload (base64) comes out unchanged; one that would break the JSON
// (a quote, a backslash or a control byte) is escaped instead.
std::string Base64DataMessageText(uint32_t kind, std::string_view payload);
// The same message in three parts, for a writer that sends them as they lie:
// the head up to the opening quote of "datacode", the payload, and
// kBase64DataMessageTail. Only for a payload that needs no escape
// (JsonPlainRunLength covers all of it); the others take the text above.
std::string Base64DataMessageHead(uint32_t kind);
inline constexpr std::string_view kBase64DataMessageTail = "\"}";
// {"code":0,"type":"MEET_APP_CRASHREPORT","filename":"<up to the first *>","report":"<escaped payload>"}
// The whole message is kept within `max_size` bytes: a longer report is cut
// after escaping, at the last whole escape or character that fits.
enum class CrashReportText {
  kWhole,
  kCut,         // the report was cut to fit
  kNoFileName,  // the payload holds no "*": nothing built
  kTooLong,     // not even the file name fits: nothing built
};
CrashReportText CrashReportMessageText(std::string_view payload, std::string* text, size_t max_size = SIZE_MAX);
// The longest start of an escaped text, at most `max_size` bytes, that ends
// between two escapes or UTF-8 characters.
size_t EscapedTextCutPoint(std::string_view escaped, size_t max_size);
