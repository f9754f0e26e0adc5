#pragma once
// The crash report's exception codes and their names.
#include <cstdint>

#include "platform/fatal_signal.h"

namespace vz {

constexpr uint32_t kExceptionAccessViolation = 0xC0000005u;
constexpr uint32_t kExceptionStackOverflow = 0xC00000FDu;

// The code a fault is reported with; 0 for a kind the table has no code for.
uint32_t ExceptionCodeOf(FaultKind kind);
// The name of a code, "NA" for a code outside the table.
const char* ExceptionName(uint32_t code);

}  // namespace vz
