#pragma once
// The draw factory: the first-choice draw (the GPU draw, else the XRender
// draw), the software draw, and their destruction. Each maker logs its
// name, initialises the draw and gives null (logged) when that fails.
// Called under the renderer's lock; the GPU draw's window thread rules are
// the renderer's business.
#include <functional>

#include "video/devices/render/video_draw.h"

IVideoDraw* CreateDirect3D(IVideoWindowPort* window, IDrawHost* host);
IVideoDraw* CreateGDIDraw(IVideoWindowPort* window, IDrawHost* host);
// The GPU draw (OpenGL ES through EGL) and the XRender draw.
IVideoDraw* CreateDirect3D9ExDraw(IVideoWindowPort* window, IDrawHost* host);
IVideoDraw* CreateDirect3D7Draw(IVideoWindowPort* window, IDrawHost* host);
// Null is ignored.
void DestoryDraw(IVideoDraw* draw);

// The makers a renderer uses, replaceable by tests.
struct VideoDrawFactory {
  std::function<IVideoDraw*(IVideoWindowPort*, IDrawHost*)> create_first_choice = &CreateDirect3D;
  std::function<IVideoDraw*(IVideoWindowPort*, IDrawHost*)> create_software = &CreateGDIDraw;
  std::function<void(IVideoDraw*)> destroy = &DestoryDraw;
};
