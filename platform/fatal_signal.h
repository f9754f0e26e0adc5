#pragma once
// The fatal-signal port: one process-wide handler for the faults that end a
// process (invalid memory access, bus error, illegal instruction, arithmetic
// fault, trap) and for a fatal abort (abort(), std::terminate, an exception
// that nothing catches), run on an alternate signal stack. The callback runs
// inside the signal handler and may use async-signal-safe work only; it must
// not call into the dynamic loader (see elf_modules.h for module lookups).
#include <cstddef>
#include <cstdint>

namespace vz {

// What kind of fault a signal reports, independent of its numbers.
enum class FaultKind {
  kAccessViolation,       // invalid memory access
  kMisalignedData,        // bus error: misaligned address
  kPageError,             // bus error: other (no backing page, hardware error)
  kIllegalInstruction,
  kPrivilegedInstruction,
  kIntDivideByZero,
  kIntOverflow,
  kFloatDivideByZero,
  kFloatOverflow,
  kFloatUnderflow,
  kFloatInexact,
  kFloatInvalid,
  kFloatSubscript,        // subscript out of range
  kBreakpoint,
  kSingleStep,
  kAbort,               // abort() or std::terminate without an exception in flight
  kUncaughtException,   // std::terminate because a C++ exception was not caught
  kOther,
};

// The x86_64 registers of the interrupted context.
struct CpuRegisters {
  uint64_t rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp;
  uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
  uint64_t rip, eflags;
  uint16_t cs, ss;
};

struct FatalSignalInfo {
  int signal_number = 0;
  int signal_code = 0;
  FaultKind kind = FaultKind::kOther;
  // A fault raised by an instruction (not sent by kill or raise) carries the
  // address it touched; for an access violation also whether it wrote.
  bool has_fault_address = false;
  uintptr_t fault_address = 0;
  bool is_write = false;
  // The fault hit the stack's guard area: a stack overflow.
  bool is_stack_overflow = false;
  int process_id = 0;
  int thread_id = 0;
  CpuRegisters registers{};
};

enum class FatalSignalVerdict {
  kPassOn,  // restore the default action and re-raise: the process dies by its signal
  kExit,    // end the process at once with the installed exit code
};
using FatalSignalCallback = FatalSignalVerdict (*)(const FatalSignalInfo& info);

// Installs the handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP and
// SIGABRT, and a std::terminate handler that notes an uncaught exception
// before it calls the earlier one (once per process; a later call only
// replaces the callback and the exit code), and gives the calling thread an
// alternate signal stack. A fault that arrives
// while the callback is already running ends the process with `exit_code`,
// unless a guarded section of the faulting thread catches it.
bool InstallFatalSignalHandler(FatalSignalCallback callback, int exit_code);
// Restores the actions and the terminate handler that were in place before the install.
void UninstallFatalSignalHandler();

// Runs body(arg); a fault inside it ends only the body. Returns false when a
// fault ended it. Sections may nest; each thread has its own.
bool RunGuardedSection(void (*body)(void*), void* arg);

// Copies `size` bytes from `address` without faulting where the system allows
// it; elsewhere it reads directly, so call it inside a guarded section.
// False when the memory cannot be read.
bool ReadMemorySafely(uintptr_t address, void* out, size_t size);

// Walks the chain of frame pointers from (pc, fp): visit(pc, fp) for the first
// frame, then the return address above each frame pointer and the frame
// pointer it points at. Stops when `visit` returns false, when the next frame
// pointer is misaligned, not above the current one or unreadable, or after
// `max_frames`. Returns the number of frames visited.
size_t WalkFramePointers(uintptr_t pc, uintptr_t fp, size_t max_frames,
                         bool (*visit)(uintptr_t pc, uintptr_t fp, void* arg), void* arg);

[[noreturn]] void ExitProcessNow(int exit_code);

}  // namespace vz
