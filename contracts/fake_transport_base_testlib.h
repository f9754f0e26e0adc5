#pragma once
// Test support: the part every fake media transport shares. It is bound
// through the wrapper's loader (the library's create and release, by
// ordinal), hands out the object the test set as Next(), and records joins
// and leaves. `Derived` adds what its tests look at (the sends, the
// callbacks it plays); `JoinConfig` is the session config its joins carry.
// The counters and records are read by the test; joins and leaves may come
// on the transport's threads (under `mutex`).
#include <cstdint>
#include <cstring>
#include <mutex>

#include "contracts/media_transport.h"
#include "contracts/network_proxy_entry.h"
#include "contracts/vz_transport_wrapper.h"

namespace transport_test {

template <typename Derived, typename JoinConfig>
class FakeTransportBase : public IMediaTransport {
 public:
  // The transport the loader hands out next (the test owns it); null makes
  // the library's create fail.
  static Derived*& Next() {
    static Derived* next = nullptr;
    return next;
  }
  static TransportLibraryLoader Loader() {
    return TransportLibraryLoader{[](const char*) -> void* { return &Next(); }, &Ordinal};
  }
  // A loader whose library is not there.
  static TransportLibraryLoader MissingLibrary() {
    return TransportLibraryLoader{[](const char*) -> void* { return nullptr; }, &Ordinal};
  }

  uint8_t GetSessionType() override { return session_type; }
  uint8_t Join(const void* config, const NetworkProxyEntry* proxy_entry, IMediaTransportFilter* f) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++joins;
    std::memcpy(&joined, config, sizeof(joined));
    proxy_given = proxy_entry;
    if (proxy_entry != nullptr) std::memcpy(&proxy, proxy_entry, sizeof(proxy));
    filter = f;
    return join_result;
  }
  int32_t Leave() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++leaves;
    return 1;
  }
  // Sends and options do nothing unless `Derived` records them.
  int32_t SendCommandData(const CByteStream*) override { return 0; }
  int32_t SendRtpData(const CByteStream*) override { return 0; }
  int32_t SendRtcpData(const CByteStream*) override { return 0; }
  int32_t SendDataUtf8(const char*, uint32_t) override { return 0; }
  int32_t GetSendBacklog() override { return 0; }
  int32_t SendDataBinary(const uint8_t*, uint32_t) override { return 0; }
  int32_t GetMemberCount() override { return 0; }
  int32_t SetOption(int32_t, int32_t) override { return 0; }
  int32_t GetOption(int32_t, int32_t*) override { return 0; }
  int32_t Subscribe(uint32_t, int32_t) override { return 0; }
  int32_t SetMaxSendBandwidth(int32_t) override { return 0; }

  std::mutex mutex;
  IMediaTransportSink* sink = nullptr;  // the session's, given at create
  uint8_t session_type = 0;
  int created = 0;
  int released = 0;
  int joins = 0;
  int leaves = 0;
  uint8_t join_result = 1;
  int32_t send_result = 1;  // what the recorded sends of `Derived` return
  JoinConfig joined{};
  const NetworkProxyEntry* proxy_given = nullptr;  // the last join's entry as passed (null for none)
  NetworkProxyEntry proxy{};                       // a copy of it
  IMediaTransportFilter* filter = nullptr;

 private:
  static IMediaTransport* Create(IMediaTransportSink* s, uint8_t type) {
    Derived* fake = Next();
    if (fake == nullptr) return nullptr;
    fake->sink = s;
    fake->session_type = type;
    ++fake->created;
    return fake;
  }
  static void Release(IMediaTransport* transport) { ++static_cast<Derived*>(transport)->released; }
  static void* Ordinal(void*, int ordinal) {
    if (ordinal == 1) return reinterpret_cast<void*>(&Create);
    if (ordinal == 2) return reinterpret_cast<void*>(&Release);
    return nullptr;
  }
};

}  // namespace transport_test
