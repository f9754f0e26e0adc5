#pragma once
// The audio engine's wrapper: loads "vzaudio.dll", makes the engine through
// the library's first export and offers its operations. Without a library or
// an engine every operation returns 0 and does nothing else.
//
// Lives on the UI thread: created, called and deleted there (the engine
// calls its sink back on the thread that made it).
#include <cstdint>

#include "client/controller/engine_library_binding.h"
#include "client/controller/wrapper_module_loader.h"
#include "contracts/ac_provider.h"

class CACEngineWrapper : public IACProvider {
 public:
  // Loads the library; one error line when it is missing.
  explicit CACEngineWrapper(vz::IModuleLoader& loader = vz::SystemModuleLoader());
  // Releases a held engine; the library stays loaded.
  ~CACEngineWrapper() override;
  CACEngineWrapper(const CACEngineWrapper&) = delete;
  CACEngineWrapper& operator=(const CACEngineWrapper&) = delete;

  // 1 when an engine was made for the sink, else 0 (null sink, no library,
  // no factory, or the factory refused). An engine held from before is
  // released first.
  int32_t CreateInstance(IACProviderSink* sink);
  // Hands the engine back to the library; nothing when none is held.
  void ReleaseInstance();

  int32_t JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) override;
  int32_t LeaveAudio() override;
  int32_t ConfigAudio() override;
  int32_t MuteAudio() override;
  int32_t UnmuteAudio() override;
  int32_t IsAudioMuted() override;
  int32_t IsAudioConfigOpen() override;
  int32_t GetAudioSsrc() override;

 private:
  IACProvider* engine() const { return library_.engine(); }

  EngineLibraryBinding<IACProvider, ACCreateInstanceFn, ACDeleteInstanceFn> library_;
};
