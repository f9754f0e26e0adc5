#include "platform/fatal_signal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <thread>

namespace vz {
namespace {

// Volatile all through, so that no access or division is optimised away.
volatile int* volatile g_pointer = nullptr;
volatile int g_zero = 0;
volatile int g_result = 0;

__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void WriteAt(uintptr_t address) {
  g_pointer = reinterpret_cast<volatile int*>(address);
  *g_pointer = 1;
}
__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void ReadAt(uintptr_t address) {
  g_pointer = reinterpret_cast<volatile int*>(address);
  g_result = *g_pointer;
}
// Not 1 / x, which compiles to no division at all.
__attribute__((noinline, no_sanitize_undefined)) void Divide() { g_result = 7 / g_zero; }

// What the handler saw, checked by the child before it ends.
FatalSignalInfo g_seen;
FatalSignalVerdict Record(const FatalSignalInfo& info) {
  g_seen = info;
  return FatalSignalVerdict::kExit;
}
FatalSignalVerdict PassOn(const FatalSignalInfo&) { return FatalSignalVerdict::kPassOn; }
FatalSignalVerdict FaultAgain(const FatalSignalInfo&) {
  WriteAt(0);
  return FatalSignalVerdict::kPassOn;
}
FatalSignalVerdict CheckWriteAt16(const FatalSignalInfo& info) {
  const bool ok = info.signal_number == SIGSEGV && info.kind == FaultKind::kAccessViolation &&
                  info.has_fault_address && info.fault_address == 16 && info.is_write && !info.is_stack_overflow &&
                  info.registers.rip != 0 && info.registers.rsp != 0;
  std::_Exit(ok ? 40 : 41);
}
FatalSignalVerdict CheckRead(const FatalSignalInfo& info) {
  std::_Exit(info.kind == FaultKind::kAccessViolation && !info.is_write && info.fault_address == 8 ? 42 : 43);
}
FatalSignalVerdict CheckDivide(const FatalSignalInfo& info) {
  std::_Exit(info.signal_number == SIGFPE && info.kind == FaultKind::kIntDivideByZero ? 44 : 45);
}
FatalSignalVerdict CheckRaised(const FatalSignalInfo& info) {
  // Sent, not raised by an instruction: no address.
  std::_Exit(info.signal_number == SIGBUS && !info.has_fault_address ? 46 : 47);
}

TEST(FatalSignalDeathTest, TheHandlerDescribesTheFault) {
  EXPECT_EXIT((InstallFatalSignalHandler(CheckWriteAt16, 1), WriteAt(16)), ::testing::ExitedWithCode(40), "");
  EXPECT_EXIT((InstallFatalSignalHandler(CheckRead, 1), ReadAt(8)), ::testing::ExitedWithCode(42), "");
  EXPECT_EXIT((InstallFatalSignalHandler(CheckDivide, 1), Divide()), ::testing::ExitedWithCode(44), "");
  EXPECT_EXIT((InstallFatalSignalHandler(CheckRaised, 1), std::raise(SIGBUS)), ::testing::ExitedWithCode(46), "");
}

TEST(FatalSignalDeathTest, VerdictsEndTheProcessOrPassTheFaultOn) {
  EXPECT_EXIT((InstallFatalSignalHandler(Record, 13), WriteAt(0)), ::testing::ExitedWithCode(13), "");
  EXPECT_EXIT((InstallFatalSignalHandler(PassOn, 13), WriteAt(0)), ::testing::KilledBySignal(SIGSEGV), "");
  EXPECT_EXIT((InstallFatalSignalHandler(PassOn, 13), Divide()), ::testing::KilledBySignal(SIGFPE), "");
  EXPECT_EXIT((InstallFatalSignalHandler(PassOn, 13), std::raise(SIGTRAP)), ::testing::KilledBySignal(SIGTRAP), "");
  // A second fault while the first is handled ends the process at once.
  EXPECT_EXIT((InstallFatalSignalHandler(FaultAgain, 13), WriteAt(0)), ::testing::ExitedWithCode(13), "");
}

FatalSignalVerdict CheckAbort(const FatalSignalInfo& info) {
  std::_Exit(info.signal_number == SIGABRT && info.kind == FaultKind::kAbort && !info.has_fault_address ? 50 : 51);
}
FatalSignalVerdict CheckUncaught(const FatalSignalInfo& info) {
  std::_Exit(info.signal_number == SIGABRT && info.kind == FaultKind::kUncaughtException ? 52 : 53);
}
void ThrowOnAThreadOfItsOwn() {
  std::thread([] { throw std::runtime_error("uncaught"); }).join();
}

TEST(FatalSignalDeathTest, AFatalAbortIsHandledAndToldFromAnUncaughtException) {
  EXPECT_EXIT((InstallFatalSignalHandler(CheckAbort, 1), std::abort()), ::testing::ExitedWithCode(50), "");
  EXPECT_EXIT((InstallFatalSignalHandler(CheckAbort, 1), std::terminate()), ::testing::ExitedWithCode(50), "");
  // The earlier terminate handler (the runtime's) still says what was thrown.
  EXPECT_EXIT((InstallFatalSignalHandler(CheckUncaught, 1), ThrowOnAThreadOfItsOwn()), ::testing::ExitedWithCode(52),
              "uncaught");
  EXPECT_EXIT((InstallFatalSignalHandler(PassOn, 13), std::abort()), ::testing::KilledBySignal(SIGABRT), "");
}

bool NotEndedByTheHandler(int status) { return !::testing::ExitedWithCode(13)(status); }

TEST(FatalSignalDeathTest, UninstallRestoresTheEarlierAction) {
  // The earlier action is the system's, or a sanitizer's own handler.
  EXPECT_EXIT((InstallFatalSignalHandler(Record, 13), UninstallFatalSignalHandler(), WriteAt(0)),
              NotEndedByTheHandler, "");
}

void FaultingBody(void*) { WriteAt(0); }
void CountingBody(void* count) { ++*static_cast<int*>(count); }
void NestedBody(void* result) {
  // The inner fault ends the inner section only.
  *static_cast<int*>(result) = RunGuardedSection(FaultingBody, nullptr) ? 1 : 2;
}

void GuardedSections() {
  InstallFatalSignalHandler(Record, 13);
  int count = 0;
  const bool whole = RunGuardedSection(CountingBody, &count);
  const bool faulted = !RunGuardedSection(FaultingBody, nullptr);
  int nested = 0;
  const bool outer = RunGuardedSection(NestedBody, &nested);
  const bool again = !RunGuardedSection(FaultingBody, nullptr);  // the handler still works
  std::_Exit(whole && count == 1 && faulted && outer && nested == 2 && again ? 0 : 1);
}

TEST(FatalSignalDeathTest, AGuardedSectionEndsAtItsOwnFault) {
  EXPECT_EXIT(GuardedSections(), ::testing::ExitedWithCode(0), "");
}

TEST(FatalSignalTest, SafeReadsTellReadableFromUnreadableMemory) {
  const char text[] = "readable";
  char copy[sizeof(text)] = {};
  EXPECT_TRUE(ReadMemorySafely(reinterpret_cast<uintptr_t>(text), copy, sizeof(text)));
  EXPECT_STREQ(copy, "readable");
  EXPECT_FALSE(ReadMemorySafely(0, copy, 1));
}

bool CountFrame(uintptr_t pc, uintptr_t fp, void* count) {
  EXPECT_NE(pc, 0u);
  EXPECT_EQ(fp % sizeof(uintptr_t), 0u);
  return ++*static_cast<int*>(count) < 3;
}

// Three calls deep in this file, which keeps frame pointers (the test
// framework's own frames may not have them).
__attribute__((noinline)) size_t WalkFromHere(int* count) {
  return WalkFramePointers(reinterpret_cast<uintptr_t>(__builtin_return_address(0)),
                           reinterpret_cast<uintptr_t>(__builtin_frame_address(0)), 16, CountFrame, count);
}
// The empty asm after each call keeps it from becoming a jump that would
// drop the caller's frame.
__attribute__((noinline)) size_t CallerOne(int* count) {
  const size_t frames = WalkFromHere(count);
  asm volatile("" ::: "memory");
  return frames;
}
__attribute__((noinline)) size_t CallerTwo(int* count) {
  const size_t frames = CallerOne(count);
  asm volatile("" ::: "memory");
  return frames;
}

TEST(FatalSignalTest, TheFrameWalkFollowsTheFramePointers) {
  int count = 0;
  EXPECT_EQ(CallerTwo(&count), 2u);
  EXPECT_EQ(count, 3);  // the visitor stopped the walk at the third frame
  // A chain that ends at once: only the first frame.
  count = 0;
  EXPECT_EQ(WalkFramePointers(1, 0, 16, CountFrame, &count), 1u);
}

}  // namespace
}  // namespace vz
