#pragma once
// A capture engine's tries: the wanted format; after a refusal of the
// format (VSE_E_INVALIDARG) the same with video type 0; then, after that or
// any other failure, no format. Without a format there is one try. Each
// failed try but the first is logged. The caller's `try_once` keeps any
// state the tries share (a camera backend's strict flag).
#include <functional>

#include "video/engine/core/video_format.h"
#include "video/engine/core/video_interfaces.h"

using EngineTry = std::function<VseResult(const VideoFormat* format)>;
// VSE_S_OK with the first try that made an engine; VSE_E_OUTOFMEMORY at once
// when a try has no memory; otherwise VSE_E_FAIL.
VseResult MakeEngineWithRetries(const VideoFormat* format, const EngineTry& try_once);
