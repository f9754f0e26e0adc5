#pragma once
// What the screen source reads of a top-level window's properties (its name,
// process, owner, class, type and minimised states), kept per window and read
// again only after the window reports that a property changed.
//
// The window list is asked for on every capture round; reading each window's
// nine properties anew made most of a round's waits on the server. A window's
// place, size and map state are not kept here: its frame's moves tell the
// client window nothing, so the caller reads those every time.
//
// How it stays true: before a window's first read, property and structure
// events are selected on it on the caller's connection (other programs'
// windows included: event masks are per connection). TakeEvents takes in what
// the server sent: a window whose property changed is read again when next
// asked for, a destroyed window is forgotten. Events reported to the root go
// to the root children's record; the screen source's connection selects no
// other.
//
// Platform-internal (Xlib). Threads: the thread that owns the connection.
// Calls are made inside the caller's X11ErrorTrap: requests on a window that
// went meanwhile fail, and a failed read is not kept.
#include <X11/Xlib.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/screen/screen_source.h"
#include "platform/screen/x11_client_windows.h"

namespace vz {

// Property lists longer than this are cut: a hostile client could publish a
// property of any length.
constexpr long kMaxPropertyItems = 4096;

// A property's 32-bit items, at most kMaxPropertyItems (a longer one is cut,
// with a log line); `present` (when given) tells whether the window has the
// property at all, of whichever type. Empty when the read fails.
std::vector<unsigned long> ReadLongProperty(Display* display, ::Window window, const char* name, Atom type,
                                            bool* present = nullptr);

struct X11WindowFacts {
  std::string title;        // _NET_WM_NAME, else WM_NAME; UTF-8
  int pid = 0;              // 0: none named, or the window is another machine's
  uint64_t owner = 0;       // the window it is transient for; 0 when none
  std::string class_name;   // the class part of WM_CLASS
  bool hidden = false;      // _NET_WM_STATE holds _NET_WM_STATE_HIDDEN
  bool iconic = false;      // WM_STATE says IconicState
  ScreenWindowKind kind = ScreenWindowKind::kNormal;
};

class X11WindowFactsCache {
 public:
  // `host` is this machine's name as WM_CLIENT_MACHINE carries it. Without
  // `watch` nothing is selected or kept: every Of reads anew (for a list
  // asked for now and then, whose events would wait in the connection
  // until the next one).
  X11WindowFactsCache(Display* display, std::string host, bool watch);
  X11WindowFactsCache(const X11WindowFactsCache&) = delete;
  X11WindowFactsCache& operator=(const X11WindowFactsCache&) = delete;

  // Takes in the connection's pending events (it does not wait for any);
  // those reported to the root go on to `root_children`.
  void TakeEvents(X11RootChildren* root_children);
  // The facts of `window`: kept ones, or read now. Null when the window
  // went before or while they were read. Valid until the next call that
  // changes the cache (TakeEvents, KeepOnly), or without `watch` until the
  // next Of.
  const X11WindowFacts* Of(::Window window);
  // Forgets every window not in `listed`, so the cache holds at most the
  // windows of the last list.
  void KeepOnly(const std::vector<unsigned long>& listed);

  size_t ReadsForTesting() const { return reads_; }

 private:
  bool Read(::Window window, X11WindowFacts* facts);
  ScreenWindowKind KindOf(const std::vector<unsigned long>& types);

  Display* display_;
  std::string host_;
  bool watch_;
  X11WindowFacts unkept_;  // the last read without `watch`
  std::unordered_map<::Window, X11WindowFacts> kept_;
  size_t reads_ = 0;
};

}  // namespace vz
