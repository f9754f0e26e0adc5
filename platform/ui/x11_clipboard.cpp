// The clipboard on X11: our text offered as its owner, another owner's
// asked for as UTF-8, with a time limit on its answer.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

#include "platform/platform_log.h"
#include "platform/ui/x11_system.h"

namespace vz {

namespace {

constexpr uintptr_t kClipboardTimer = 1;
constexpr uint32_t kClipboardTimeoutMs = 2000;

}  // namespace

void X11System::RequestClipboardText(std::function<void(std::string)> done) {
  if (clipboard_done_) FinishClipboardRequest("");  // one request at a time
  const Atom clipboard = atom("CLIPBOARD");
  const ::Window owner = XGetSelectionOwner(display_, clipboard);
  if (owner == None) {
    core_.loop().Post([done = std::move(done)] { done(""); });
    DrainSoon();
    return;
  }
  if (owner == utility_) {
    core_.loop().Post([done = std::move(done), text = clipboard_text_] { done(text); });
    return;
  }
  clipboard_done_ = std::move(done);
  XConvertSelection(display_, clipboard, atom("UTF8_STRING"), atom("VZ_CLIPBOARD"), utility_, CurrentTime);
  Flush();
  // An owner that never answers must not leave the paste hanging.
  core_.loop().StartTimer(this, kClipboardTimer, kClipboardTimeoutMs, [this] {
    PlatformLog("window layer: the clipboard owner did not answer");
    FinishClipboardRequest("");
  });
}

void X11System::FinishClipboardRequest(std::string text) {
  core_.loop().KillTimer(this, kClipboardTimer);
  std::function<void(std::string)> done = std::move(clipboard_done_);
  clipboard_done_ = nullptr;
  if (done) done(std::move(text));
}

void X11System::SetClipboardText(const std::string& utf8) {
  clipboard_text_ = utf8;
  XSetSelectionOwner(display_, atom("CLIPBOARD"), utility_, CurrentTime);
  Flush();
}

void X11System::AnswerSelectionRequest(const XSelectionRequestEvent& request) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  reply.property = None;
  if (request.target == atom("TARGETS")) {
    Atom targets[] = {atom("UTF8_STRING"), XA_STRING, atom("TARGETS")};
    XChangeProperty(display_, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(targets), 3);
    reply.property = request.property;
  } else if (request.target == atom("UTF8_STRING") || request.target == XA_STRING) {
    XChangeProperty(display_, request.requestor, request.property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(clipboard_text_.data()),
                    static_cast<int>(clipboard_text_.size()));
    reply.property = request.property;
  }
  XSendEvent(display_, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
  Flush();
}

void X11System::OnSelectionNotify(const XSelectionEvent& event) {
  if (event.requestor != utility_ || !clipboard_done_) return;
  std::string text;
  if (event.property != None) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, utility_, event.property, 0, 1 << 16, True, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
      if (format == 8) text.assign(reinterpret_cast<const char*>(data), count);
      XFree(data);
    }
  }
  FinishClipboardRequest(std::move(text));
}

}  // namespace vz
