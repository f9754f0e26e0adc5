#pragma once
// Where the dispatch of the web page's requests hands its messages: the link
// instance's helper window, or a test's queue.
#include <cstdint>

class LinkRequestPoster {
 public:
  // Takes the message with the record it carries (link_request_payloads.h);
  // a message that cannot be delivered has its record freed here.
  virtual void PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;

 protected:
  ~LinkRequestPoster() = default;
};
