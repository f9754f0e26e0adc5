#pragma once
// Window helpers of the client's UI: a message box with texts from the
// resource library, formatted control texts and whole-window transparency.
// UI thread only.
#include <cstdint>
#include <memory>

#include "uikit/vz_dialog.h"
#include "platform/ui/window.h"

// Message box buttons (the low bits of the flags).
inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr uint32_t MB_YESNO = 0x4;
// The icon (bits 4-7) and keeping the box above other windows.
inline constexpr uint32_t MB_ICONHAND = 0x10;
inline constexpr uint32_t MB_ICONQUESTION = 0x20;
inline constexpr uint32_t MB_ICONWARNING = 0x30;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr uint32_t MB_TOPMOST = 0x40000;

// A modal message box over the owner: the text (at most 255 units) and the
// caption (at most 127) are strings of the resource library; the icon bits
// draw a stop, question, warning or information sign left of the text, and
// MB_TOPMOST keeps the box above other windows. Returns the button's id
// (IDOK, IDCANCEL, IDYES, IDNO); IDCANCEL when it cannot be shown.
int ResourceMessageBox(vz::Window* owner, uint32_t text_id, uint32_t caption_id, uint32_t flags,
                       vz::WindowSystem* system = nullptr);
// The description a message box is built from (exposed for pictures and tests).
vzres::DialogDescription MessageBoxDescription(const std::u16string& text, const std::u16string& caption,
                                               uint32_t flags, vz::TextMeasurer& measurer);
// Where a message box of that description draws its icon (empty: none).
vz::Rect MessageBoxIconRect(uint32_t flags);
// The message box itself, not yet shown (ResourceMessageBox runs one; the
// pictures draw one).
std::unique_ptr<CVzDialog> MakeMessageBox(const std::u16string& text, const std::u16string& caption, uint32_t flags);

// Formats with the wide formatter (%s a wide text, %d an integer, ...) into
// at most 1,024 units and sets the control's text. False without the control.
bool SetDlgItemTextFormat(CVzDialog* dialog, uint32_t id, const char16_t* format, ...);

// Whole-window transparency: a non-zero alpha makes the window translucent
// with that constant alpha; 0 makes it opaque again. Returns 1 (0 without a window).
int SetLayeredWindowAttributesEx(vz::Window* window, uint8_t alpha);
