#pragma once
// The process's in-process meeting server (see vzwire_loopback.h), started
// on first use and kept for the process's life.
#include "contracts/vzwire_loopback.h"
#include "platform/local_socket.h"

namespace vzwire {

// Connects a transport to the in-process server over a socket pair. False
// (logged) when the server cannot run.
bool ConnectLoopbackServer(vz::LocalSocket* socket);
IVzWireLoopback* LoopbackServerControl();

}  // namespace vzwire
