#include "platform/fatal_signal.h"

#include <errno.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>

namespace vz {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
constexpr size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);
// The report formats lines of 4 KiB on this stack and walks modules; the
// sanitizer build makes frames larger still.
constexpr size_t kAlternateStackSize = 256 * 1024;
// A fault this close to the stack pointer hit the stack's guard area.
constexpr uintptr_t kStackOverflowReach = 64 * 1024;
constexpr int kPageFaultTrap = 14;

struct GuardFrame {
  sigjmp_buf env;
  GuardFrame* previous;
};

// Initial-exec TLS: the handler reads it, and the general model may allocate.
__attribute__((tls_model("initial-exec"))) thread_local GuardFrame* t_guard = nullptr;

std::atomic<FatalSignalCallback> g_callback{nullptr};
std::atomic<int> g_exit_code{1};
std::atomic<bool> g_handling{false};
std::atomic<bool> g_installed{false};
std::atomic<bool> g_direct_reads{false};  // the system refuses process_vm_readv
struct sigaction g_previous[kSignalCount];
alignas(16) char g_alternate_stack[kAlternateStackSize];
bool g_alternate_stack_set = false;
std::terminate_handler g_previous_terminate = nullptr;
// Set by the terminate handler when an exception is in flight; the abort
// that follows reads it.
std::atomic<bool> g_uncaught_exception{false};

// Notes why the process is terminating, then lets the earlier handler (the
// runtime's prints the exception's type) call abort().
[[noreturn]] void OnTerminate() {
  if (std::current_exception() != nullptr) g_uncaught_exception.store(true);
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

FaultKind KindOf(int signo, int code) {
  switch (signo) {
    case SIGSEGV:
      return FaultKind::kAccessViolation;
    case SIGBUS:
      return code == BUS_ADRALN ? FaultKind::kMisalignedData : FaultKind::kPageError;
    case SIGILL:
      return (code == ILL_PRVOPC || code == ILL_PRVREG) ? FaultKind::kPrivilegedInstruction
                                                        : FaultKind::kIllegalInstruction;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return FaultKind::kIntDivideByZero;
        case FPE_INTOVF: return FaultKind::kIntOverflow;
        case FPE_FLTDIV: return FaultKind::kFloatDivideByZero;
        case FPE_FLTOVF: return FaultKind::kFloatOverflow;
        case FPE_FLTUND: return FaultKind::kFloatUnderflow;
        case FPE_FLTRES: return FaultKind::kFloatInexact;
        case FPE_FLTINV: return FaultKind::kFloatInvalid;
        case FPE_FLTSUB: return FaultKind::kFloatSubscript;
        default: return FaultKind::kOther;
      }
    case SIGTRAP:
      // int3 arrives with SI_KERNEL on x86_64, a hardware breakpoint with TRAP_BRKPT.
      return code == TRAP_TRACE ? FaultKind::kSingleStep : FaultKind::kBreakpoint;
    case SIGABRT:
      return g_uncaught_exception.load() ? FaultKind::kUncaughtException : FaultKind::kAbort;
    default:
      return FaultKind::kOther;
  }
}

void FillRegisters(const ucontext_t* uc, CpuRegisters* out) {
  const greg_t* g = uc->uc_mcontext.gregs;
  out->rax = static_cast<uint64_t>(g[REG_RAX]);
  out->rbx = static_cast<uint64_t>(g[REG_RBX]);
  out->rcx = static_cast<uint64_t>(g[REG_RCX]);
  out->rdx = static_cast<uint64_t>(g[REG_RDX]);
  out->rsi = static_cast<uint64_t>(g[REG_RSI]);
  out->rdi = static_cast<uint64_t>(g[REG_RDI]);
  out->rbp = static_cast<uint64_t>(g[REG_RBP]);
  out->rsp = static_cast<uint64_t>(g[REG_RSP]);
  out->r8 = static_cast<uint64_t>(g[REG_R8]);
  out->r9 = static_cast<uint64_t>(g[REG_R9]);
  out->r10 = static_cast<uint64_t>(g[REG_R10]);
  out->r11 = static_cast<uint64_t>(g[REG_R11]);
  out->r12 = static_cast<uint64_t>(g[REG_R12]);
  out->r13 = static_cast<uint64_t>(g[REG_R13]);
  out->r14 = static_cast<uint64_t>(g[REG_R14]);
  out->r15 = static_cast<uint64_t>(g[REG_R15]);
  out->rip = static_cast<uint64_t>(g[REG_RIP]);
  out->eflags = static_cast<uint64_t>(g[REG_EFL]);
  // cs, gs, fs and ss are packed into one word, cs in the low 16 bits, ss in the high.
  const uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);
  out->cs = static_cast<uint16_t>(segments & 0xFFFF);
  out->ss = static_cast<uint16_t>(segments >> 48);
}

void DescribeSignal(int signo, const siginfo_t* si, const ucontext_t* uc, FatalSignalInfo* info) {
  info->signal_number = signo;
  info->signal_code = si ? si->si_code : 0;
  info->kind = KindOf(signo, info->signal_code);
  info->process_id = static_cast<int>(getpid());
  info->thread_id = static_cast<int>(syscall(SYS_gettid));
  // A positive code means the kernel raised it for an instruction; kill,
  // raise and sigqueue give codes of zero or less and carry no address.
  info->has_fault_address = si != nullptr && si->si_code > 0 && signo != SIGTRAP && signo != SIGABRT;
  info->fault_address = info->has_fault_address ? reinterpret_cast<uintptr_t>(si->si_addr) : 0;
  if (uc != nullptr) {
    FillRegisters(uc, &info->registers);
    const greg_t* g = uc->uc_mcontext.gregs;
    if (signo == SIGSEGV && g[REG_TRAPNO] == kPageFaultTrap) {
      info->is_write = (static_cast<uint64_t>(g[REG_ERR]) & 2u) != 0;
    }
  }
  if (info->kind == FaultKind::kAccessViolation && info->has_fault_address && uc != nullptr) {
    const uintptr_t sp = static_cast<uintptr_t>(info->registers.rsp);
    const uintptr_t addr = info->fault_address;
    const uintptr_t distance = addr > sp ? addr - sp : sp - addr;
    info->is_stack_overflow = distance <= kStackOverflowReach;
  }
}

// The default action and the signal again: the process dies by it.
void PassOn(int signo) {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof(dfl));
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(signo, &dfl, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signo);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signo);
  // A fault raised by an instruction also fires again on return.
}

void OnFatalSignal(int signo, siginfo_t* si, void* context) {
  const int saved_errno = errno;
  if (GuardFrame* guard = t_guard) {
    t_guard = guard->previous;
    siglongjmp(guard->env, 1);
  }
  if (g_handling.exchange(true)) ExitProcessNow(g_exit_code.load());

  FatalSignalInfo info;
  DescribeSignal(signo, si, static_cast<const ucontext_t*>(context), &info);
  FatalSignalCallback callback = g_callback.load();
  const FatalSignalVerdict verdict = callback ? callback(info) : FatalSignalVerdict::kPassOn;
  if (verdict == FatalSignalVerdict::kExit) ExitProcessNow(g_exit_code.load());
  PassOn(signo);
  errno = saved_errno;
}

void SetAlternateStack() {
  if (g_alternate_stack_set) return;
  stack_t stack;
  std::memset(&stack, 0, sizeof(stack));
  stack.ss_sp = g_alternate_stack;
  stack.ss_size = sizeof(g_alternate_stack);
  if (sigaltstack(&stack, nullptr) == 0) g_alternate_stack_set = true;
}

}  // namespace

bool InstallFatalSignalHandler(FatalSignalCallback callback, int exit_code) {
  g_callback.store(callback);
  g_exit_code.store(exit_code);
  if (g_installed.load()) return true;
  SetAlternateStack();
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_sigaction = OnFatalSignal;
  // NODEFER lets a fault inside the report arrive, to end its section.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kSignalCount; ++i) {
    if (sigaction(kSignals[i], &action, &g_previous[i]) != 0) {
      for (size_t j = 0; j < i; ++j) sigaction(kSignals[j], &g_previous[j], nullptr);
      return false;
    }
  }
  g_previous_terminate = std::set_terminate(OnTerminate);
  g_handling.store(false);
  g_installed.store(true);
  return true;
}

void UninstallFatalSignalHandler() {
  if (!g_installed.exchange(false)) return;
  for (size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  std::set_terminate(g_previous_terminate);
  g_callback.store(nullptr);
}

bool RunGuardedSection(void (*body)(void*), void* arg) {
  GuardFrame frame;
  frame.previous = t_guard;
  // The mask is saved so that a jump out of the handler restores it.
  if (sigsetjmp(frame.env, 1) == 0) {
    t_guard = &frame;
    body(arg);
    t_guard = frame.previous;
    return true;
  }
  // The handler has already popped this frame.
  return false;
}

bool ReadMemorySafely(uintptr_t address, void* out, size_t size) {
  if (size == 0) return true;
  if (address == 0) return false;
  if (!g_direct_reads.load(std::memory_order_relaxed)) {
    iovec local{out, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(size)) return true;
    if (n >= 0 || (errno != ENOSYS && errno != EPERM)) return false;
    g_direct_reads.store(true, std::memory_order_relaxed);
  }
  const volatile unsigned char* from = reinterpret_cast<const volatile unsigned char*>(address);
  unsigned char* to = static_cast<unsigned char*>(out);
  for (size_t i = 0; i < size; ++i) to[i] = from[i];
  return true;
}

size_t WalkFramePointers(uintptr_t pc, uintptr_t fp, size_t max_frames,
                         bool (*visit)(uintptr_t pc, uintptr_t fp, void* arg), void* arg) {
  size_t count = 0;
  while (count < max_frames) {
    if (!visit(pc, fp, arg)) break;
    ++count;
    uintptr_t link[2];  // the caller's frame pointer, then the return address
    if (fp == 0 || !ReadMemorySafely(fp, link, sizeof(link))) break;
    const uintptr_t next_fp = link[0];
    if (next_fp % sizeof(uintptr_t) != 0 || next_fp <= fp) break;
    pc = link[1];
    fp = next_fp;
  }
  return count;
}

void ExitProcessNow(int exit_code) { _exit(exit_code); }

}  // namespace vz
