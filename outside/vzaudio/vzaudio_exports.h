#pragma once
// The exports of libvzaudio.so, the stand-in audio engine. The meeting
// client binds the first two by ordinal; the third is for tests.
#include <cstdint>

#include "contracts/ac_provider.h"

extern "C" {
// Ordinal 1: an engine whose reports reach `sink` on the calling thread;
// null for a null sink or when the thread has no usable run loop.
IACProvider* ACCreateInstance(IACProviderSink* sink);
// Ordinal 2: stops and releases an engine (its queued reports are dropped);
// null is ignored. Always 1.
int32_t ACDeleteInstance(IACProvider* engine);
// Tests: the script (audio_script.h) for engines created from now on, in
// place of the environment variable VZAUDIO_SCRIPT; null goes back to it.
// 1 when the script parsed, else 0 (and no script is set).
int32_t ACSetScriptForTest(const char* script);
}
