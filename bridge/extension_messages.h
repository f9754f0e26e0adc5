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
// The payload (base64) comes out unchanged.
std::string Base64DataMessageText(uint32_t kind, std::string_view payload);
// {"code":0,"type":"MEET_APP_CRASHREPORT","filename":"<up to the first *>","report":"<escaped payload>"}
// False, with nothing built, when the payload holds no "*".
bool CrashReportMessageText(std::string_view payload, std::string* text);
