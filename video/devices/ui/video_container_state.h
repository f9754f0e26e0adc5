#pragma once
// What a video container shows besides its video: the renderer bound to it
// (null: the placeholder shows), the hint label, the waiting animation and
// the mirror flag given to the renderer. The container windows draw from
// this; the main view changes it. UI thread only.
#include "video/engine/core/video_interfaces.h"

namespace vzpanel {

struct VideoContainerState {
  IVideoRenderer* renderer = nullptr;  // not owned: the render service's
  bool hint_shown = false;
  bool animation_running = false;
  bool animation_small = false;
  bool mirror = false;

  // Hides the hint, then starts the waiting animation.
  void StartWaiting(bool small) {
    hint_shown = false;
    animation_running = true;
    animation_small = small;
  }
  // Stops what runs: the hint and the animation.
  void StopWaiting() {
    hint_shown = false;
    animation_running = false;
  }
  // Passes the mirror flag on to the renderer when one is bound.
  void SetVideoViewFlag(bool on) {
    mirror = on;
    if (renderer != nullptr) renderer->SetMirror(on);
  }
};

}  // namespace vzpanel
