#include "trace/crash_report.h"

#include <cstdarg>

#include "platform/elf_modules.h"
#include "platform/fatal_signal_safe_io.h"
#include "trace/exception_names.h"
#include "trace/signal_safe_format.h"

namespace vz {
namespace {

constexpr size_t kLineSize = 4096;
constexpr size_t kMaxFrames = 128;
constexpr unsigned kProcessorType = 8664;  // the x86_64 processor type number
constexpr int kBits = 64;
constexpr char kNoDebugData[] = "The_image_doesn't_have_debug_data";

struct ReportContext {
  const CrashReportInput* input;
  CrashReportSink* sink;
  char line[kLineSize];
};

__attribute__((format(printf, 2, 3))) void Line(ReportContext& c, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t n = SafeFormatV(c.line, sizeof(c.line) - 2, format, args);
  va_end(args);
  c.line[n++] = '\r';
  c.line[n++] = '\n';
  c.sink->WriteReportLine(c.line, n);
}

void ReportSectionFault(const char* section) {
  WriteStderrSafely("Exception encountered in ");
  WriteStderrSafely(section);
  WriteStderrSafely("\n");
}

// Runs body(arg) guarded; a fault inside ends it and is reported by name.
bool Guarded(const char* section, void (*body)(void*), void* arg) {
  if (RunGuardedSection(body, arg)) return true;
  ReportSectionFault(section);
  return false;
}

template <void (*Body)(ReportContext&)>
void RunSection(const char* section, ReportContext& c) {
  Guarded(section, [](void* arg) { Body(*static_cast<ReportContext*>(arg)); }, &c);
}

// The image and load segment of an address ("Exception_ToSection").
struct ModuleLookup {
  uintptr_t address;
  ElfModuleInfo* info;
  bool found;
};

bool LookUpModule(uintptr_t address, ElfModuleInfo* info) {
  ModuleLookup lookup{address, info, false};
  Guarded(
      "Exception_ToSection",
      [](void* arg) {
        auto* l = static_cast<ModuleLookup*>(arg);
        l->found = FindElfModule(l->address, l->info);
      },
      &lookup);
  return lookup.found;
}

uint64_t Mebibytes(uint64_t bytes) { return (bytes + 0xFFFFF) >> 20; }

void BasicInfo(ReportContext& c) {
  const FatalSignalInfo& s = *c.input->signal;
  const LocalTime& st = c.input->start_time;
  Line(c, "Application started at : %02d:%02d:%02d.%03d %02d/%02d/%04d (M/D/Y)", st.hour, st.minute, st.second,
       st.millisecond, st.month, st.day, st.year);
  const CivilTime& et = c.input->exception_time;
  Line(c, "Exception Time: %02hu/%02hu/%04hu %02hu:%02hu:%02hu UTC", static_cast<unsigned short>(et.month),
       static_cast<unsigned short>(et.day), static_cast<unsigned short>(et.year), static_cast<unsigned short>(et.hour),
       static_cast<unsigned short>(et.minute), static_cast<unsigned short>(et.second));
  Line(c, "Exception Client: PID = %u, TID = %u", static_cast<unsigned>(s.process_id),
       static_cast<unsigned>(s.thread_id));
  const uint32_t code = ExceptionCodeOf(s.kind);
  if (code == kExceptionAccessViolation && s.has_fault_address) {
    Line(c, "Exception Code: %08X [%s], Caused by %s location %016lX", code, ExceptionName(code),
         s.is_write ? "Write to" : "Read from", static_cast<unsigned long>(s.fault_address));
  } else {
    Line(c, "Exception Code: %08X [%s]", code, ExceptionName(code));
  }
  const uintptr_t address = static_cast<uintptr_t>(s.registers.rip);
  ElfModuleInfo module;
  const bool found = LookUpModule(address, &module);
  Line(c, "Exception Address: %016lX [%04X:%08lX]", static_cast<unsigned long>(address),
       found ? module.segment_number : 0u, found ? static_cast<unsigned long>(module.segment_offset) : 0ul);
  if (!found) return;
  // ELF images carry no file version, checksum or link time stamp.
  Line(c, "Exception Module: %s [version: %d.%d.%d.%d]", module.path[0] ? module.path : "NA", 0, 0, 0, 0);
  Line(c, "Image Base: %016lX  Image Size: %08lX  Checksum: %08X", static_cast<unsigned long>(module.load_bias),
       static_cast<unsigned long>(module.image_size), 0u);
  Line(c, "Time Stamp: %08X %s", 0u, "[NA]");
}

void SystemInfo(ReportContext& c) {
  const CrashSystemFacts& facts = *c.input->facts;
  CrashSystemState state;
  ReadCrashSystemState(&state);
  Line(c, "\r\nSystem Information:");
  Line(c, "User: %s", facts.user_name[0] ? facts.user_name : "N/A");
  Line(c, "Bits: %d", kBits);
  Line(c, "Processors Number : %u [Type %u]", facts.processors, kProcessorType);
  Line(c, "Operating System Version: %u.%u Build %u [%s]", state.os_major, state.os_minor, state.os_build,
       state.os_release);
  Line(c, "%u %% memory in use", state.memory_load_percent);
  Line(c, "%lu MBytes physical memory", static_cast<unsigned long>(Mebibytes(state.physical_total)));
  Line(c, "%lu MBytes physical memory free", static_cast<unsigned long>(Mebibytes(state.physical_free)));
  Line(c, "%lu MBytes paging file", static_cast<unsigned long>(Mebibytes(state.swap_total)));
  Line(c, "%lu MBytes paging file free", static_cast<unsigned long>(Mebibytes(state.swap_free)));
}

bool PrintFrame(uintptr_t pc, uintptr_t fp, void* arg) {
  ReportContext& c = *static_cast<ReportContext*>(arg);
  ElfModuleInfo module;
  if (!LookUpModule(pc, &module) || module.path[0] == '\0') return false;
  char identity[2 * sizeof(module.build_id) + 1];
  FormatDebugIdentity(module.build_id, module.build_id_size, identity, sizeof(identity));
  Line(c, "%016lX  %016lX  %04X:%08lX %08X %s  \"%s\" ", static_cast<unsigned long>(pc),
       static_cast<unsigned long>(fp), module.segment_number, static_cast<unsigned long>(module.segment_offset), 0u,
       identity, module.path);
  return true;
}

// A fatal abort is raised inside the C library, whose frames keep no frame
// pointer: the chain from the context ends at its first frame. The walk then
// goes on from the abort's caller: the first return address on the stack
// into the code of another image, with the first frame record above it (a
// saved frame pointer a little higher on the stack, then a return address
// into code) as its frame.
constexpr size_t kScanWords = 512;
constexpr uintptr_t kMaxFrameSize = 1 << 20;
constexpr size_t kScanChunkWords = 64;

bool IsCodeAddress(uintptr_t address, ElfModuleInfo* module) {
  return LookUpModule(address, module) && module->segment_executable && module->path[0] != '\0';
}

// Whether the word at `slot` could be a saved frame pointer with a return
// address into code above it.
bool IsFrameRecord(uintptr_t slot, uintptr_t saved, uintptr_t return_address) {
  ElfModuleInfo module;
  return saved > slot && saved - slot < kMaxFrameSize && saved % sizeof(uintptr_t) == 0 &&
         IsCodeAddress(return_address, &module);
}

// A record whose saved frame pointer leads to a second record is taken over
// one that leads nowhere (a stray pair of words in a frame without a frame
// pointer); the first of those is the answer when no chained one is found.
uintptr_t FindFrameRecord(uintptr_t sp, const uintptr_t* words, size_t from, size_t count) {
  uintptr_t first = 0;
  for (size_t j = from; j + 1 < count; ++j) {
    const uintptr_t slot = sp + j * sizeof(uintptr_t);
    if (!IsFrameRecord(slot, words[j], words[j + 1])) continue;
    uintptr_t next[2];
    if (ReadMemorySafely(words[j], next, sizeof(next)) && IsFrameRecord(words[j], next[0], next[1])) return slot;
    if (first == 0) first = slot;
  }
  return first;
}

bool FindAbortCaller(uintptr_t sp, uintptr_t skip_start, uintptr_t skip_end, uintptr_t* pc, uintptr_t* fp) {
  uintptr_t words[kScanWords];
  size_t count = 0;
  while (count < kScanWords &&
         ReadMemorySafely(sp + count * sizeof(uintptr_t), words + count, kScanChunkWords * sizeof(uintptr_t))) {
    count += kScanChunkWords;
  }
  const uintptr_t stack_end = sp + count * sizeof(uintptr_t);
  ElfModuleInfo module;
  for (size_t i = 0; i < count; ++i) {
    const uintptr_t word = words[i];
    if (word < 0x10000 || (word >= skip_start && word < skip_end) || (word >= sp && word < stack_end)) continue;
    if (!IsCodeAddress(word, &module)) continue;
    *pc = word;
    *fp = FindFrameRecord(sp, words, i + 1, count);
    return true;
  }
  return false;
}

void StackWalk(ReportContext& c) {
  const CpuRegisters& r = c.input->signal->registers;
  using UL = unsigned long;
  Line(c, "\r\nRegisters:");
  Line(c, "RDI: %016lX  RSI: %016lX  RAX: %016lX", UL(r.rdi), UL(r.rsi), UL(r.rax));
  Line(c, "RBX: %016lX  RCX: %016lX  RDX: %016lX", UL(r.rbx), UL(r.rcx), UL(r.rdx));
  Line(c, "RIP: %016lX  RBP: %016lX  SegCs: %08X", UL(r.rip), UL(r.rbp), unsigned(r.cs));
  Line(c, "EFlags: %08X  RSP: %016lX  SegSs: %08X", unsigned(r.eflags), UL(r.rsp), unsigned(r.ss));
  Line(c, "R8: %016lX  R9: %016lX  R10: %016lX", UL(r.r8), UL(r.r9), UL(r.r10));
  Line(c, "R11: %016lX  R12: %016lX  R13: %016lX", UL(r.r11), UL(r.r12), UL(r.r13));
  Line(c, "R14: %016lX  R15: %016lX", UL(r.r14), UL(r.r15));
  Line(c, "\r\nCall Stack:");
  Line(c, "Address   Frame     LogicalAddress TimeStamp   GUIDAge                             Module");
  const size_t frames =
      WalkFramePointers(static_cast<uintptr_t>(r.rip), static_cast<uintptr_t>(r.rbp), kMaxFrames, PrintFrame, &c);
  const FaultKind kind = c.input->signal->kind;
  if (frames != 1 || (kind != FaultKind::kAbort && kind != FaultKind::kUncaughtException)) return;
  ElfModuleInfo first;
  if (!LookUpModule(static_cast<uintptr_t>(r.rip), &first)) return;
  uintptr_t pc = 0;
  uintptr_t fp = 0;
  if (FindAbortCaller(static_cast<uintptr_t>(r.rsp), first.image_start, first.image_start + first.image_size, &pc,
                      &fp)) {
    WalkFramePointers(pc, fp, kMaxFrames - 1, PrintFrame, &c);
  }
}

void ModuleWalk(ReportContext& c) {
  Line(c, "\r\nModules List:");
  Line(c, "TimeStamp                           GUIDAge                             Module");
}

}  // namespace

size_t FormatDebugIdentity(const unsigned char* build_id, size_t size, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  if (size == 0 || capacity < 2 * size + 1) return SafeFormat(out, capacity, "%s", kNoDebugData);
  constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < size; ++i) {
    out[2 * i] = kHex[build_id[i] >> 4];
    out[2 * i + 1] = kHex[build_id[i] & 0xF];
  }
  out[2 * size] = '\0';
  return 2 * size;
}

void WriteCrashReport(const CrashReportInput& input, CrashReportSink* sink) {
  ReportContext c;
  c.input = &input;
  c.sink = sink;
  Line(c, "===================================Crash Log Begin===================================");
  RunSection<BasicInfo>("Exception_BasicInfo", c);
  RunSection<SystemInfo>("Exception_SystemInfo", c);
  RunSection<StackWalk>("Exception_StackWalk", c);
  RunSection<ModuleWalk>("Exception_ModuleWalk", c);
  Line(c, "===================================Crash Log End=====================================");
}

}  // namespace vz
