#pragma once
// The window a renderer paints, as the renderer and its draws see it: the
// owner view's window, the thread that owns it, its client rectangle, a
// way to post a message to that thread, and where its pixels go on the
// display. The real port (view_window_port.h) sits over the window layer;
// tests use an in-memory one.
//
// Threads: everything from any thread (the port keeps its own copy of the
// geometry), except UpdateGeometry, which reads the view on its thread.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/ui/ui_types.h"

class IVideoWindowPort {
 public:
  virtual ~IVideoWindowPort() = default;
  // False once the view is gone.
  virtual bool IsWindow() = 0;
  // The thread that owns the window (its messages are taken there).
  virtual std::thread::id WindowThread() = 0;
  bool IsWindowThread() { return WindowThread() == std::this_thread::get_id(); }
  // The id that messages posted to this window carry.
  virtual uint64_t WindowId() = 0;
  // Client rectangle, (0, 0) at the top-left of the view.
  virtual vz::Rect ClientRect() = 0;
  // Window thread: reads the view's placement anew (it moved or resized).
  virtual void UpdateGeometry() = 0;
  // Posts (never waits) a message to the window's thread, where the
  // thread's message hook sees it; false when the thread's loop is gone.
  virtual bool PostMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  // Posts a task to the window's thread (for work that must outlive its
  // poster); false, with the task destroyed unrun, when the loop is gone.
  virtual bool PostTask(std::function<void()> task) = 0;
  // The display window that shows the view's pixels (0: none, nothing is
  // put on a display) and the display's name ("" for $DISPLAY).
  virtual uint64_t NativeWindow() = 0;
  virtual std::string DisplayName() = 0;
  // The monitor that holds most of the view (an index; -1 for none), so a
  // draw can tell when the view moved to another one.
  virtual int32_t Monitor() = 0;
  // When more of the display window shows than before (controls that lay
  // over it went), the port posts `message` with `wparam` to the window's
  // thread, so the held picture is drawn there again at once rather than at
  // the next frame. Set once, by the renderer that owns the port; a port
  // whose window never changes that way does nothing.
  virtual void SetRedrawMessage(uint32_t /*message*/, uintptr_t /*wparam*/) {}
};
