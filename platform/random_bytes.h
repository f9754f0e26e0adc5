#pragma once
// Bytes from the kernel's random source, for names that must not repeat or be
// guessed (pipe GUIDs).
#include <cstddef>

namespace vz {

// Fills `size` bytes; false (logged) when the kernel gave none.
bool FillRandomBytes(void* buffer, size_t size);

}  // namespace vz
