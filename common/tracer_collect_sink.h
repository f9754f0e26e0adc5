#pragma once
// Receives every collect line of the tracer, on the logging thread.
class ITracerCollectSink {
 public:
  virtual void OnCollectLog(const char* line) = 0;

 protected:
  ~ITracerCollectSink() = default;
};
