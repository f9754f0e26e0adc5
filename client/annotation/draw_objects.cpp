#include "client/annotation/draw_objects.h"

#include "client/annotation/annotation_tools.h"
#include "common/trace_client.h"

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
  // The oldest records go when the history is full.
  while (records.GetCount() > kMaxUndoRecords) {
    delete static_cast<CDrawElement*>(records.GetAt(0));
    records.RemoveAt(0);
  }
  position = records.GetCount();
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
  element.release();
  return true;
}

void CDrawObjects::destroyAt(int32_t index) {
  CDrawElement* gone = element(index);
  if (gone == nullptr) return;
  elements_.RemoveAt(index);
  if (gone == current_) current_ = nullptr;
  delete gone;
}

bool CDrawObjects::hasRoomFor(const std::string& rosterId) const {
  int32_t n = 0;
  for (int32_t i = 0; i < count(); ++i) n += at(i)->rosterId == rosterId ? 1 : 0;
  if (n < kMaxElementsPerRoster) return true;
  VZ_LOG_ERROR("roster [%s] has %d elements: element refused", rosterId.c_str(), kMaxElementsPerRoster);
  return false;
}

vz::Rect CDrawObjects::createElement(int32_t code, const std::vector<vz::Point>& points, uint32_t color,
                                     int32_t weight, const std::string& rosterId) {
  std::unique_ptr<CDrawElement> made;
  switch (code) {
    case kElementStroke:
    case kElementFilledStroke:
      if (points.empty()) return {};
      made = std::make_unique<CDrawPoints>(points, color, weight, code == kElementFilledStroke, rosterId);
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
  if (!hasRoomFor(rosterId)) return {};
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
  if (!hasRoomFor(rosterId)) return {};
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
  for (const auto& e : taken) list.push_back(e.get());
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
  for (const auto& e : taken) list.push_back(e.get());
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
