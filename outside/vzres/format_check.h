#pragma once
// Checks the conversions of a string that the program feeds to the wide
// formatter, so a translated text cannot ask for an argument it is not given.
#include <cstdint>
#include <string>
#include <string_view>

namespace vzres {

// True when `text` holds exactly the conversions of `expected`, in order:
// 's' a wide text (%s), 'd' an integer (%d, %i or %u). Flags, a width and a
// precision are allowed; '*', size prefixes and other conversions are not.
// "%%" is a plain percent sign.
bool CheckFormatConversions(std::string_view text, std::string_view expected, std::string* error);

// The conversions that string `id` must hold ("" for a plain text).
std::string_view ExpectedConversions(uint32_t id);

}  // namespace vzres
