#include "platform/fatal_signal_system.h"

#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace vz {
namespace {

// Reads a decimal number and moves past it; 0 when there is none.
unsigned TakeNumber(const char** text) {
  unsigned value = 0;
  while (**text >= '0' && **text <= '9') {
    value = value * 10 + static_cast<unsigned>(**text - '0');
    ++*text;
  }
  return value;
}

}  // namespace

void GatherCrashSystemFacts(CrashSystemFacts* facts) {
  *facts = CrashSystemFacts{};
  passwd entry;
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_name != nullptr) {
    std::strncpy(facts->user_name, found->pw_name, sizeof(facts->user_name) - 1);
  }
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  facts->processors = processors > 0 ? static_cast<unsigned>(processors) : 0;
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) != nullptr) facts->utc_offset_seconds = local.tm_gmtoff;
}

bool ReadCrashSystemState(CrashSystemState* state) {
  *state = CrashSystemState{};
  bool ok = true;
  utsname names;
  if (uname(&names) == 0) {
    size_t n = 0;
    while (n + 1 < sizeof(state->os_release) && names.release[n] != '\0') {
      state->os_release[n] = names.release[n];
      ++n;
    }
    state->os_release[n] = '\0';
    const char* cursor = names.release;
    state->os_major = TakeNumber(&cursor);
    if (*cursor == '.') ++cursor;
    state->os_minor = TakeNumber(&cursor);
    if (*cursor == '.') ++cursor;
    state->os_build = TakeNumber(&cursor);
  } else {
    ok = false;
  }
  struct sysinfo info;
  if (sysinfo(&info) == 0) {
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    state->physical_total = static_cast<uint64_t>(info.totalram) * unit;
    state->physical_free = static_cast<uint64_t>(info.freeram) * unit;
    state->swap_total = static_cast<uint64_t>(info.totalswap) * unit;
    state->swap_free = static_cast<uint64_t>(info.freeswap) * unit;
    if (state->physical_total > 0) {
      state->memory_load_percent = static_cast<unsigned>(
          (state->physical_total - state->physical_free) * 100 / state->physical_total);
    }
  } else {
    ok = false;
  }
  return ok;
}

}  // namespace vz
