#include "video/engine/core/cap_engine_retries.h"

#include "common/trace_client.h"

VseResult MakeEngineWithRetries(const VideoFormat* format, const EngineTry& try_once) {
  VseResult made = try_once(format);
  if (made == VSE_S_OK || made == VSE_E_OUTOFMEMORY) return made;
  if (format == nullptr) {
    VZ_LOG_ERROR("capture engine failed without a format, hr=0x%08X", made);
    return VSE_E_FAIL;
  }
  if (made == VSE_E_INVALIDARG) {
    VideoFormat any_type = *format;
    any_type.video_type = 0;
    VZ_LOG_WARN("format refused, trying the camera's own video type");
    made = try_once(&any_type);
    if (made == VSE_S_OK || made == VSE_E_OUTOFMEMORY) return made;
  }
  VZ_LOG_WARN("trying the capture engine without a format, hr=0x%08X", made);
  made = try_once(nullptr);
  if (made == VSE_S_OK || made == VSE_E_OUTOFMEMORY) return made;
  VZ_LOG_ERROR("capture engine failed, hr=0x%08X", made);
  return VSE_E_FAIL;
}
