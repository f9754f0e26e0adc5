#pragma once
// The media engine (CVseEngineImp) as the conference client drives it: its
// listen and send channels behind the client's small channel interfaces.
// The adapter holds one reference to each channel it hands out and lets go
// of it before the engine destroys the channel.
#include "video/engine/client/video_client_seams.h"

// A new engine, or null when it cannot be made (logged).
IClientVideoEngine* CreateVseClientEngine();
