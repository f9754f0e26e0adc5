#pragma once
// Typed look-ups on an object's members. They never fail: a missing member
// or one of another tag gives the neutral value (empty text, 0, false, no
// members or items). Of repeated names the last one counts. Objects and
// arrays come back as views into the same document; texts as copies.
#include <cstdint>
#include <string>
#include <string_view>

#include "weblink/json/json_value.h"

bool JsonHasKey(const JsonMembers& members, std::string_view key);
std::string JsonGetString(const JsonMembers& members, std::string_view key);
// Truncates toward zero; tags 3 and 4 count as numbers.
int32_t JsonGetNumber(const JsonMembers& members, std::string_view key);
bool JsonGetBool(const JsonMembers& members, std::string_view key);
JsonMembers JsonGetObject(const JsonMembers& members, std::string_view key);
JsonItems JsonGetArray(const JsonMembers& members, std::string_view key);

// Truncation toward zero, defined for every double: a value outside the
// int32 range, an infinity or NaN gives INT32_MIN (0x80000000), the value the
// x86 truncating conversion yields, so results match the 32-bit build.
int32_t JsonNumberToInt32(double number);
