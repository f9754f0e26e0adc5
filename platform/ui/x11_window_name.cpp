#include "platform/ui/x11_window_name.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/platform_log.h"
#include "platform/text.h"

namespace vz {

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (unsigned char c : latin1) AppendUtf8(out, c);
  return out;
}

void WriteX11WindowName(Display* display, ::Window window, const std::string& utf8) {
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  // Xlib picks the type: STRING when every character is Latin-1, else
  // compound text. Characters it cannot convert become its default one.
  char* list[] = {const_cast<char*>(utf8.c_str())};
  XTextProperty text{};
  const int result = Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &text);
  if (result >= Success && text.value != nullptr) {
    XSetWMName(display, window, &text);
    XFree(text.value);
    return;
  }
  if (text.value != nullptr) XFree(text.value);
  PlatformLog("window layer: the name \"%s\" cannot be written as WM_NAME (%d): written as ASCII", utf8.c_str(),
              result);
  std::string ascii;
  for (char c : utf8) ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
  XStoreName(display, window, ascii.c_str());
}

std::string ReadX11WindowName(Display* display, ::Window window, size_t max_bytes) {
  const long longs = static_cast<long>((max_bytes + 3) / 4);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, longs, False, utf8, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr && type == utf8 && format == 8) {
    name.assign(reinterpret_cast<const char*>(data), std::min<size_t>(count, max_bytes));
  }
  if (data != nullptr) XFree(data);
  if (!name.empty()) return name;
  data = nullptr;
  if (XGetWindowProperty(display, window, XA_WM_NAME, 0, longs, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success ||
      data == nullptr) {
    return name;
  }
  const std::string bytes(reinterpret_cast<const char*>(data), format == 8 ? std::min<size_t>(count, max_bytes) : 0);
  if (format == 8 && type == XA_STRING) {
    name = Latin1ToUtf8(bytes);
  } else if (format == 8 && type == utf8) {
    name = bytes;
  } else if (format == 8 && type == XInternAtom(display, "COMPOUND_TEXT", False)) {
    XTextProperty text{};
    text.value = data;
    text.encoding = type;
    text.format = 8;
    text.nitems = bytes.size();
    char** list = nullptr;
    int items = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &items) >= Success && list != nullptr) {
      for (int i = 0; i < items; ++i) name += list[i];
      XFreeStringList(list);
    }
  }
  XFree(data);
  return name;
}

}  // namespace vz
