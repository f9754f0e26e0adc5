#pragma once
// What each engine wrapper holds of its library: the library, loaded once at
// construction by its bare file name, and the one engine object that the
// library's first export (ordinal 1) made. The object goes back through the
// second export (ordinal 2). The library is never unloaded: destroying the
// binding only forgets the handle, and the next wrapper's load of the same
// library finds it still mapped.
//
// What failure looks like: without the library, Create gives no engine and
// Release does nothing; the wrapper logs the missing library once, at its
// construction (load_error() says why). Without ordinal 1 or when the
// factory refuses, no engine is held. Without ordinal 2 the engine stays
// held (an error line says so) and is only forgotten with the binding.
//
// UI thread only, as its wrapper: the factories make their helper windows
// on the calling thread. Nothing locks.
#include <string_view>
#include <utility>

#include "client/controller/wrapper_module_loader.h"
#include "common/trace_client.h"

template <typename Engine, typename CreateFn, typename ReleaseFn>
class EngineLibraryBinding {
 public:
  static constexpr int kCreateOrdinal = 1;
  static constexpr int kReleaseOrdinal = 2;

  // `engine_name` names the engine in the binding's own error lines
  // ("AC engine"); it must outlive the binding (a literal).
  EngineLibraryBinding(vz::IModuleLoader& loader, std::string_view file_name, const char* engine_name)
      : loader_(loader), engine_name_(engine_name) {
    vz::OpenedLibrary opened = loader_.Open(file_name);
    module_ = opened.module;
    load_error_ = std::move(opened.error);
  }
  // The wrapper releases its engine before this runs; a held engine whose
  // library has no release export is only forgotten. Never unloads.
  ~EngineLibraryBinding() {
    engine_ = nullptr;
    module_ = nullptr;
  }
  EngineLibraryBinding(const EngineLibraryBinding&) = delete;
  EngineLibraryBinding& operator=(const EngineLibraryBinding&) = delete;

  bool loaded() const { return module_ != nullptr; }
  // Why the library did not load (code 0 when it did).
  const vz::ModuleError& load_error() const { return load_error_; }
  // The engine object, or null: every forwarding operation gives its
  // default then.
  Engine* engine() const { return engine_; }

  // Releases an engine held from before (it would otherwise leak with its
  // callbacks alive), then makes one through ordinal 1 with `args`. True
  // when an engine object is held afterwards.
  template <typename... Args>
  bool Create(Args... args) {
    if (engine_) Release();
    if (!module_) return false;
    const auto create = reinterpret_cast<CreateFn>(loader_.Ordinal(module_, kCreateOrdinal));
    if (!create) return false;
    engine_ = create(args...);
    return engine_ != nullptr;
  }

  // Hands the engine back through ordinal 2; nothing when none is held.
  void Release() {
    if (!engine_ || !module_) return;
    const auto release = reinterpret_cast<ReleaseFn>(loader_.Ordinal(module_, kReleaseOrdinal));
    if (!release) {
      VZ_LOG_ERROR("Can't release the %s: no release export.", engine_name_);
      return;
    }
    // Forgotten before the call, so calls made while it is released get
    // the defaults. The export's result says nothing anybody acts on.
    Engine* engine = engine_;
    engine_ = nullptr;
    release(engine);
  }

 private:
  vz::IModuleLoader& loader_;
  const char* const engine_name_;
  void* module_ = nullptr;
  vz::ModuleError load_error_;
  Engine* engine_ = nullptr;
};
