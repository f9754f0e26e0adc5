#pragma once
// A top-level window's name on X11, as managers and other programs read
// it: _NET_WM_NAME in UTF-8 for those of the desktop conventions, and
// WM_NAME for every manager, as ICCCM has it (Latin-1 where the text fits,
// compound text where it does not; some programs write UTF-8 there too).
// Callers hold the display's connection on their own thread.
#include <X11/Xlib.h>

#include <cstddef>
#include <string>

namespace vz {

// Writes both names of `window` from UTF-8 text. A text Xlib cannot put
// into WM_NAME at all leaves WM_NAME as the plain ASCII of it (logged).
void WriteX11WindowName(Display* display, ::Window window, const std::string& utf8);

// The window's name in UTF-8: _NET_WM_NAME, else WM_NAME read by its type
// (STRING as Latin-1, COMPOUND_TEXT through Xlib, UTF8_STRING as it
// stands); empty when it has none, or it is of another type. At most
// `max_bytes` of the property are read. Errors (a window that went) give
// an empty name; the caller traps them when it must.
std::string ReadX11WindowName(Display* display, ::Window window, size_t max_bytes);

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace vz
