#include "video/devices/render/draw_factory.h"

#include "common/trace_client.h"
#include "video/devices/render/direct3d7_draw.h"
#include "video/devices/render/direct3d9ex_draw.h"
#include "video/devices/render/gdi_draw.h"

IVideoDraw* CreateDirect3D(IVideoWindowPort* window, IDrawHost* host) {
  VZ_LOG("Create Direct3D9Ex");
  if (IVideoDraw* draw = CreateDirect3D9ExDraw(window, host)) return draw;
  VZ_LOG("Create Direct3D9Ex failed.");
  return CreateDirect3D7Draw(window, host);
}

IVideoDraw* CreateDirect3D9ExDraw(IVideoWindowPort* window, IDrawHost* host) {
  VZ_LOG("Create GPU draw");
  auto* draw = new CDirect3D9ExDraw();
  if (!draw->Init(window, host)) {
    VZ_LOG_ERROR("the GPU draw could not be set up on its window");
    DestoryDraw(draw);
    return nullptr;
  }
  return draw;
}
IVideoDraw* CreateDirect3D7Draw(IVideoWindowPort* window, IDrawHost* host) {
  VZ_LOG("Create XRender draw");
  auto* draw = new CDirect3D7Draw();
  if (!draw->Init(window, host)) {
    VZ_LOG_ERROR("the XRender draw could not be set up on its window");
    DestoryDraw(draw);
    return nullptr;
  }
  return draw;
}
IVideoDraw* CreateGDIDraw(IVideoWindowPort* window, IDrawHost* host) {
  VZ_LOG("Create GDI draw");
  auto* draw = new CGDIDraw();
  if (!draw->Init(window, host)) {
    VZ_LOG_ERROR("the GDI draw could not be set up on its window");
    DestoryDraw(draw);
    return nullptr;
  }
  return draw;
}

void DestoryDraw(IVideoDraw* draw) {
  if (draw == nullptr) return;
  VZ_LOG("draw %p", static_cast<void*>(draw));
  draw->UnInit();
  delete draw;
}
