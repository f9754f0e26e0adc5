#pragma once
// The texts of the video session's reports and of the ping answer (family
// "av_conf"). Each returns "" when its input gives no report.
#include <cstdint>
#include <string>

std::string AVJoinedReport(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id);
// 0 and 4: left; 1: connecting; 2 (joined comes only with its ssrc), 3 and
// above 4: no report.
std::string AVStatusReport(int32_t status, const char16_t* conf_id);
std::string AVErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id);
// Any non-zero flag is broadcasted.
std::string AVBroadcastedReport(int32_t broadcasted, const char16_t* conf_id);
std::string AVNotifyJoinReport(const char16_t* conf_id);
// The answer to "APP_REQUEST_PING", with the meeting id.
std::string AppPongReport(const char16_t* meet_id);
