#include "trace/crash_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/elf_modules.h"
#include "platform/process.h"
#include "trace/exception_names.h"

namespace vz {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class CapturingSink final : public CrashReportSink {
 public:
  void WriteReportLine(const char* line, size_t length) override {
    std::string text(line, length);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << text;
    // A line whose format starts with "\r\n" begins with an empty line.
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
  }
  bool Has(const std::string& prefix) const {
    for (const std::string& line : lines) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  int IndexOf(const std::string& prefix) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<std::string> lines;
};

std::string Hex16(uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%016lX", static_cast<unsigned long>(value));
  return text;
}

__attribute__((noinline)) uintptr_t HereAddress() {
  return reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

struct FakeCrash {
  FatalSignalInfo signal;
  CrashSystemFacts facts;
  CrashReportInput input;
};

// The caller's own frame stands in for the faulting one, so the walk runs
// over live frames.
#define PREPARE(crash, kind) Prepare(crash, kind, HereAddress(), reinterpret_cast<uintptr_t>(__builtin_frame_address(0)))

void Prepare(FakeCrash* crash, FaultKind kind, uintptr_t pc, uintptr_t fp) {
  crash->signal.kind = kind;
  crash->signal.process_id = 321;
  crash->signal.thread_id = 654;
  crash->signal.registers.rip = pc;
  crash->signal.registers.rbp = fp;
  crash->signal.registers.rsp = crash->signal.registers.rbp;
  std::snprintf(crash->facts.user_name, sizeof(crash->facts.user_name), "%s", "tester");
  crash->facts.processors = 8;
  crash->input.signal = &crash->signal;
  crash->input.start_time = LocalTime{2025, 3, 4, 5, 6, 7, 89};
  crash->input.exception_time = CivilTime{2025, 3, 4, 6, 7, 8, 0};
  crash->input.facts = &crash->facts;
}

// Writes the report as if the fault had hit here, one call below the test,
// so the frame walk has a caller with a frame pointer to go on to (the test
// framework itself may be built without them).
__attribute__((noinline)) void ReportAWriteThroughNull(FakeCrash* crash, CapturingSink* sink) {
  PREPARE(crash, FaultKind::kAccessViolation);
  crash->signal.has_fault_address = true;
  crash->signal.fault_address = 0;
  crash->signal.is_write = true;
  WriteCrashReport(crash->input, sink);
  asm volatile("" ::: "memory");  // no tail call: this frame must stay while the report walks it
}

TEST(CrashReportTest, AWriteThroughNullGivesTheAccessViolationLineAndEverySection) {
  // The report finds modules only in the snapshot (the handler's install takes it).
  RefreshElfModuleSnapshot();
  FakeCrash crash;
  CapturingSink sink;
  ReportAWriteThroughNull(&crash, &sink);
  const std::vector<std::string>& l = sink.lines;
  ASSERT_GT(l.size(), 20u);
  EXPECT_EQ(l.front(), "===================================Crash Log Begin===================================");
  EXPECT_EQ(l.back(), "===================================Crash Log End=====================================");
  EXPECT_EQ(l[1], "Application started at : 05:06:07.089 03/04/2025 (M/D/Y)");
  EXPECT_EQ(l[2], "Exception Time: 03/04/2025 06:07:08 UTC");
  EXPECT_EQ(l[3], "Exception Client: PID = 321, TID = 654");
  EXPECT_EQ(l[4], "Exception Code: C0000005 [ACCESS_VIOLATION], Caused by Write to location 0000000000000000");
  EXPECT_THAT(l[5], StartsWith("Exception Address: " + Hex16(crash.signal.registers.rip) + " [000"));
  EXPECT_NE(l[5], "Exception Address: " + Hex16(crash.signal.registers.rip) + " [0000:00000000]")
      << "the address lies in a load segment of the test binary";
  EXPECT_EQ(l[6], "Exception Module: " + ExecutablePath() + " [version: 0.0.0.0]");
  EXPECT_THAT(l[7], StartsWith("Image Base: "));
  EXPECT_THAT(l[7], HasSubstr("Checksum: 00000000"));
  EXPECT_EQ(l[8], "Time Stamp: 00000000 [NA]");

  const int system = sink.IndexOf("System Information:");
  ASSERT_GT(system, 0);
  EXPECT_EQ(l[system - 1], "") << "the section starts with an empty line";
  EXPECT_EQ(l[system + 1], "User: tester");
  EXPECT_EQ(l[system + 2], "Bits: 64");
  EXPECT_EQ(l[system + 3], "Processors Number : 8 [Type 8664]");
  EXPECT_THAT(l[system + 4], StartsWith("Operating System Version: "));
  EXPECT_THAT(l[system + 5], HasSubstr(" % memory in use"));
  EXPECT_TRUE(sink.Has("RIP: " + Hex16(crash.signal.registers.rip) + "  RBP: "));

  const int stack = sink.IndexOf("Call Stack:");
  ASSERT_GT(stack, system);
  EXPECT_EQ(l[stack + 1], "Address   Frame     LogicalAddress TimeStamp   GUIDAge                             Module");
  // The first frame is the faulting address in the test binary, with its build-id.
  const std::string& frame = l[stack + 2];
  EXPECT_THAT(frame, StartsWith(Hex16(crash.signal.registers.rip) + "  " + Hex16(crash.signal.registers.rbp) + "  "));
  EXPECT_THAT(frame, HasSubstr("\"" + ExecutablePath() + "\" "));
  EXPECT_THAT(frame, Not(HasSubstr("The_image_doesn't_have_debug_data")));
  // The caller's frame follows through the frame pointer.
  EXPECT_THAT(l[stack + 3], HasSubstr("\"" + ExecutablePath() + "\" "));

  const int modules = sink.IndexOf("Modules List:");
  ASSERT_GT(modules, stack);
  EXPECT_EQ(l[modules + 1], "TimeStamp                           GUIDAge                             Module");
  EXPECT_EQ(static_cast<size_t>(modules + 3), l.size());
}

TEST(CrashReportTest, CodeLinesOfOtherFaults) {
  struct Case {
    FaultKind kind;
    bool has_address;
    const char* line;
  } cases[] = {
      {FaultKind::kAccessViolation, true, "Exception Code: C0000005 [ACCESS_VIOLATION], Caused by Read from location 0000000000000010"},
      {FaultKind::kAccessViolation, false, "Exception Code: C0000005 [ACCESS_VIOLATION]"},
      {FaultKind::kIntDivideByZero, true, "Exception Code: C0000094 [INT_DIVIDE_BY_ZERO]"},
      {FaultKind::kIllegalInstruction, true, "Exception Code: C000001D [ILLEGAL_INSTRUCTION]"},
      {FaultKind::kMisalignedData, true, "Exception Code: 80000002 [DATATYPE_MISALIGNMENT]"},
      {FaultKind::kBreakpoint, false, "Exception Code: 80000003 [BREAKPOINT]"},
      {FaultKind::kAbort, false, "Exception Code: 40000015 [NA]"},
      {FaultKind::kUncaughtException, false, "Exception Code: E06D7363 [NA]"},
      {FaultKind::kOther, false, "Exception Code: 00000000 [NA]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FakeCrash crash;
    PREPARE(&crash, c.kind);
    crash.signal.has_fault_address = c.has_address;
    crash.signal.fault_address = 0x10;
    CapturingSink sink;
    WriteCrashReport(crash.input, &sink);
    ASSERT_GT(sink.lines.size(), 4u);
    EXPECT_EQ(sink.lines[4], c.line);
  }
}

TEST(CrashReportTest, EveryFaultKindHasItsCodeAndName) {
  const std::pair<FaultKind, const char*> kinds[] = {
      {FaultKind::kPageError, "IN_PAGE_ERROR"},          {FaultKind::kPrivilegedInstruction, "PRIV_INSTRUCTION"},
      {FaultKind::kIntOverflow, "INT_OVERFLOW"},         {FaultKind::kFloatDivideByZero, "FLT_DIVIDE_BY_ZERO"},
      {FaultKind::kFloatOverflow, "FLT_OVERFLOW"},       {FaultKind::kFloatUnderflow, "FLT_UNDERFLOW"},
      {FaultKind::kFloatInexact, "FLT_INEXACT_RESULT"},  {FaultKind::kFloatInvalid, "FLT_INVALID_OPERATION"},
      {FaultKind::kFloatSubscript, "ARRAY_BOUNDS_EXCEEDED"}, {FaultKind::kSingleStep, "SINGLE_STEP"},
  };
  for (const auto& [kind, name] : kinds) EXPECT_STREQ(ExceptionName(ExceptionCodeOf(kind)), name) << name;
  EXPECT_STREQ(ExceptionName(kExceptionStackOverflow), "STACK_OVERFLOW");
  EXPECT_STREQ(ExceptionName(0xC0000008u), "INVALID_HANDLE");
  EXPECT_STREQ(ExceptionName(0x12345678u), "NA");
}

TEST(CrashReportTest, DebugIdentityIsTheBuildIdInHexOrTheNoDataText) {
  const unsigned char id[] = {0x01, 0xab, 0xff, 0x00};
  char out[64];
  EXPECT_EQ(FormatDebugIdentity(id, sizeof(id), out, sizeof(out)), 8u);
  EXPECT_STREQ(out, "01abff00");
  FormatDebugIdentity(id, 0, out, sizeof(out));
  EXPECT_STREQ(out, "The_image_doesn't_have_debug_data");
}

FatalSignalVerdict ExitOnFault(const FatalSignalInfo&) { return FatalSignalVerdict::kExit; }

// A fault inside the system section (its facts lie at an unreadable address)
// ends that section alone.
void ReportWithBrokenSystemSection() {
  InstallFatalSignalHandler(ExitOnFault, 3);
  FakeCrash crash;
  PREPARE(&crash, FaultKind::kAccessViolation);
  crash.input.facts = reinterpret_cast<const CrashSystemFacts*>(uintptr_t{8});
  CapturingSink sink;
  WriteCrashReport(crash.input, &sink);
  const bool sound = sink.Has("Exception Code: ") && sink.Has("System Information:") && !sink.Has("User:") &&
                     !sink.Has("Bits:") && sink.Has("Call Stack:") && sink.Has("Modules List:") &&
                     sink.Has("===================================Crash Log End");
  std::fflush(nullptr);
  std::_Exit(sound ? 0 : 1);
}

TEST(CrashReportDeathTest, AFaultInsideASectionEndsOnlyThatSection) {
  EXPECT_EXIT(ReportWithBrokenSystemSection(), ::testing::ExitedWithCode(0),
              "Exception encountered in Exception_SystemInfo");
}

}  // namespace
}  // namespace vz
