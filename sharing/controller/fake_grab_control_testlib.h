#pragma once
// The stand-in capture library the engine's tests load in place of vzgrab
// (libvzgrabfake.so): one live capture per process, as vzgrab allows; every
// operation recorded in order; results scripted. Tests play the capture's
// callbacks by calling the live capture's sink themselves, on the engine's
// thread, as the capture's helper window would.
#include <cstdint>
#include <string>
#include <vector>

#include "contracts/vz_grab_provider.h"

class IFakeGrabControl {
 public:
  // The live capture's sink, or null when no capture is alive.
  virtual IVzGrabProviderSink* Sink() = 0;
  virtual IVzGrabProvider* Live() = 0;
  // Operations and exports called since the last Reset, e.g. "StartCapture(3)".
  virtual std::vector<std::string> Calls() = 0;
  // Forgets the calls and restores every scripted result.
  virtual void Reset() = 0;
  // What StartCapture returns (1 unless set).
  virtual void SetStartResult(int32_t result) = 0;
  // Runs inside StartCapture before it returns, as a capture that reports
  // its first sharing info at once would.
  virtual void SetOnStart(void (*call)(void* context), void* context) = 0;

 protected:
  ~IFakeGrabControl() = default;
};

// The library's control export, looked up by name.
using FakeGrabControlFn = IFakeGrabControl* (*)();
inline constexpr char kFakeGrabLibrary[] = "vzgrabfake";
inline constexpr char kFakeGrabControlExport[] = "FakeGrabControl";
// A library of that family that exports nothing.
inline constexpr char kEmptyGrabLibrary[] = "vzgrabempty";
