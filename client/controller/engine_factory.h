#pragma once
// Where the meeting controller gets its engine wrappers: each wrapper loads
// its library through the module loader given here. The program uses the
// system loader; tests give an in-memory loader with fake engine libraries,
// so the controller runs its real wrapper code without dlopen.
#include <memory>

#include "client/controller/ac_engine_wrapper.h"
#include "client/controller/av_engine_wrapper.h"
#include "client/controller/vz_link_wrapper.h"
#include "client/controller/vz_share_wrapper.h"
#include "client/controller/wrapper_module_loader.h"

class EngineFactory {
 public:
  // The loader stays the caller's.
  explicit EngineFactory(vz::IModuleLoader& loader = vz::SystemModuleLoader()) : loader_(loader) {}
  virtual ~EngineFactory() = default;

  virtual std::unique_ptr<CVzShareWrapper> NewShareWrapper() { return std::make_unique<CVzShareWrapper>(loader_); }
  virtual std::unique_ptr<CACEngineWrapper> NewAudioWrapper() { return std::make_unique<CACEngineWrapper>(loader_); }
  virtual std::unique_ptr<CAVEngineWrapper> NewVideoWrapper() { return std::make_unique<CAVEngineWrapper>(loader_); }
  virtual std::unique_ptr<CVzLinkWrapper> NewLinkWrapper() { return std::make_unique<CVzLinkWrapper>(loader_); }

 private:
  vz::IModuleLoader& loader_;
};
