#pragma once
// The envelope every report to the web page shares, assembled by plain
// concatenation (no whitespace, no terminating NUL):
//   {"code":0,"codetype":0,"type":"<type>","action":{"<family>":{"conf_id":"<id>"<members>}}}
// The error reports put "type" first. Identifiers arrive as wide texts and
// are written as UTF-8; every text value is escaped, numbers are written as
// unsigned 32-bit decimals (-1 as 4294967295).
#include <cstdint>
#include <string>
#include <string_view>

// The member name inside "action".
enum class ReportFamily {
  kSharing,  // "ds_conf"
  kAudio,    // "ac_conf"
  kVideo,    // "av_conf"
};

// `members` is each further member preceded by a comma, in report order.
std::string MakeReport(std::string_view type, ReportFamily family, const char16_t* conf_id,
                       std::string_view members = {});
std::string MakeErrorReport(std::string_view type, int32_t code, int32_t code_type, ReportFamily family,
                            const char16_t* conf_id, std::string_view members = {});

// One further member with its leading comma.
std::string ReportNumberMember(std::string_view key, int32_t value);
std::string ReportTextMember(std::string_view key, const char16_t* value);
