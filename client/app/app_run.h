#pragma once
// Runs the main frame on the calling thread's run loop until it quits.
#include "contracts/app_peer_config.h"

// The loop's exit code: 0, or 1 when a waiting start finds no display.
int Run(AppPeerConfig* config);
