#pragma once
// Small text helpers shared by every deliverable.
#include <cstdint>
#include <string>

// UTF-16 to UTF-8; null or empty gives "".
std::string WideToNarrow(const char16_t* text);
// The decimal text of an unsigned 32-bit number.
std::string ULongToString(uint32_t value);
// One of the shared helpers every deliverable is given; there is no Windows
// version here, so it is always false, and no code of this port asks it.
bool IsWindowsVersion6();
