#pragma once
// What the pipe server tells the host, on the server's thread. The texts
// point into the server's read buffer: they are valid for the call only.
#include <cstdint>
#include <string_view>

class IPipeCallback {
 public:
  virtual void OnConnect() = 0;
  // The client went away, or never came before the deadline.
  virtual void OnDisconnect() = 0;
  virtual void OnReceiveTextData(std::string_view text) = 0;                 // kind 1000
  virtual void OnReceiveBase64Data(uint32_t kind, std::string_view text) = 0;  // any other kind
  virtual void OnReceiveLog(std::string_view text) = 0;                      // kind 1001
  virtual void OnReceiveReport(std::string_view text) = 0;                   // kind 1002
  // About once a second while no client has connected.
  virtual void OnWaitClient() = 0;
  virtual void OnReceiveValue1(int value) = 0;  // kind 1011
  virtual void OnReceiveValue2(int value) = 0;  // kind 1012

 protected:
  ~IPipeCallback() = default;
};
