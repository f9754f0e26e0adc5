#pragma once
// The engine's binding of the screen capture library (vzgrab), loaded by its
// plain name when the wrapper is made, and the one capture provider made
// through the library's "DSCreateCapture".
//
// Failure: a missing library or export leaves the wrapper without a
// provider ("Can't find DS caputre dll!" once, at construction);
// CreateProviderInstance then returns 0 and the engine's forwarded capture
// operations do nothing. The library is never unloaded: the provider's
// callbacks and the capture's threads belong to it.
// Threads: the engine's thread only (the capture's helper window is made on
// the thread that creates the provider).
#include <cstdint>

#include "contracts/vz_grab_provider.h"

class CVzGrabWrapper {
 public:
  static constexpr const char* kLibraryName = "vzgrab";

  // Loads `library` (the engine passes kLibraryName; tests a stand-in).
  explicit CVzGrabWrapper(const char* library = kLibraryName);
  // Releases the provider; the library stays loaded.
  virtual ~CVzGrabWrapper();
  CVzGrabWrapper(const CVzGrabWrapper&) = delete;
  CVzGrabWrapper& operator=(const CVzGrabWrapper&) = delete;

  // Makes the provider for `sink`. 1 when a provider came back; 0 without
  // the library or its export, or when the library refused.
  virtual int32_t CreateProviderInstance(IVzGrabProviderSink* sink);
  // Stops the capture and hands the provider back through
  // "DSReleaseCapture"; the library's result (0 when the export is
  // missing). Without a provider nothing is called and the result is 0.
  virtual int32_t ReleaseProviderInstance();

  IVzGrabProvider* provider() const { return provider_; }
  bool IsLoadedForTesting() const { return module_ != nullptr; }

 private:
  void* module_ = nullptr;
  IVzGrabProvider* provider_ = nullptr;
};
