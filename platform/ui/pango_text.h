#pragma once
// Pango set-up shared by the canvas and the measurer: the same font
// description and font options, so measured and drawn text agree.
#include <pango/pangocairo.h>

#include <string_view>

#include "platform/ui/canvas.h"

namespace vz {

// Sets the text, the font and fixed rendering options (grey anti-aliasing,
// no hinting) on the layout, so text renders alike on every machine.
void ConfigureLayout(PangoLayout* layout, std::string_view utf8, const Font& font);

}  // namespace vz
