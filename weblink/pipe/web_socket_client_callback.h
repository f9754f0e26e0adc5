#pragma once
// What the pipe client reports to its owner (the link instance). Every call
// comes on the client's I/O thread, without the client's lock held, so an
// implementation may Send from inside it.
#include <string>

class CWebSocketClientCallback {
 public:
  // The pipe is open; comes before the first frame is read or written.
  virtual void OnConnect() = 0;
  // The link ended for any cause other than Stop (the connection could not
  // be made, or it broke). Comes at most once; `reason` is always 0.
  virtual void OnDisconnect(int reason) = 0;
  // A frame of kind PIPE_KIND_JSON_TEXT.
  virtual void OnReceiveText(const std::string& payload) = 0;
  // A frame of any other kind.
  virtual void OnReceiveBinary(const std::string& payload) = 0;
  // Keeps the interface's fifth slot; the client never calls it.
  virtual void OnReserved() {}

 protected:
  virtual ~CWebSocketClientCallback() = default;
};
