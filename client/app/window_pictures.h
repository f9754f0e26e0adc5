#pragma once
// Pictures of the program's windows without a desktop: each window is made
// on the headless window system, in the language asked for, and its pixels
// are returned (with a plain frame and title bar drawn around dialogs, so a
// picture shows the title too). For people checking the windows and texts.
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/image.h"

// The names RenderWindowPicture knows: "connecting", "proxy", "proxy-filled",
// "menu", "message-box", and "dialog-<id>" for any dialog description.
std::vector<std::string> WindowPictureNames();

// The picture of a window by name in a language ("en", "de", "fr" or a
// language id); nothing, logged, for an unknown name or when the resource
// bundle lacks the window. The resource library must be open.
std::optional<vz::Image> RenderWindowPicture(const std::string& name, const std::string& language);
