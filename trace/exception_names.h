#pragma once
// The crash report's exception codes and their names.
#include <cstdint>

#include "platform/fatal_signal.h"

namespace vz {

constexpr uint32_t kExceptionAccessViolation = 0xC0000005u;
constexpr uint32_t kExceptionStackOverflow = 0xC00000FDu;
// A fatal abort has no fault code of its own. It is reported with the codes
// the Windows runtime gives the same ends, neither of which has a name in the
// table: abort() and std::terminate report STATUS_FATAL_APP_EXIT, and a C++
// exception that nothing catches reaches the unhandled-exception filter as the
// C++ exception code.
constexpr uint32_t kExceptionFatalAppExit = 0x40000015u;
constexpr uint32_t kExceptionCppException = 0xE06D7363u;

// The code a fault is reported with; 0 for a kind the table has no code for.
uint32_t ExceptionCodeOf(FaultKind kind);
// The name of a code, "NA" for a code outside the table.
const char* ExceptionName(uint32_t code);

}  // namespace vz
