// The exports of libvzwire.so: ordinal 1 VzCreateTransport, ordinal 2
// VzReleaseTransport, and VzWireLoopback for tests (contracts/vzwire_loopback.h).
#include "common/trace_client.h"
#include "contracts/media_transport.h"
#include "outside/vzwire/loopback_server.h"
#include "outside/vzwire/wire_transport.h"

extern "C" {

__attribute__((visibility("default"))) IMediaTransport* VzCreateTransport(IMediaTransportSink* sink,
                                                                         uint8_t session_type) {
  if (sink == nullptr || (session_type != kTransportSessionVideo && session_type != kTransportSessionSharing)) {
    VZ_LOG_ERROR("no transport for session type %d%s", session_type, sink == nullptr ? " without a sink" : "");
    return nullptr;
  }
  return new vzwire::WireTransport(sink, session_type);
}

__attribute__((visibility("default"))) void VzReleaseTransport(IMediaTransport* transport) {
  if (transport != nullptr) static_cast<vzwire::WireTransport*>(transport)->Release();
}

__attribute__((visibility("default"))) IVzWireLoopback* VzWireLoopback() {
  return vzwire::LoopbackServerControl();
}

}  // extern "C"
