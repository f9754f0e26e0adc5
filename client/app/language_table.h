#pragma once
// The user-interface language of the resource bundle from the "/LAN:" text:
// a substring test in a fixed order, the first hit wins (so "pt-es" is
// Portuguese); anything else, and an empty text, is 1033 (English).
#include <cstdint>

uint32_t LanguageIdForText(const char16_t* language);
