#include "outside/vzaudio/vzaudio_exports.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "common/trace_client.h"
#include "outside/vzaudio/audio_stand_in_engine.h"

namespace {

std::mutex g_script_mutex;
std::optional<std::string> g_test_script;  // under g_script_mutex

// The script for a new engine; a malformed one is logged and ignored.
AudioScript CurrentScript() {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    if (g_test_script) {
      text = *g_test_script;
    } else if (const char* variable = std::getenv("VZAUDIO_SCRIPT")) {
      text = variable;
    }
  }
  AudioScript script;
  std::string error;
  if (!ParseAudioScript(text, &script, &error)) {
    VZ_LOG_ERROR("ignoring the audio script: %s", error.c_str());
    return AudioScript();
  }
  return script;
}

}  // namespace

#define VZ_EXPORT __attribute__((visibility("default")))

extern "C" VZ_EXPORT IACProvider* ACCreateInstance(IACProviderSink* sink) {
  VZ_LOG("API : ACCreateInstance");
  if (!sink) {
    VZ_LOG_ERROR("Must be provided a sink.");
    return nullptr;
  }
  auto* engine = new CAudioStandInEngine(sink, CurrentScript());
  if (!engine->Start()) {
    VZ_LOG_ERROR("the calling thread has no run loop.");
    engine->Release();
    return nullptr;
  }
  return engine;
}

extern "C" VZ_EXPORT int32_t ACDeleteInstance(IACProvider* engine) {
  VZ_LOG("API : ACDeleteInstance");
  if (!engine) return 1;
  auto* stand_in = static_cast<CAudioStandInEngine*>(engine);
  stand_in->Stop();
  stand_in->Release();
  return 1;
}

extern "C" VZ_EXPORT int32_t ACSetScriptForTest(const char* script) {
  std::lock_guard<std::mutex> lock(g_script_mutex);
  if (!script) {
    g_test_script.reset();
    return 1;
  }
  AudioScript parsed;
  std::string error;
  if (!ParseAudioScript(script, &parsed, &error)) {
    g_test_script.reset();
    return 0;
  }
  g_test_script = script;
  return 1;
}
