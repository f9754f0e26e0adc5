#pragma once
// Binds the media transport library ("vzwire") at run time and forwards a
// session's operations to the transport it creates. The library is loaded
// once per process and never unloaded. Every operation returns 0 (nothing
// done) while there is no transport.
//
// Header-only, so that every engine library carries its own copy, as it
// carries the other contracts.
//
// Threads: the operations may be called from any thread the transport
// allows (see IMediaTransport); CreateInstance and ReleaseInstance from the
// session's owner thread, never from inside a sink callback.
#include <cstdint>
#include <limits>
#include <string>

#include "common/trace_client.h"
#include "contracts/media_transport.h"
#include "platform/module_loader.h"

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

namespace vz_transport_wrapper_detail {

inline constexpr char kTransportLibrary[] = "vzwire.dll";
inline constexpr int kCreateOrdinal = 1;
inline constexpr int kReleaseOrdinal = 2;

// One handle per library for the process's life: the library stays mapped
// whatever the wrappers do, so a second load needs no second handle.
inline void* OpenOnce(const char* file_name) { return vz::LoadModuleOnce(file_name).module; }

inline void* PlatformOrdinal(void* module, int ordinal) {
  return vz::GetModuleOrdinal(static_cast<vz::ModuleHandle>(module), ordinal);
}

inline uint32_t SizeOf(const std::string& bytes) {
  return bytes.size() > std::numeric_limits<uint32_t>::max()
             ? std::numeric_limits<uint32_t>::max()
             : static_cast<uint32_t>(bytes.size());
}

}  // namespace vz_transport_wrapper_detail

inline CVzTransportWrapper::CVzTransportWrapper()
    : CVzTransportWrapper(TransportLibraryLoader{&vz_transport_wrapper_detail::OpenOnce, &vz_transport_wrapper_detail::PlatformOrdinal}) {}

inline CVzTransportWrapper::CVzTransportWrapper(const TransportLibraryLoader& loader) : loader_(loader) {
  VZ_LOG("");
  module_ = loader_.open(vz_transport_wrapper_detail::kTransportLibrary);
  if (module_ == nullptr) VZ_LOGW_ERROR(u"Can't find Transport dll!");
}

inline CVzTransportWrapper::~CVzTransportWrapper() {
  VZ_LOG("");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

inline bool CVzTransportWrapper::CreateInstance(IMediaTransportSink* sink, uint8_t session_type) {
  VZ_LOG("sessionType=%d", session_type);
  if (sink == nullptr || module_ == nullptr) return false;
  auto create = reinterpret_cast<VzCreateTransportFn>(loader_.ordinal(module_, vz_transport_wrapper_detail::kCreateOrdinal));
  if (create == nullptr) {
    VZ_LOG_ERROR("Can't get method VzCreateTransport");
    return false;
  }
  transport_ = create(sink, session_type);
  if (transport_ == nullptr) VZ_LOG_ERROR("Fail to create transport!!!");
  return transport_ != nullptr;
}

inline void CVzTransportWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (transport_ == nullptr || module_ == nullptr) return;
  auto release = reinterpret_cast<VzReleaseTransportFn>(loader_.ordinal(module_, vz_transport_wrapper_detail::kReleaseOrdinal));
  if (release == nullptr) {
    VZ_LOG_ERROR("Can't get method VzReleaseTransport; the transport is kept");
    return;
  }
  release(transport_);
  transport_ = nullptr;
}

inline uint8_t CVzTransportWrapper::Join(const void* session_config, const NetworkProxyEntry* proxy,
                                  IMediaTransportFilter* filter) {
  return transport_ ? transport_->Join(session_config, proxy, filter) : 0;
}

inline int32_t CVzTransportWrapper::Leave() { return transport_ ? transport_->Leave() : 0; }

inline int32_t CVzTransportWrapper::SendCommandData(const CByteStream* stream) {
  return transport_ ? transport_->SendCommandData(stream) : 0;
}

inline int32_t CVzTransportWrapper::SendRtpData(const CByteStream* stream) {
  return transport_ ? transport_->SendRtpData(stream) : 0;
}

inline int32_t CVzTransportWrapper::SendRtcpData(const CByteStream* stream) {
  return transport_ ? transport_->SendRtcpData(stream) : 0;
}

inline int32_t CVzTransportWrapper::SendDataUtf8(const char* data, uint32_t size) {
  return transport_ ? transport_->SendDataUtf8(data, size) : 0;
}

inline int32_t CVzTransportWrapper::SendDataUtf8(const std::string& text) {
  return SendDataUtf8(text.data(), vz_transport_wrapper_detail::SizeOf(text));
}

inline int32_t CVzTransportWrapper::SendDataBinary(const uint8_t* data, uint32_t size) {
  return transport_ ? transport_->SendDataBinary(data, size) : 0;
}

inline int32_t CVzTransportWrapper::SendDataBinary(const std::string& bytes) {
  return SendDataBinary(reinterpret_cast<const uint8_t*>(bytes.data()), vz_transport_wrapper_detail::SizeOf(bytes));
}

inline int32_t CVzTransportWrapper::SetOption(int32_t option, int32_t value) {
  return transport_ ? transport_->SetOption(option, value) : 0;
}

inline int32_t CVzTransportWrapper::GetOption(int32_t option, int32_t* value) {
  return transport_ ? transport_->GetOption(option, value) : 0;
}

inline int32_t CVzTransportWrapper::Subscribe(uint32_t ssrc, int32_t subscribe) {
  return transport_ ? transport_->Subscribe(ssrc, subscribe) : 0;
}

inline int32_t CVzTransportWrapper::SetMaxSendBandwidth(int32_t bits_per_second) {
  return transport_ ? transport_->SetMaxSendBandwidth(bits_per_second) : 0;
}
