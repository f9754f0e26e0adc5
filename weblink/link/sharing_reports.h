#pragma once
// The texts of the sharing session's reports (family "ds_conf", except the
// start notice's "av_conf"). Each returns "" when its input gives no report.
#include <cstdint>
#include <string>

// 0 and 4: stopped; 1: connecting; 2: started; 3 and above 4: no report.
std::string DSStatusReport(int32_t status, const char16_t* conf_id, const char16_t* ds_id);
std::string DSErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id, const char16_t* ds_id);
// Any non-zero flag approves.
std::string DSRemoteControlReport(int32_t approved, const char16_t* conf_id, const char16_t* ds_id);
std::string DSNotifyStartReport(const char16_t* conf_id);
