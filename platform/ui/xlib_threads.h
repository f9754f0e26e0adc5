#pragma once
// Xlib is told once per process, before its first connection, that several
// threads may use it (each with a connection of its own: the UI thread's,
// a capture thread's, an input injector's).
namespace vz {
void EnsureXlibThreads();
}  // namespace vz
