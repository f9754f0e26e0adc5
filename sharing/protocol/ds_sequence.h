#pragma once
// The `sequence` text of every sharing message: "VZN" followed by a fresh
// GUID, so that no two messages carry the same text.
#include <cstdint>
#include <functional>
#include <string>

struct DsGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// Fills a new GUID; false when none could be made. Tests inject fixed ones.
using DsGuidSource = std::function<bool(DsGuid*)>;

// A random (version 4) GUID from the kernel's random source.
bool MakeRandomDsGuid(DsGuid* guid);

// "VZN" + Data1 as %08X, Data2 as %04X, Data3 as %04x (lower case) and the
// eight bytes as %02X: 35 characters. "" when the source made no GUID (or
// there is no source).
std::string MakeDsSequence(const DsGuidSource& source);
