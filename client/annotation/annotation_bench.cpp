// The overlay's hot paths: an eraser step walks every element's hit test,
// and every pointer move that changes something repaints the whole overlay.
// The peer of the paint is the canvas stroking the same paths, prepared in
// advance, with nothing of the model around it; no outside library does
// the hit test, so it is measured alone (steps per second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "client/annotation/annotation_layer.h"
#include "client/annotation/annotation_painter.h"
#include "client/annotation/draw_objects.h"
#include "platform/ui/canvas.h"

namespace {

// Strokes of `points` points wandering over a 1920x1080 screen in steps of
// up to `step` pixels, each of its own participant's unless `one_roster`.
void Fill(CDrawObjects& objects, int strokes, int points, int step = 4, int32_t weight = 5, bool one_roster = false) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int s = 0; s < strokes; ++s) {
    std::vector<vz::Point> path;
    vz::Point p{static_cast<int>(next() % 1900), static_cast<int>(next() % 1060)};
    for (int i = 0; i < points; ++i) {
      p.x = std::clamp(p.x + static_cast<int>(next() % (2 * step + 1)) - step, 0, 1919);
      p.y = std::clamp(p.y + static_cast<int>(next() % (2 * step + 1)) - step, 0, 1079);
      path.push_back(p);
    }
    objects.createElement(8, path, 0xFF0000FF, weight, one_roster ? "peer" : "peer" + std::to_string(s));
  }
}

void BM_EraserStep_1000Strokes500Points(benchmark::State& state) {
  CDrawObjects objects;
  Fill(objects, 1000, 500);
  // A point no stroke comes near: every element is tested, none removed.
  for (auto _ : state) benchmark::DoNotOptimize(objects.eraseElementAt(-100, -100, "me"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EraserStep_1000Strokes500Points)->Unit(benchmark::kMicrosecond);

void BM_PaintOverlay_1920x1080(benchmark::State& state) {
  CDrawObjects objects;
  Fill(objects, static_cast<int>(state.range(0)), 200);
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  for (auto _ : state) {
    PaintAnnotationElements(*canvas, objects);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_PaintOverlay_1920x1080)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// One pointer move's repaint: the damage of a new stroke segment (a 40x40
// area) over 100 strokes.
void BM_PaintMoveDamage_100Strokes(benchmark::State& state) {
  CDrawObjects objects;
  Fill(objects, 100, 200);
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  for (auto _ : state) {
    canvas->Save();
    canvas->ClipRect(vz::Rect::FromXYWH(940, 520, 40, 40));
    PaintAnnotationElements(*canvas, objects);
    canvas->Restore();
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_PaintMoveDamage_100Strokes)->Unit(benchmark::kMicrosecond);

// The peer: the same strokes as ready paths, cleared and stroked.
void BM_PeerCanvasStrokes_1920x1080(benchmark::State& state) {
  CDrawObjects objects;
  Fill(objects, static_cast<int>(state.range(0)), 200);
  std::vector<vz::Path> paths(static_cast<size_t>(objects.count()));
  for (int32_t i = 0; i < objects.count(); ++i) {
    const auto& points = objects.at(i)->points;
    paths[static_cast<size_t>(i)].MoveTo(points[0].x - 0.5, points[0].y - 0.5);
    for (const vz::Point& p : points) paths[static_cast<size_t>(i)].LineTo(p.x + 0.5, p.y + 0.5);
  }
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  vz::Pen pen;
  pen.color = 0xFFFF0000;
  pen.width = 5;
  pen.join = vz::LineJoin::kRound;
  for (auto _ : state) {
    canvas->ClearRect({0, 0, 1920, 1080}, 0);
    for (const vz::Path& path : paths) canvas->StrokePath(path, pen);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_PeerCanvasStrokes_1920x1080)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// A peer's flood: strokes of 10,000 points, weight 100, wandering over the
// screen in steps of up to 64 pixels, as the model took them before it
// limited a participant (here they are the local participant's, whom no
// limit holds). Painted whole, as every repaint of the overlay did before
// its painted elements were kept.
void BM_PaintPeerFlood_Whole(benchmark::State& state) {
  CDrawObjects objects;
  objects.setLocalRoster("peer");
  Fill(objects, static_cast<int>(state.range(0)), 10000, 64, 100, true);
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  for (auto _ : state) {
    PaintAnnotationElements(*canvas, objects);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_PaintPeerFlood_Whole)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

// The same with the kept layer: a repaint of the whole window once the
// layer holds the elements.
void BM_PaintPeerFlood_KeptLayer(benchmark::State& state) {
  CDrawObjects objects;
  objects.setLocalRoster("peer");
  Fill(objects, static_cast<int>(state.range(0)), 10000, 64, 100, true);
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  CAnnotationLayer layer;
  layer.Paint(*canvas, objects);
  for (auto _ : state) {
    layer.Paint(*canvas, objects);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_PaintPeerFlood_KeptLayer)->Arg(20)->Unit(benchmark::kMillisecond);

// What the flood's stroke costs the presenter now: read into the model,
// simplified, its ink counted, and refused (one such stroke is past a
// participant's ink alone).
void BM_PeerFloodStrokeRefused(benchmark::State& state) {
  CDrawObjects objects;
  CDrawObjects source;
  source.setLocalRoster("peer");
  Fill(source, 1, 10000, 64, 100, true);
  const std::vector<vz::Point> stroke = source.at(0)->points;
  for (auto _ : state) benchmark::DoNotOptimize(objects.createElement(8, stroke, 0xFF0000FF, 100, "peer"));
  state.counters["shown"] = objects.count();
}
BENCHMARK(BM_PeerFloodStrokeRefused)->Unit(benchmark::kMicrosecond);

// The most one participant can make the overlay paint again at once, after
// an undo or a removal under its elements: all it may show, sent as strokes
// of 100 points of the pen weight range(0) wandering in steps of up to
// range(1) pixels, until the model refuses them.
void BM_PaintOneParticipantAtItsLimit(benchmark::State& state) {
  CDrawObjects objects;
  const int32_t weight = static_cast<int32_t>(state.range(0));
  const int step = static_cast<int>(state.range(1));
  for (int before = -1; before != objects.count();) {
    before = objects.count();
    Fill(objects, 1, 100, step, weight, true);
  }
  vz::Image image(1920, 1080);
  auto canvas = vz::CreateImageCanvas(image);
  for (auto _ : state) {
    PaintAnnotationElements(*canvas, objects);
    benchmark::DoNotOptimize(image.data());
  }
  double points = 0;
  for (int32_t i = 0; i < objects.count(); ++i) points += static_cast<double>(objects.at(i)->points.size());
  state.counters["points"] = points;
}
BENCHMARK(BM_PaintOneParticipantAtItsLimit)
    ->Args({2, 4})
    ->Args({11, 4})
    ->Args({100, 4})
    ->Args({100, 64})
    ->Args({100, 1000})
    ->Args({30, 64})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
