#pragma once
// What the annotation windows tell the sharing UI controller that owns
// them. The controller implements both; the windows keep a pointer that the
// controller sets and clears (it must outlive its windows or clear it).
// Every call comes on the UI thread.
#include <cstdint>

// The overlay's owner.
class IDSAnnotationFrameOwner {
 public:
  // The presenter pressed or moved the mouse on the overlay with the pointer
  // indicator tool (1): the cursor's screen position.
  virtual void onMoveArrowIndicator(int x, int y) = 0;

 protected:
  ~IDSAnnotationFrameOwner() = default;
};

// The tool window's owner (the button message).
class IDSAnnotationToolWindowOwner {
 public:
  // A button of the bar was clicked: its control id (1098 to 1106, 1108,
  // 1109). The owner decides everything; the bar only shows what it is told.
  virtual void OnAnnotationToolButtonClicked(uint32_t button_id) = 0;

 protected:
  ~IDSAnnotationToolWindowOwner() = default;
};
