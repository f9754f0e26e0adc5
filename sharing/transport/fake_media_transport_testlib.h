#pragma once
// A media transport for the connection's tests, bound through the wrapper's
// loader: it records joins, leaves and sends, and plays the transport's
// callbacks from a real second thread.
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contracts/network_proxy_entry.h"
#include "contracts/vz_transport_wrapper.h"
#include "contracts/media_transport.h"
#include "contracts/session_records.h"

namespace ds_test {

class FakeMediaTransport : public IMediaTransport {
 public:
  // The one the loader hands out next; the test owns it.
  static FakeMediaTransport*& Next() {
    static FakeMediaTransport* next = nullptr;
    return next;
  }
  static TransportLibraryLoader Loader() {
    return TransportLibraryLoader{[](const char*) -> void* { return &Next(); }, &Ordinal};
  }
  static TransportLibraryLoader MissingLibrary() {
    return TransportLibraryLoader{[](const char*) -> void* { return nullptr; }, &Ordinal};
  }

  // Runs `call` on a thread of the transport's and waits for it.
  void OnTransportThread(const std::function<void(IMediaTransportSink*)>& call) {
    std::thread thread([&] { call(sink); });
    thread.join();
  }
  void Receive(const std::string& bytes) {
    OnTransportThread([&](IMediaTransportSink* s) {
      s->OnReceiveDataBinary(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    });
  }
  std::vector<std::string> Sent() {
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
  }

  uint8_t GetSessionType() override { return session_type; }
  uint8_t Join(const void* config, const NetworkProxyEntry* proxy_entry, IMediaTransportFilter* f) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++joins;
    std::memcpy(&joined, config, sizeof(joined));
    proxy_given = proxy_entry != nullptr;
    if (proxy_entry != nullptr) std::memcpy(&proxy, proxy_entry, sizeof(proxy));
    filter = f;
    return join_result;
  }
  int32_t Leave() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++leaves;
    return 1;
  }
  int32_t SendCommandData(const CByteStream*) override { return 0; }
  int32_t SendRtpData(const CByteStream*) override { return 0; }
  int32_t SendRtcpData(const CByteStream*) override { return 0; }
  int32_t SendDataUtf8(const char* data, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex);
    text_sent.emplace_back(data, size);
    return send_result;
  }
  int32_t GetSendBacklog() override { return 0; }
  int32_t SendDataBinary(const uint8_t* data, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex);
    sent.emplace_back(reinterpret_cast<const char*>(data), size);
    return send_result;
  }
  int32_t GetMemberCount() override { return 0; }
  int32_t SetOption(int32_t, int32_t) override { return 0; }
  int32_t GetOption(int32_t, int32_t*) override { return 0; }
  int32_t Subscribe(uint32_t, int32_t) override { return 0; }
  int32_t SetMaxSendBandwidth(int32_t) override { return 0; }

  std::mutex mutex;
  IMediaTransportSink* sink = nullptr;
  uint8_t session_type = 0;
  int created = 0;
  int released = 0;
  int joins = 0;
  int leaves = 0;
  uint8_t join_result = 1;
  int32_t send_result = 1;
  DSSessionConfig joined{};
  NetworkProxyEntry proxy{};
  bool proxy_given = false;
  IMediaTransportFilter* filter = nullptr;
  std::vector<std::string> sent;
  std::vector<std::string> text_sent;

 private:
  static IMediaTransport* Create(IMediaTransportSink* s, uint8_t type) {
    FakeMediaTransport* fake = Next();
    if (fake == nullptr) return nullptr;
    fake->sink = s;
    fake->session_type = type;
    ++fake->created;
    return fake;
  }
  static void Release(IMediaTransport* transport) { ++static_cast<FakeMediaTransport*>(transport)->released; }
  static void* Ordinal(void*, int ordinal) {
    if (ordinal == 1) return reinterpret_cast<void*>(&Create);
    if (ordinal == 2) return reinterpret_cast<void*>(&Release);
    return nullptr;
  }
};

}  // namespace ds_test
