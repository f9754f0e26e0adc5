#pragma once
// What a top-level window tells other clients about the program that made
// it, as toolkits set it: its process id (_NET_WM_PID) and the machine it
// runs on (WM_CLIENT_MACHINE, this host's name). The two go together: a
// process id names a process only on that machine. Window lists (the
// capture side's among them) leave the program's own windows out by them.
// Platform-internal: includes Xlib. Any thread, on the caller's connection.
#include <X11/Xlib.h>

#include <string>

namespace vz {

// This machine's host name, as WM_CLIENT_MACHINE carries it; empty when
// the system does not tell.
std::string LocalHostName();

// Sets both properties on `window`; the host name is left out when it
// cannot be told.
void PublishClientIdentity(Display* display, ::Window window);

}  // namespace vz
