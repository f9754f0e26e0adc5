#pragma once
// A media transport for the connection's tests, bound through the wrapper's
// loader: it records joins, leaves and sends, and plays the transport's
// callbacks from a real second thread.
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contracts/session_records.h"
#include "contracts/fake_transport_base_testlib.h"

namespace ds_test {

class FakeMediaTransport : public transport_test::FakeTransportBase<FakeMediaTransport, DSSessionConfig> {
 public:
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

  int32_t SendDataUtf8(const char* data, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex);
    text_sent.emplace_back(data, size);
    return send_result;
  }
  int32_t SendDataBinary(const uint8_t* data, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex);
    sent.emplace_back(reinterpret_cast<const char*>(data), size);
    return send_result;
  }

  std::vector<std::string> sent;
  std::vector<std::string> text_sent;
};

}  // namespace ds_test
