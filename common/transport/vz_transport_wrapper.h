#pragma once
// Binds the media transport library ("vzwire") at run time and forwards a
// session's operations to the transport it creates. The library is loaded
// once per process and never unloaded. Every operation returns 0 (nothing
// done) while there is no transport.
//
// Threads: the operations may be called from any thread the transport
// allows (see IMediaTransport); CreateInstance and ReleaseInstance from the
// session's owner thread, never from inside a sink callback.
#include <cstdint>
#include <string>

#include "contracts/media_transport.h"

// How the wrapper finds the library and its exports; tests give their own.
struct TransportLibraryLoader {
  // The library's handle, or null (logged by the loader).
  void* (*open)(const char* file_name);
  // Export `ordinal` of an opened library, or null.
  void* (*ordinal)(void* module, int ordinal);
};

class CVzTransportWrapper {
 public:
  // Loads "vzwire.dll" through the platform's module loader.
  CVzTransportWrapper();
  explicit CVzTransportWrapper(const TransportLibraryLoader& loader);
  // Releases the transport; the library stays loaded.
  virtual ~CVzTransportWrapper();
  CVzTransportWrapper(const CVzTransportWrapper&) = delete;
  CVzTransportWrapper& operator=(const CVzTransportWrapper&) = delete;

  // Creates the transport (ordinal 1). False without a sink, without the
  // library or its export, or when the library made none.
  bool CreateInstance(IMediaTransportSink* sink, uint8_t session_type);
  // Releases the transport through ordinal 2. Without that export the
  // transport is kept (and logged), since nothing else may free it.
  void ReleaseInstance();
  bool HasTransport() const { return transport_ != nullptr; }

  virtual uint8_t Join(const void* session_config, const NetworkProxyEntry* proxy,
                       IMediaTransportFilter* filter);
  virtual int32_t Leave();
  virtual int32_t SendCommandData(const CByteStream* stream);
  virtual int32_t SendRtpData(const CByteStream* stream);
  virtual int32_t SendRtcpData(const CByteStream* stream);
  virtual int32_t SendDataUtf8(const char* data, uint32_t size);
  virtual int32_t SendDataUtf8(const std::string& text);
  virtual int32_t SendDataBinary(const uint8_t* data, uint32_t size);
  virtual int32_t SendDataBinary(const std::string& bytes);
  virtual int32_t SetOption(int32_t option, int32_t value);
  virtual int32_t GetOption(int32_t option, int32_t* value);
  virtual int32_t Subscribe(uint32_t ssrc, int32_t subscribe);
  virtual int32_t SetMaxSendBandwidth(int32_t bits_per_second);

 private:
  TransportLibraryLoader loader_;
  void* module_ = nullptr;
  IMediaTransport* transport_ = nullptr;
};
