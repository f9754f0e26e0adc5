#pragma once
// Results of the engine's operations.
#include <cstdint>

using VseResult = uint32_t;

constexpr VseResult VSE_S_OK = 0;
constexpr VseResult VSE_E_FAIL = 0x80000001u;
constexpr VseResult VSE_E_OUTOFMEMORY = 0x80000002u;
constexpr VseResult VSE_E_INVALIDARG = 0x80000003u;  // also a null out-pointer given to a factory
constexpr VseResult VSE_E_NOINTERFACE = 0x80000005u;
constexpr VseResult VSE_E_POINTER = 0x80000006u;     // a null out-pointer given to QueryInterface
constexpr VseResult VSE_WAIT_TIMEOUT = 1000222u;     // a wait ended by its time limit
