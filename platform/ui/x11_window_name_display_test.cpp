// A window's name as managers read it: _NET_WM_NAME in UTF-8, and WM_NAME
// as a manager without the desktop conventions (twm) reads it: Latin-1
// bytes where the text fits (never the UTF-8 bytes, which it would show as
// Latin-1), compound text where it does not; a name changed later is
// written the same way.
#include <gtest/gtest.h>
// After gtest: Xlib's None would clash with its own.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

#include "platform/run_loop.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_window_name.h"

namespace vz {
namespace {

class Blank : public WindowDelegate {
 public:
  void OnPaint(Canvas&) override {}
};

struct Property {
  Atom type = None;
  std::string bytes;
};

Property ReadProperty(Display* d, ::Window w, Atom name) {
  Property p;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, name, 0, 4096, False, AnyPropertyType, &p.type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    if (format == 8) p.bytes.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return p;
}

// The text of a compound-text property, decoded by Xlib as a manager does.
std::string DecodedCompoundText(Display* d, const Property& p) {
  XTextProperty text{};
  text.value = reinterpret_cast<unsigned char*>(const_cast<char*>(p.bytes.data()));
  text.encoding = p.type;
  text.format = 8;
  text.nitems = p.bytes.size();
  char** list = nullptr;
  int count = 0;
  std::string out;
  if (Xutf8TextPropertyToTextList(d, &text, &list, &count) >= Success && list != nullptr) {
    for (int i = 0; i < count; ++i) out += list[i];
    XFreeStringList(list);
  }
  return out;
}

TEST(X11WindowNameDisplayTest, NamesAreWrittenAsEachKindOfManagerReadsThem) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  Display* d = XOpenDisplay(env.display().c_str());
  ASSERT_NE(d, nullptr);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  const Atom compound = XInternAtom(d, "COMPOUND_TEXT", False);

  Blank blank;
  WindowParams params;
  params.bounds = Rect::FromXYWH(10, 10, 200, 100);
  params.title = "Was möchten Sie freigeben?";
  std::unique_ptr<Window> window = system->CreateWindow(params, &blank);
  ASSERT_TRUE(window);
  system->Sync();
  const auto id = static_cast<::Window>(window->NativeId());

  Property wm = ReadProperty(d, id, XA_WM_NAME);
  EXPECT_EQ(wm.type, XA_STRING);
  EXPECT_EQ(wm.bytes, "Was m\xF6" "chten Sie freigeben?");
  Property net = ReadProperty(d, id, XInternAtom(d, "_NET_WM_NAME", False));
  EXPECT_EQ(net.type, utf8);
  EXPECT_EQ(net.bytes, params.title);
  EXPECT_EQ(ReadX11WindowName(d, id, 4096), params.title);

  // Beyond Latin-1: compound text that decodes to the same text.
  const std::string wide = "Velzar Vidéo - Встреча 会议 M3001";
  window->SetTitle(wide);
  system->Sync();
  wm = ReadProperty(d, id, XA_WM_NAME);
  EXPECT_EQ(wm.type, compound);
  EXPECT_EQ(DecodedCompoundText(d, wm), wide);
  EXPECT_EQ(ReadProperty(d, id, XInternAtom(d, "_NET_WM_NAME", False)).bytes, wide);

  // Plain ASCII, and an empty name, as STRING.
  window->SetTitle("Meeting 123");
  system->Sync();
  wm = ReadProperty(d, id, XA_WM_NAME);
  EXPECT_EQ(wm.type, XA_STRING);
  EXPECT_EQ(wm.bytes, "Meeting 123");
  window->SetTitle("");
  system->Sync();
  EXPECT_EQ(ReadProperty(d, id, XA_WM_NAME).bytes, "");

  window.reset();
  XCloseDisplay(d);
}

TEST(X11WindowNameTest, Latin1BecomesUtf8) {
  EXPECT_EQ(Latin1ToUtf8("Caf\xE9"), "Café");
  EXPECT_EQ(Latin1ToUtf8(std::string("\x00\x7F\x80\xFF", 4)), std::string("\x00\x7F\xC2\x80\xC3\xBF", 6));
  EXPECT_EQ(Latin1ToUtf8(""), "");
}

}  // namespace
}  // namespace vz
