#pragma once
// The sharing tools' menus as the sharing UI shows them: the weight, shape
// and eraser menus of the annotation tool bar and the head of the panel's
// remote-control menu. Built here once, for the UI and for its pictures.
// UI thread only.
#include <cstdint>

#include "uikit/vz_popup_menu.h"

inline constexpr uint32_t kToolMenuBackground = 0x212121;

// Three line weights, drawn in the pen's colour (0x00BBGGRR).
void BuildWeightMenu(CDSMousePopupMenu& menu, uint32_t pen_colour);
// Line and arrow; the rectangles; the ellipses.
void BuildShapesMenu(CDSMousePopupMenu& menu);
// The eraser (checked while it is the tool, `tool` 3), then clearing mine or all.
void BuildEraserMenu(CDSMousePopupMenu& menu, int32_t tool);
// The stop item of the remote-control menu: enabled while someone controls
// (`tint` colours its image), else the greyed "nobody" item.
void BeginControlMenu(CDSMousePopupMenu& menu, bool someone_controls, uint32_t tint, uint32_t stop_id);
