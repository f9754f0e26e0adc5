#include "client/annotation/draw_objects.h"

#include <algorithm>

#include "client/annotation/annotation_tools.h"
#include "client/annotation/element_ink.h"
#include "client/annotation/stroke_simplify.h"
#include "common/trace_client.h"

namespace {

// Refused elements come from peers as fast as they send: their lines are
// budgeted (20 at once, then one every 15 s).
constexpr uint32_t kRefusalLogBurst = 20;
constexpr uint64_t kRefusalLogRefillMs = 15000;

}  // namespace

CDrawRosterUndo::~CDrawRosterUndo() {
  for (int32_t i = records.GetCount() - 1; i >= 0; --i) delete static_cast<CDrawElement*>(records.GetAt(i));
  records.RemoveAll();
}

void CDrawRosterUndo::pushUndoObject(const CDrawElement& element, int32_t action, int32_t group) {
  if (action != ADDED && action != REMOVED && action != UPDATE) {
    VZ_LOG_ERROR("Undo only support ADDED/REMOVED/UPDATE!");
    return;
  }
  // The redo tail goes, newest first.
  for (int32_t i = records.GetCount() - 1; i >= position; --i) {
    delete static_cast<CDrawElement*>(records.GetAt(i));
    records.RemoveAt(i);
  }
  std::unique_ptr<CDrawElement> copy = element.clone();
  copy->undoAction = action;
  copy->undoGroup = group;
  if (!records.Append(copy.get())) {
    VZ_LOG_ERROR("roster [%s]: undo record not stored", rosterId.c_str());
    position = records.GetCount();
    return;
  }
  copy.release();
  if (const int32_t last = records.GetCount() - 1; last > 0) {
    const CDrawElement& before = *record(last - 1);
    static_cast<CDrawElement*>(records.GetAt(last))->undoPointsBefore =
        before.undoPointsBefore + static_cast<int64_t>(before.points.size());
  }
  // The oldest records go when the history is full.
  while (records.GetCount() > kMaxUndoRecords || (records.GetCount() > 1 && pointsHeld() > kMaxUndoPoints)) {
    delete static_cast<CDrawElement*>(records.GetAt(0));
    records.RemoveAt(0);
  }
  position = records.GetCount();
}

int64_t CDrawRosterUndo::pointsHeld() const {
  const int32_t n = records.GetCount();
  if (n == 0) return 0;
  const CDrawElement& last = *record(n - 1);
  return last.undoPointsBefore + static_cast<int64_t>(last.points.size()) - record(0)->undoPointsBefore;
}

void CDrawRosterUndo::pushUndoObjects(const std::vector<const CDrawElement*>& list, int32_t action) {
  const int32_t group = vzannotation::TakeDrawSerial();
  for (const CDrawElement* element : list) pushUndoObject(*element, action, group);
}

void CDrawRosterUndo::undo(CDrawObjects& objects) {
  if (position < 1 || position > records.GetCount()) return;
  for (;;) {
    --position;
    const CDrawElement& rec = *record(position);
    if (rec.undoAction == ADDED) {
      objects.removeElementById(rec);
    } else if (rec.undoAction == REMOVED) {
      objects.addElementCopy(rec);
    }
    if (position < 1 || record(position - 1)->undoGroup != rec.undoGroup) break;
  }
}

void CDrawRosterUndo::redo(CDrawObjects& objects) {
  if (position >= records.GetCount() || position < 0) return;
  for (;;) {
    const CDrawElement& rec = *record(position);
    if (rec.undoAction == ADDED) {
      objects.addElementCopy(rec);
    } else if (rec.undoAction == REMOVED) {
      objects.removeElementById(rec);
    }
    ++position;
    if (position >= records.GetCount() || record(position)->undoGroup != rec.undoGroup) break;
  }
}

// ---------------------------------------------------------------------------

CDrawObjects::CDrawObjects(const vz::Clock& clock)
    : refusalLog_(kRefusalLogBurst, kRefusalLogRefillMs), clock_(clock) {}

CDrawObjects::~CDrawObjects() {
  current_ = nullptr;
  for (int32_t i = elements_.GetCount() - 1; i >= 0; --i) delete element(i);
  elements_.RemoveAll();
  undoByRoster_.clear();
}

bool CDrawObjects::append(std::unique_ptr<CDrawElement> element) {
  if (!elements_.Append(element.get())) {
    VZ_LOG_ERROR("element [%d] not stored", element->elementId);
    return false;
  }
  damage_ = damage_.Union(element.release()->getBounds());
  return true;
}

void CDrawObjects::destroyAt(int32_t index) {
  CDrawElement* gone = element(index);
  if (gone == nullptr) return;
  elements_.RemoveAt(index);
  if (gone == current_) current_ = nullptr;
  damage_ = damage_.Union(gone->getBounds());
  delete gone;
}

bool CDrawObjects::hasRoomFor(const CDrawElement& added) {
  const std::string& rosterId = added.rosterId;
  if (!localRoster_.empty() && rosterId == localRoster_) return true;
  int32_t n = 0;
  int64_t points = 0;
  int64_t ink = 0;
  for (int32_t i = 0; i < count(); ++i) {
    const CDrawElement& e = *at(i);
    if (e.rosterId != rosterId) continue;
    ++n;
    points += static_cast<int64_t>(e.points.size());
    // Saturated near the limit: elements of the local participant that an
    // eraser handed over may be larger.
    ink = std::min(ink, kMaxInkPerRoster) + std::min(vzannotation::InkOf(e), kMaxInkPerRoster);
  }
  // An element just begun has no points yet: it needs room for one.
  const int64_t more_points = std::max<int64_t>(1, static_cast<int64_t>(added.points.size()));
  const int64_t more_ink = std::max<int64_t>(1, vzannotation::InkOf(added));
  const uint64_t now = clock_.NowMs();
  InkAllowance& allowance = inkAllowance_[rosterId];
  if (now < allowance.atMs) allowance.atMs = now;  // a clock that went back earns nothing
  const uint64_t earned_ms = std::min<uint64_t>(now - allowance.atMs, 1000 * kMaxInkPerRoster / kInkPerSecond);
  allowance.ink = std::min(kMaxInkPerRoster, allowance.ink + static_cast<int64_t>(earned_ms) * kInkPerSecond / 1000);
  allowance.atMs = now;
  const char* limit = nullptr;
  if (n >= kMaxElementsPerRoster) {
    limit = "elements";
  } else if (more_points > kMaxPointsPerRoster - points) {
    limit = "points";
  } else if (more_ink > kMaxInkPerRoster - ink) {
    limit = "ink";
  } else if (more_ink > allowance.ink) {
    limit = "ink added lately";
  }
  if (limit == nullptr) {
    allowance.ink -= more_ink;
    return true;
  }
  if (refusalLog_.Take(now)) {
    VZ_LOG_ERROR("roster [%s] has %d elements of %lld points and %lld ink, may add %lld ink now; one of %lld "
                 "points and %lld ink is past its %s: element refused%s",
                 rosterId.c_str(), n, static_cast<long long>(points), static_cast<long long>(ink),
                 static_cast<long long>(allowance.ink), static_cast<long long>(more_points),
                 static_cast<long long>(more_ink), limit, refusalLog_.LeftOutNote().c_str());
  }
  return false;
}

vz::Rect CDrawObjects::createElement(int32_t code, const std::vector<vz::Point>& points, uint32_t color,
                                     int32_t weight, const std::string& rosterId) {
  std::unique_ptr<CDrawElement> made;
  switch (code) {
    case kElementStroke:
    case kElementFilledStroke:
      if (points.empty()) return {};
      made = std::make_unique<CDrawPoints>(vzannotation::SimplifyStroke(points), color, weight,
                                           code == kElementFilledStroke, rosterId);
      break;
    case kToolRectangle:
    case kToolFilledRectangle:
      if (points.size() < 2) return {};
      made = std::make_unique<CDrawRectangle>(points, color, weight, code == kToolFilledRectangle, rosterId);
      break;
    case kToolEllipse:
    case kToolFilledEllipse:
      if (points.size() < 2) return {};
      made = std::make_unique<CDrawEllipse>(points, color, weight, code == kToolFilledEllipse, rosterId);
      break;
    default:
      return {};
  }
  if (!hasRoomFor(*made)) return {};
  const vz::Rect bounds = made->getBounds();
  const CDrawElement* kept = made.get();
  if (!append(std::move(made))) return {};
  pushUndo(*kept, ADDED);
  return bounds;
}

vz::Rect CDrawObjects::beginElement(int32_t x, int32_t y, uint32_t color, int32_t weight, int32_t tool,
                                    const std::string& rosterId) {
  endElement();
  const std::vector<vz::Point> none;
  std::unique_ptr<CDrawElement> made;
  switch (tool) {
    case kToolPen:
    case kToolHighlighter:
      made = std::make_unique<CDrawPoints>(none, color, weight, false, rosterId);
      break;
    case kToolLine:
      made = std::make_unique<CDrawLine>(none, color, weight, false, rosterId);
      break;
    case kToolArrow:
      made = std::make_unique<CDrawArrow>(none, color, 1, true, rosterId);
      break;
    case kToolRectangle:
    case kToolTranslucentRectangle:
    case kToolFilledRectangle:
      made = std::make_unique<CDrawRectangle>(none, color, weight, tool != kToolRectangle, rosterId);
      break;
    case kToolEllipse:
    case kToolTranslucentEllipse:
    case kToolFilledEllipse:
      made = std::make_unique<CDrawEllipse>(none, color, weight, tool != kToolEllipse, rosterId);
      break;
    default:
      return {};
  }
  if (!hasRoomFor(*made)) return {};
  CDrawElement* started = made.get();
  if (!append(std::move(made))) return {};
  current_ = started;
  return current_->addPoint({x, y});
}

vz::Rect CDrawObjects::addPointToCurrent(vz::Point point) {
  if (current_ == nullptr) return {};
  return current_->addPoint(point);
}

void CDrawObjects::endElement() {
  if (current_ == nullptr) return;
  // Every path that deletes an element forgets it as current, so a current
  // element is always still in the list.
  if (elements_.Find(current_) >= 0) pushUndo(*current_, ADDED);
  current_ = nullptr;
}

vz::Rect CDrawObjects::eraseRosterElementAt(int32_t x, int32_t y, const std::string& rosterId) {
  for (int32_t i = 0; i < count(); ++i) {
    CDrawElement* e = element(i);
    if (e->rosterId != rosterId || !e->hitTest({x, y})) continue;
    const vz::Rect bounds = e->getBounds();
    pushUndo(*e, REMOVED);
    destroyAt(i);
    return bounds;
  }
  return {};
}

vz::Rect CDrawObjects::eraseElementAt(int32_t x, int32_t y, const std::string& rosterId) {
  for (int32_t i = 0; i < count(); ++i) {
    CDrawElement* e = element(i);
    if (!e->hitTest({x, y})) continue;
    const vz::Rect bounds = e->getBounds();
    // The eraser owns what it erased: only it can undo the erasure.
    e->rosterId = rosterId;
    pushUndo(*e, REMOVED);
    destroyAt(i);
    return bounds;
  }
  return {};
}

void CDrawObjects::removeRosterElements(const std::string& rosterId) {
  std::vector<std::unique_ptr<CDrawElement>> taken;
  for (int32_t i = count() - 1; i >= 0; --i) {
    CDrawElement* e = element(i);
    if (e->rosterId != rosterId) continue;
    elements_.RemoveAt(i);
    if (e == current_) current_ = nullptr;
    taken.emplace_back(e);
  }
  if (taken.empty()) return;
  std::vector<const CDrawElement*> list;
  for (const auto& e : taken) {
    list.push_back(e.get());
    damage_ = damage_.Union(e->getBounds());
  }
  pushUndoList(list, REMOVED);
}

void CDrawObjects::removeAllElements(const std::string& rosterId) {
  std::vector<std::unique_ptr<CDrawElement>> taken;
  for (int32_t i = count() - 1; i >= 0; --i) {
    CDrawElement* e = element(i);
    e->rosterId = rosterId;
    taken.emplace_back(e);
  }
  elements_.RemoveAll();
  current_ = nullptr;
  if (taken.empty()) return;
  std::vector<const CDrawElement*> list;
  for (const auto& e : taken) {
    list.push_back(e.get());
    damage_ = damage_.Union(e->getBounds());
  }
  pushUndoList(list, REMOVED);
}

void CDrawObjects::undo(const std::string& rosterId) { getRosterUndo(rosterId).undo(*this); }
void CDrawObjects::redo(const std::string& rosterId) { getRosterUndo(rosterId).redo(*this); }

CDrawRosterUndo& CDrawObjects::getRosterUndo(const std::string& rosterId) {
  std::unique_ptr<CDrawRosterUndo>& slot = undoByRoster_[rosterId];
  if (!slot) slot = std::make_unique<CDrawRosterUndo>(rosterId);
  return *slot;
}

const CDrawRosterUndo* CDrawObjects::findRosterUndoForTesting(const std::string& rosterId) const {
  auto it = undoByRoster_.find(rosterId);
  return it == undoByRoster_.end() ? nullptr : it->second.get();
}

void CDrawObjects::pushUndo(const CDrawElement& element, int32_t action) {
  getRosterUndo(element.rosterId).pushUndoObject(element, action, vzannotation::TakeDrawSerial());
}

void CDrawObjects::pushUndoList(const std::vector<const CDrawElement*>& list, int32_t action) {
  if (list.empty()) return;
  getRosterUndo(list.front()->rosterId).pushUndoObjects(list, action);
}

vz::Rect CDrawObjects::addElementCopy(const CDrawElement& record) {
  // What a participant took away and put back may not pass its limits.
  if (!hasRoomFor(record)) return {};
  std::unique_ptr<CDrawElement> copy = record.clone();
  const vz::Rect bounds = copy->getBounds();
  if (!append(std::move(copy))) return {};
  return bounds;
}

vz::Rect CDrawObjects::removeElementById(const CDrawElement& record) {
  for (int32_t i = 0; i < count(); ++i) {
    if (at(i)->elementId != record.elementId) continue;
    const vz::Rect bounds = at(i)->getBounds();
    destroyAt(i);
    return bounds;
  }
  return {};
}
