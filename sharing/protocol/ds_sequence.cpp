#include "sharing/protocol/ds_sequence.h"

#include <cstdio>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "platform/random_bytes.h"

bool MakeRandomDsGuid(DsGuid* guid) {
  uint8_t bytes[16];
  if (guid == nullptr || !vz::FillRandomBytes(bytes, sizeof(bytes))) return false;
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  guid->Data1 = vz::Load32(bytes);
  guid->Data2 = vz::Load16(bytes + 4);
  guid->Data3 = vz::Load16(bytes + 6);
  for (int i = 0; i < 8; ++i) guid->Data4[i] = bytes[8 + i];
  return true;
}

std::string MakeDsSequence(const DsGuidSource& source) {
  DsGuid guid{};
  if (!source || !source(&guid)) {
    VZ_LOG_ERROR("No GUID for the message sequence");
    return std::string();
  }
  char text[40];
  const int n = std::snprintf(text, sizeof(text), "VZN%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                              static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                              static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
                              guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                              guid.Data4[7]);
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}
