#include "client/app/application_version.h"

#include "client/app/app_version.h"
#include "common/trace_client.h"
#include "platform/process.h"

const char* getApplicationVersion() {
  const std::string path = vz::ExecutablePath();
  if (path.empty()) return nullptr;
  VZ_LOG("Application file=%s", path.c_str());
  static constexpr char kVersion[] = VZ_APP_VERSION;
  return kVersion[0] != '\0' ? kVersion : nullptr;
}
