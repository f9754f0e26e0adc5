#pragma once
// Fill the session request records from the web page's JSON objects. Each
// builder zero-fills its record first; a missing key leaves 0, an empty text
// or the named default. Texts that do not fit their field leave it empty.
#include <cstdint>
#include <string_view>

#include "weblink/json/json_value.h"
#include "contracts/session_records.h"

// From the "conf" object of "APP_MEET_CONFIG": the defaults, then each key
// that is present. Flags must be JSON booleans and numbers JSON numbers.
void ParseMeetConfig(const JsonMembers& conf, MeetConfig* config);

// A web colour such as "#0084ff" as a Windows colour value with 0xFF on top
// (0xFFFF8400). The first byte is skipped whatever it is; the rest must read
// wholly as hexadecimal, as a 32-bit strtol reads it, or the result is 0 with
// an error line.
uint32_t convertHexStringToColorValue(std::string_view text);

// One element of "rosters": every field, or for "APP_ROSTERS_CMD_LEFT" only
// the roster id.
void ParseRosterRecord(const JsonMembers& roster, RosterRecord* record);
void ParseRosterLeftRecord(const JsonMembers& roster, RosterRecord* record);

// The four sharing requests, from the "action" object. Without "ds_conf" the
// record stays zero; IsWebAttendee is left to the caller.
void ActionObj2DSConfig(const JsonMembers& action, DSSessionConfig* config);

// The audio join and update, zone form; without a "zone" it reads the plain
// form. False when a required object is missing.
bool ActionObj2ACConfig(const JsonMembers& action, ACSessionConfig* config);
bool ActionObj2ACConfigNoZone(const JsonMembers& action, ACSessionConfig* config);

// The video join and update. Without "av_conf" the record stays zero.
void ActionObj2AVConfig(const JsonMembers& action, AVSessionConfig* config);
