#pragma once
// The texts of the audio session's reports (family "ac_conf"). Each returns
// "" when its input gives no report.
#include <cstdint>
#include <string>

#include "contracts/ac_report_entries.h"

std::string ACJoinedReport(int32_t muted, int32_t ssrc, const char16_t* conf_id);
// 0 and 4: left; 1: connecting; 2 (joined comes only with its ssrc), 3 and
// above 4: no report.
std::string ACStatusReport(int32_t status, const char16_t* conf_id);
std::string ACErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id);
// Any non-zero flag is muted.
std::string ACMutedReport(int32_t muted, const char16_t* conf_id);
std::string ACMicStatusReport(int32_t status, const char16_t* conf_id);
// No report for a count below 1 or a null list.
std::string ACSpeakersReport(const ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id);
std::string ACNetworksReport(const ACRosterNetworkEntry* rosters, int32_t count, const char16_t* conf_id);
std::string ACDeviceLevelReport(int32_t speaker_level, int32_t microphone_level, const char16_t* conf_id);

enum class ACNotice { kJoin, kLeave, kMute, kUnmute };
std::string ACNoticeReport(ACNotice notice, const char16_t* conf_id);

// 0 "good", 1 "medium", 2 "weak", 3 "bad"; any other class "".
const char* AudioQualityWord(uint32_t quality);
