#include "platform/screen/x11_window_facts.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>
#include <utility>

#include "platform/platform_log.h"
#include "platform/ui/x11_window_name.h"

namespace vz {
namespace {

constexpr size_t kMaxTitleBytes = 4096;

// What the facts are kept up to date by, selected on each window read.
constexpr long kFactsEventMask = PropertyChangeMask | StructureNotifyMask;

// One XGetWindowProperty of 32-bit items; false when the request failed
// (the window went), true with the items (none when it has no such
// property, or of another type or format).
bool ReadLongs(Display* display, ::Window window, const char* name, Atom type, std::vector<unsigned long>* values,
               bool* present) {
  values->clear();
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom property = XInternAtom(display, name, False);
  if (XGetWindowProperty(display, window, property, 0, kMaxPropertyItems, False, type, &actual, &format, &count,
                         &after, &data) != Success) {
    return false;
  }
  if (present) *present = actual != None;
  if (data && actual == type && format == 32) {
    const auto* longs = reinterpret_cast<const unsigned long*>(data);
    values->assign(longs, longs + count);
  }
  if (after != 0) PlatformLog("screen: %s is longer than %ld entries; cut", name, kMaxPropertyItems);
  if (data) XFree(data);
  return true;
}

}  // namespace

std::vector<unsigned long> ReadLongProperty(Display* display, ::Window window, const char* name, Atom type,
                                            bool* present) {
  std::vector<unsigned long> values;
  ReadLongs(display, window, name, type, &values, present);
  return values;
}

X11WindowFactsCache::X11WindowFactsCache(Display* display, std::string host, bool watch)
    : display_(display), host_(std::move(host)), watch_(watch) {}

void X11WindowFactsCache::TakeEvents(X11RootChildren* root_children) {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    root_children->Take(event);
    if (event.type == PropertyNotify) {
      kept_.erase(event.xproperty.window);  // read whole again when next asked for
    } else if (event.type == DestroyNotify) {
      kept_.erase(event.xdestroywindow.window);
    }
  }
}

const X11WindowFacts* X11WindowFactsCache::Of(::Window window) {
  const auto kept = kept_.find(window);
  if (kept != kept_.end()) return &kept->second;
  X11WindowFacts facts;
  if (!Read(window, &facts)) return nullptr;
  if (!watch_) {
    unkept_ = std::move(facts);
    return &unkept_;
  }
  return &kept_.emplace(window, std::move(facts)).first->second;
}

void X11WindowFactsCache::KeepOnly(const std::vector<unsigned long>& listed) {
  if (kept_.empty()) return;
  std::unordered_map<::Window, X11WindowFacts> still;
  for (unsigned long id : listed) {
    const auto kept = kept_.find(id);
    if (kept != kept_.end()) still.emplace(id, std::move(kept->second));
  }
  kept_ = std::move(still);
}

bool X11WindowFactsCache::Read(::Window window, X11WindowFacts* facts) {
  ++reads_;
  // Selected before the reads, so a change made after a read is told.
  if (watch_) XSelectInput(display_, window, kFactsEventMask);
  std::vector<unsigned long> values;
  // The first read tells whether the window is still there at all.
  if (!ReadLongs(display_, window, "_NET_WM_PID", XA_CARDINAL, &values, nullptr)) return false;
  // A process id names a process only on the machine the window says; a
  // window that names no machine is taken for one of this machine's.
  bool here = true;
  XTextProperty machine{};
  if (XGetWMClientMachine(display_, window, &machine) && machine.value != nullptr) {
    here = machine.encoding == XA_STRING && machine.format == 8 &&
           std::string(reinterpret_cast<const char*>(machine.value), machine.nitems) == host_;
    XFree(machine.value);
  }
  if (!values.empty() && here) facts->pid = static_cast<int>(values[0]);
  ::Window owner = 0;
  if (XGetTransientForHint(display_, window, &owner) && owner != DefaultRootWindow(display_)) facts->owner = owner;
  XClassHint hint{};
  if (XGetClassHint(display_, window, &hint)) {
    if (hint.res_class) facts->class_name.assign(hint.res_class, strnlen(hint.res_class, kMaxTitleBytes));
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  ReadLongs(display_, window, "_NET_WM_STATE", XA_ATOM, &values, nullptr);
  for (unsigned long state : values)
    if (state == XInternAtom(display_, "_NET_WM_STATE_HIDDEN", False)) facts->hidden = true;
  const Atom wm_state = XInternAtom(display_, "WM_STATE", False);
  ReadLongs(display_, window, "WM_STATE", wm_state, &values, nullptr);
  facts->iconic = !values.empty() && values[0] == IconicState;
  ReadLongs(display_, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, &values, nullptr);
  facts->kind = KindOf(values);
  facts->title = ReadX11WindowName(display_, window, kMaxTitleBytes);
  // A window destroyed during the reads has told so by now (its event came
  // before the last reply); what was read of it is not kept. Unwatched, a
  // last read tells whether it was still there.
  XEvent destroyed;
  if (watch_) return !XCheckTypedWindowEvent(display_, window, DestroyNotify, &destroyed);
  return ReadLongs(display_, window, "_NET_WM_PID", XA_CARDINAL, &values, nullptr);
}

// The first type the window names that this side knows decides.
ScreenWindowKind X11WindowFactsCache::KindOf(const std::vector<unsigned long>& types) {
  static const struct {
    const char* name;
    ScreenWindowKind kind;
  } kTypes[] = {
      {"_NET_WM_WINDOW_TYPE_NORMAL", ScreenWindowKind::kNormal},
      {"_NET_WM_WINDOW_TYPE_DIALOG", ScreenWindowKind::kNormal},
      {"_NET_WM_WINDOW_TYPE_UTILITY", ScreenWindowKind::kNormal},
      {"_NET_WM_WINDOW_TYPE_DESKTOP", ScreenWindowKind::kDesktop},
      {"_NET_WM_WINDOW_TYPE_DOCK", ScreenWindowKind::kDock},
      {"_NET_WM_WINDOW_TYPE_NOTIFICATION", ScreenWindowKind::kNotification},
      {"_NET_WM_WINDOW_TYPE_TOOLBAR", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_MENU", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_SPLASH", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_POPUP_MENU", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_TOOLTIP", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_COMBO", ScreenWindowKind::kPopup},
      {"_NET_WM_WINDOW_TYPE_DND", ScreenWindowKind::kPopup},
  };
  for (unsigned long type : types)
    for (const auto& known : kTypes)
      if (type == XInternAtom(display_, known.name, False)) return known.kind;
  return ScreenWindowKind::kNormal;
}

}  // namespace vz
