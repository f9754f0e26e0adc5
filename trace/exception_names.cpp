#include "trace/exception_names.h"

namespace vz {
namespace {

struct NamedCode {
  uint32_t code;
  const char* name;
};

constexpr NamedCode kNames[] = {
    {0x80000001u, "GUARD_PAGE"},
    {0x80000002u, "DATATYPE_MISALIGNMENT"},
    {0x80000003u, "BREAKPOINT"},
    {0x80000004u, "SINGLE_STEP"},
    {0xC0000005u, "ACCESS_VIOLATION"},
    {0xC0000006u, "IN_PAGE_ERROR"},
    {0xC0000008u, "INVALID_HANDLE"},
    {0xC000001Du, "ILLEGAL_INSTRUCTION"},
    {0xC0000025u, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026u, "INVALID_DISPOSITION"},
    {0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008Du, "FLT_DENORMAL_OPERAND"},
    {0xC000008Eu, "FLT_DIVIDE_BY_ZERO"},
    {0xC000008Fu, "FLT_INEXACT_RESULT"},
    {0xC0000090u, "FLT_INVALID_OPERATION"},
    {0xC0000091u, "FLT_OVERFLOW"},
    {0xC0000092u, "FLT_STACK_CHECK"},
    {0xC0000093u, "FLT_UNDERFLOW"},
    {0xC0000094u, "INT_DIVIDE_BY_ZERO"},
    {0xC0000095u, "INT_OVERFLOW"},
    {0xC0000096u, "PRIV_INSTRUCTION"},
    {0xC00000FDu, "STACK_OVERFLOW"},
};

}  // namespace

uint32_t ExceptionCodeOf(FaultKind kind) {
  switch (kind) {
    case FaultKind::kAccessViolation: return kExceptionAccessViolation;
    case FaultKind::kMisalignedData: return 0x80000002u;
    case FaultKind::kPageError: return 0xC0000006u;
    case FaultKind::kIllegalInstruction: return 0xC000001Du;
    case FaultKind::kPrivilegedInstruction: return 0xC0000096u;
    case FaultKind::kIntDivideByZero: return 0xC0000094u;
    case FaultKind::kIntOverflow: return 0xC0000095u;
    case FaultKind::kFloatDivideByZero: return 0xC000008Eu;
    case FaultKind::kFloatOverflow: return 0xC0000091u;
    case FaultKind::kFloatUnderflow: return 0xC0000093u;
    case FaultKind::kFloatInexact: return 0xC000008Fu;
    case FaultKind::kFloatInvalid: return 0xC0000090u;
    case FaultKind::kFloatSubscript: return 0xC000008Cu;
    case FaultKind::kBreakpoint: return 0x80000003u;
    case FaultKind::kSingleStep: return 0x80000004u;
    case FaultKind::kAbort: return kExceptionFatalAppExit;
    case FaultKind::kUncaughtException: return kExceptionCppException;
    case FaultKind::kOther: return 0;
  }
  return 0;
}

const char* ExceptionName(uint32_t code) {
  for (const NamedCode& entry : kNames) {
    if (entry.code == code) return entry.name;
  }
  return "NA";
}

}  // namespace vz
