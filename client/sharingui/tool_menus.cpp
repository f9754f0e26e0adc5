#include "client/sharingui/tool_menus.h"

#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"

using namespace vzres;

void BuildWeightMenu(CDSMousePopupMenu& menu, uint32_t pen_colour) {
  menu.SetBackgroundColor(kToolMenuBackground);
  menu.SetItemMetrics(28, 28, 1);
  const uint32_t tint = pen_colour & 0xFFFFFF;
  menu.AppendMenu(MF_STRING, 9550, u"", IDB_WEIGHT_THIN, 0, tint);
  menu.AppendMenu(MF_STRING, 9551, u"", IDB_WEIGHT_MEDIUM, 0, tint);
  menu.AppendMenu(MF_STRING, 9552, u"", IDB_WEIGHT_THICK, 0, tint);
}

void BuildShapesMenu(CDSMousePopupMenu& menu) {
  menu.SetBackgroundColor(kToolMenuBackground);
  menu.SetItemMetrics(28, 28, 1);
  menu.AppendMenu(MF_STRING, 9500, u"", IDB_SHAPE_LINE);
  menu.AppendMenu(MF_STRING, 9501, u"", IDB_SHAPE_ARROW);
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(MF_STRING, 9502, u"", IDB_SHAPE_RECTANGLE);
  menu.AppendMenu(MF_STRING, 9503, u"", IDB_SHAPE_TRANSLUCENT_RECTANGLE);
  menu.AppendMenu(MF_STRING, 9504, u"", IDB_SHAPE_FILLED_RECTANGLE);
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(MF_STRING, 9505, u"", IDB_SHAPE_ELLIPSE);
  menu.AppendMenu(MF_STRING, 9506, u"", IDB_SHAPE_TRANSLUCENT_ELLIPSE);
  menu.AppendMenu(MF_STRING, 9507, u"", IDB_SHAPE_FILLED_ELLIPSE);
}

void BuildEraserMenu(CDSMousePopupMenu& menu, int32_t tool) {
  menu.SetBackgroundColor(kToolMenuBackground);
  menu.SetItemMetrics(148, 28, 0);
  menu.AppendMenu(MF_STRING | (tool == 3 ? MF_CHECKED : 0), 9600, LoadResString(IDS_TOOL_ERASER).c_str());
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(MF_STRING, 9601, LoadResString(IDS_CLEAR_MINE).c_str());
  menu.AppendMenu(MF_STRING, 9602, LoadResString(IDS_CLEAR_ALL).c_str());
}

void BeginControlMenu(CDSMousePopupMenu& menu, bool someone_controls, uint32_t tint, uint32_t stop_id) {
  menu.SetBackgroundColor(kToolMenuBackground);
  if (someone_controls) {
    menu.AppendMenu(MF_STRING, stop_id, LoadResString(IDS_CONTROL_STOP).c_str(), IDB_CONTROL_ON, 0, tint);
  } else {
    menu.AppendMenu(MF_STRING | MF_GRAYED, stop_id, LoadResString(IDS_CONTROL_NOBODY).c_str(), IDB_CONTROL_OFF);
  }
}
