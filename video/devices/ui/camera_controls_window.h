#pragma once
// CCameraControlsWindow: the camera's own controls (brightness, contrast and
// whatever else the camera offers), one row each: its name, its value, and
// buttons that step it down and up (a check box for an on/off control; a
// menu shows its entry's name and steps from entry to entry).
// Each change is set on the camera at once and the value read back; a
// refused change leaves the value shown as the camera has it. OK closes it.
// UI thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/camera/camera_records.h"
#include "uikit/vz_dialog.h"
#include "video/engine/core/video_interfaces.h"

namespace vzpanel {

// Where the controls come from: a camera's node (or a test's double).
class ICameraControlSource {
 public:
  virtual ~ICameraControlSource() = default;
  virtual std::vector<vz::CameraControl> List() = 0;
  virtual bool Get(uint32_t id, int32_t* value) = 0;
  virtual bool Set(uint32_t id, int32_t value) = 0;
};

// The controls of a V4L2 camera; null (logged) when the device is not one
// or its node cannot be opened.
std::unique_ptr<ICameraControlSource> OpenCameraControls(IVideoCapDevice* device);

class CCameraControlsWindow : public CVzDialog {
 public:
  // At most this many rows (a camera offering more shows the first ones).
  static constexpr size_t kMaxRows = 16;
  // Row i's control ids: its value text, its down and up buttons, its
  // check box (in place of the three for an on/off control), its name.
  static constexpr uint32_t kFirstId = 1200;
  static uint32_t ValueId(size_t row) { return kFirstId + static_cast<uint32_t>(row) * 5; }
  static uint32_t DownId(size_t row) { return ValueId(row) + 1; }
  static uint32_t UpId(size_t row) { return ValueId(row) + 2; }
  static uint32_t CheckId(size_t row) { return ValueId(row) + 3; }
  static uint32_t NameId(size_t row) { return ValueId(row) + 4; }

  // `title` is the window's caption (the camera's name).
  CCameraControlsWindow(std::unique_ptr<ICameraControlSource> source, const std::u16string& title);

  // The controls shown, in row order.
  const std::vector<vz::CameraControl>& controlsForTesting() const { return controls_; }
  // The value a row shows (what the camera last answered).
  int32_t shownValueForTesting(size_t row) const { return row < values_.size() ? values_[row] : 0; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnOK() override { DestroyWindow(); }
  void OnCancel() override { DestroyWindow(); }

 private:
  static vzres::DialogDescription Layout(const std::vector<vz::CameraControl>& controls);
  void Step(size_t row, int direction);
  void Apply(size_t row, int32_t wanted);
  void ShowValue(size_t row);

  std::unique_ptr<ICameraControlSource> source_;
  std::u16string title_;
  std::vector<vz::CameraControl> controls_;
  std::vector<int32_t> values_;
};

}  // namespace vzpanel
