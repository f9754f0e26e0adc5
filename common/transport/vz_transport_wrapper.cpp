#include "common/transport/vz_transport_wrapper.h"

#include <limits>
#include <map>
#include <mutex>

#include "common/trace_client.h"
#include "platform/module_loader.h"

namespace {

constexpr char kTransportLibrary[] = "vzwire.dll";
constexpr int kCreateOrdinal = 1;
constexpr int kReleaseOrdinal = 2;

// One handle per library for the process's life: the library stays mapped
// whatever the wrappers do, so a second load needs no second handle.
void* OpenOnce(const char* file_name) {
  static std::mutex* mutex = new std::mutex();
  static auto* modules = new std::map<std::string, vz::ModuleHandle>();
  const std::string key = vz::ModuleShortName(file_name);
  std::lock_guard<std::mutex> lock(*mutex);
  const auto found = modules->find(key);
  if (found != modules->end()) return found->second;
  vz::ModuleHandle module = vz::LoadModule(file_name);
  if (module != nullptr) modules->emplace(key, module);
  return module;
}

void* PlatformOrdinal(void* module, int ordinal) {
  return vz::GetModuleOrdinal(static_cast<vz::ModuleHandle>(module), ordinal);
}

uint32_t SizeOf(const std::string& bytes) {
  return bytes.size() > std::numeric_limits<uint32_t>::max()
             ? std::numeric_limits<uint32_t>::max()
             : static_cast<uint32_t>(bytes.size());
}

}  // namespace

CVzTransportWrapper::CVzTransportWrapper()
    : CVzTransportWrapper(TransportLibraryLoader{&OpenOnce, &PlatformOrdinal}) {}

CVzTransportWrapper::CVzTransportWrapper(const TransportLibraryLoader& loader) : loader_(loader) {
  VZ_LOG("");
  module_ = loader_.open(kTransportLibrary);
  if (module_ == nullptr) VZ_LOGW_ERROR(u"Can't find Transport dll!");
}

CVzTransportWrapper::~CVzTransportWrapper() {
  VZ_LOG("");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

bool CVzTransportWrapper::CreateInstance(IMediaTransportSink* sink, uint8_t session_type) {
  VZ_LOG("sessionType=%d", session_type);
  if (sink == nullptr || module_ == nullptr) return false;
  auto create = reinterpret_cast<VzCreateTransportFn>(loader_.ordinal(module_, kCreateOrdinal));
  if (create == nullptr) {
    VZ_LOG_ERROR("Can't get method VzCreateTransport");
    return false;
  }
  transport_ = create(sink, session_type);
  if (transport_ == nullptr) VZ_LOG_ERROR("Fail to create transport!!!");
  return transport_ != nullptr;
}

void CVzTransportWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (transport_ == nullptr || module_ == nullptr) return;
  auto release = reinterpret_cast<VzReleaseTransportFn>(loader_.ordinal(module_, kReleaseOrdinal));
  if (release == nullptr) {
    VZ_LOG_ERROR("Can't get method VzReleaseTransport; the transport is kept");
    return;
  }
  release(transport_);
  transport_ = nullptr;
}

uint8_t CVzTransportWrapper::Join(const void* session_config, const NetworkProxyEntry* proxy,
                                  IMediaTransportFilter* filter) {
  return transport_ ? transport_->Join(session_config, proxy, filter) : 0;
}

int32_t CVzTransportWrapper::Leave() { return transport_ ? transport_->Leave() : 0; }

int32_t CVzTransportWrapper::SendCommandData(const CByteStream* stream) {
  return transport_ ? transport_->SendCommandData(stream) : 0;
}

int32_t CVzTransportWrapper::SendRtpData(const CByteStream* stream) {
  return transport_ ? transport_->SendRtpData(stream) : 0;
}

int32_t CVzTransportWrapper::SendRtcpData(const CByteStream* stream) {
  return transport_ ? transport_->SendRtcpData(stream) : 0;
}

int32_t CVzTransportWrapper::SendDataUtf8(const char* data, uint32_t size) {
  return transport_ ? transport_->SendDataUtf8(data, size) : 0;
}

int32_t CVzTransportWrapper::SendDataUtf8(const std::string& text) {
  return SendDataUtf8(text.data(), SizeOf(text));
}

int32_t CVzTransportWrapper::SendDataBinary(const uint8_t* data, uint32_t size) {
  return transport_ ? transport_->SendDataBinary(data, size) : 0;
}

int32_t CVzTransportWrapper::SendDataBinary(const std::string& bytes) {
  return SendDataBinary(reinterpret_cast<const uint8_t*>(bytes.data()), SizeOf(bytes));
}

int32_t CVzTransportWrapper::SetOption(int32_t option, int32_t value) {
  return transport_ ? transport_->SetOption(option, value) : 0;
}

int32_t CVzTransportWrapper::GetOption(int32_t option, int32_t* value) {
  return transport_ ? transport_->GetOption(option, value) : 0;
}

int32_t CVzTransportWrapper::Subscribe(uint32_t ssrc, int32_t subscribe) {
  return transport_ ? transport_->Subscribe(ssrc, subscribe) : 0;
}

int32_t CVzTransportWrapper::SetMaxSendBandwidth(int32_t bits_per_second) {
  return transport_ ? transport_->SetMaxSendBandwidth(bits_per_second) : 0;
}
