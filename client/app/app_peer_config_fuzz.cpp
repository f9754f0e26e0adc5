// The client's command line and hand-off line come from other processes:
// any text must parse without fault, every field must stay terminated, and
// joining split arguments must give back the same arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/app/app_peer_config_reader.h"
#include "client/app/command_line_text.h"
#include "common/trace_client_test_hooks.h"

template <size_t N>
static void CheckTerminated(const char16_t (&field)[N]) {
  for (char16_t unit : field) {
    if (unit == u'\0') return;
  }
  std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool unbound = [] {
    vz::BindTracerForTest(nullptr);
    return true;
  }();
  (void)unbound;
  std::u16string line;
  for (size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  // A terminator inside the text ends it, as for a C string.
  line = line.substr(0, line.find(u'\0'));

  AppPeerConfig config;
  ReadAppPeerConfig(&config, line.c_str(), [](uint32_t pid) { return pid; });
  CheckTerminated(config.RosterId);
  CheckTerminated(config.MeetId);
  CheckTerminated(config.Language);
  CheckTerminated(config.PipeName);

  const std::vector<std::u16string> arguments = SplitCommandLine(line);
  if (SplitCommandLine(JoinCommandLine(arguments)) != arguments) std::abort();
  return 0;
}
