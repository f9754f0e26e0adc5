#pragma once
// What a grab of a video panel window shows of the sender's picture in its
// large view: the test pattern's frame counter read from it and its PSNR
// against the pattern. The grab goes through the screen (the renderer's
// RGB, turned back into studio-range luma) and the large view is a few
// pixels off the camera's size, so the picture is compared at half size:
// both the grabbed rectangle and the pattern are box-scaled to half the
// camera's width and height. The strip and the overlay buttons lie over
// parts of the large view; only the picture's upper left part, which
// neither covers, is compared.
#include <cstdint>

#include "platform/ui/image.h"
#include "platform/ui/ui_types.h"

struct PanelPictureReading {
  bool found = false;   // a counter was read
  int64_t counter = -1;
  double psnr = 0;      // dB, at half size over the compared part
  vz::Rect picture;     // where in the grab the picture was found
};

// The panel's large view in its client area (the main view fills it): it
// keeps its 642:362 shape, centred.
vz::Rect PanelLargeViewRect(vz::Size client);

// Where the panel's large view puts a `source` picture when the panel's
// client area is `client` (the main view fills it): the large view keeps
// its 642:362 shape, centred; its container lies one pixel inside it; the
// picture keeps its own shape, centred in the container.
vz::Rect PanelLargePictureRect(vz::Size client, vz::Size source);

// Reads the picture near `expected` (a few pixels either way, the best
// match kept). Not found when the grab is too small or no counter reads.
PanelPictureReading ReadPanelPicture(const vz::Image& grab, const vz::Rect& expected, vz::Size source);

// Where the strip puts the picture of tile `index` of `tiles` (one row
// under the large view's bottom middle, each cell a 160:90 picture fitted
// into a ninth of the large view's area, plus its name line; the picture
// one pixel inside its cell). Empty when the cells would be too small.
vz::Rect PanelStripPictureRect(vz::Size client, int tiles, int index);

// Reads the test pattern near `expected` at a quarter of `source`'s size
// (a tile is small and scaled twice on its way). Not found when no counter
// reads from it.
PanelPictureReading ReadStripTile(const vz::Image& grab, const vz::Rect& expected, vz::Size source);
