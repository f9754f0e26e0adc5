// Any text from the pipe as the web page's request: dispatched, then every
// posted message delivered to a recording sink and its record freed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "weblink/link/link_request_payloads.h"
#include "weblink/link/link_testlib.h"
#include "weblink/link/request_delivery.h"
#include "weblink/link/request_dispatch.h"

namespace {

class DeliveringPoster final : public LinkRequestPoster {
 public:
  explicit DeliveringPoster(IVzLinkInstanceSink& sink) : sink_(sink) {}
  void PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    if (!DeliverLinkRequest(sink_, msg, wParam, lParam)) FreeLinkRequestPayload(msg, wParam, lParam);
  }

 private:
  IVzLinkInstanceSink& sink_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool unbound = [] {
    vz::BindTracerForTest(nullptr);  // no log writer: nothing is written anywhere
    return true;
  }();
  (void)unbound;
  RecordingLinkSink sink;
  DeliveringPoster poster(sink);
  DispatchLinkRequest(std::string(reinterpret_cast<const char*>(data), size), poster);
  return 0;
}
