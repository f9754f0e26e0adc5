#pragma once
// Test doubles of the video panel's models: participants, a render service
// that counts what it makes, and a conference client that records the calls.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "video/devices/ui/main_view_model.h"
#include "video/devices/ui/null_video_renderer.h"

namespace vzpanel::testing {

inline VideoRosterInfo Participant(const std::string& id, bool video = true, bool host = false,
                                   bool presenter = false, bool invisible = false) {
  VideoRosterInfo record;
  const std::u16string wide = vz::Utf8ToUtf16(id);
  vz::CopyUtf16(record.head.RosterId, 128, wide);
  vz::CopyUtf16(record.head.Name, 128, u"Name " + wide);
  record.head.IsHost = host;
  record.head.IsPresenter = presenter;
  record.head.IsInvisible = invisible;
  record.rosterId = id;
  record.videoStatus = video ? 1 : 0;
  return record;
}

// Renderers that keep the mirror they were last given; made in order, never freed
// before the service goes.
class FakeRenderer : public NullVideoRenderer {
 public:
  bool mirror = false;
  VseResult SetMirror(bool on) override {
    mirror = on;
    return 0;
  }
};

class FakeRenderService : public IVideoRenderService {
 public:
  bool fail = false;
  int created = 0;
  int destroyed = 0;
  int moved = 0;
  std::vector<std::unique_ptr<FakeRenderer>> all;
  std::vector<IVideoRenderer*> live;

  int32_t CreateVideoRenderer(IVideoRenderer** out, void*) override {
    *out = nullptr;
    if (fail) return 3;
    all.push_back(std::make_unique<FakeRenderer>());
    *out = all.back().get();
    live.push_back(*out);
    ++created;
    return 0;
  }
  int32_t DestroyVideoRenderer(IVideoRenderer* renderer) override {
    std::erase(live, renderer);
    ++destroyed;
    return 0;
  }
  int32_t SetBKColorInRenderer(IVideoRenderer*, uint32_t) override { return 0; }
  int32_t ClearRendererStream(IVideoRenderer*) override { return 0; }
  int32_t RedrawRenderer(IVideoRenderer*) override { return 0; }
  int32_t OnRendererDisplayChange(IVideoRenderer*) override { return 0; }
  int32_t OnRendererPositionChange(IVideoRenderer*) override {
    ++moved;
    return 0;
  }
};

struct Subscription {
  std::string roster_id;
  int32_t size_type;
  uintptr_t renderer;
};

class FakeClient : public IMainViewClient {
 public:
  std::vector<Subscription> subscriptions;  // live ones
  int requests = 0;
  int unrequests = 0;
  std::vector<std::string> spotlights;
  bool hardware_camera = true;

  int32_t RequestSourceVideo(const std::string& id, int32_t size, uintptr_t renderer) override {
    ++requests;
    subscriptions.push_back({id, size, renderer});
    return 0;
  }
  int32_t UnRequestSourceVideo(const std::string& id, uintptr_t renderer) override {
    ++unrequests;
    std::erase_if(subscriptions, [&](const Subscription& s) { return s.roster_id == id && s.renderer == renderer; });
    return 0;
  }
  int32_t SetSpotlight(const std::string& id) override {
    spotlights.push_back(id);
    return 0;
  }
  bool IsCurrentCameraHardware() override { return hardware_camera; }

  // The size type of a participant's live subscription; -1 without one.
  int32_t SizeOf(const std::string& id) const {
    for (const auto& s : subscriptions) {
      if (s.roster_id == id) return s.size_type;
    }
    return -1;
  }
};

}  // namespace vzpanel::testing
