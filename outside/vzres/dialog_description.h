#pragma once
// Dialog descriptions: the layout of a dialog as the window layer builds it,
// with the control ids the program addresses. Their text form, one dialog:
//
//   dialog <id> <width> <height> [style=<n>] [exstyle=<n>] [caption=<id>|caption="text"]
//   control <id> <class> <x> <y> <width> <height> [style=<n>] [text=<id>|text="text"]
//   end
//
// Numbers are decimal or 0x-hexadecimal; sizes and positions are pixels of
// the dialog's client area; style bits keep their Windows meanings. A text
// given by number is a string of the bundle. Quoted texts are UTF-8 and take
// the escapes \" \\ \n. Lines starting with '#' and blank lines are skipped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vzres {

struct DialogControl {
  uint32_t id = 0;
  std::string control_class;  // "BUTTON", "STATIC", "EDIT", "PROGRESS", ...
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t style = 0;
  uint32_t text_id = 0;  // 0: the literal text (possibly empty) applies
  std::string text;
};

struct DialogDescription {
  uint32_t id = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t style = 0;
  uint32_t ex_style = 0;
  uint32_t caption_id = 0;  // 0: the literal caption applies
  std::string caption;
  std::vector<DialogControl> controls;

  // The control with that id, or null.
  const DialogControl* FindControl(uint32_t control_id) const;
};

// Parses any number of dialogs. False on anything malformed, with `error`
// saying "line N: <what>"; `dialogs` then holds what was read before.
bool ParseDialogDescriptions(std::string_view text, std::vector<DialogDescription>* dialogs, std::string* error);

// The text form of one dialog; parsing it gives the same description.
std::string FormatDialogDescription(const DialogDescription& dialog);

}  // namespace vzres
