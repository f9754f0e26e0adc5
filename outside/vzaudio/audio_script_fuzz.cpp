// Fuzzes the stand-in audio engine's script parser (it reads an
// environment variable).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "outside/vzaudio/audio_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AudioScript script;
  std::string error;
  if (ParseAudioScript(std::string_view(reinterpret_cast<const char*>(data), size), &script, &error)) {
    if (script.speakers.size() > kMaxAudioScriptListEntries || script.networks.size() > kMaxAudioScriptListEntries) {
      __builtin_trap();
    }
  }
  return 0;
}
