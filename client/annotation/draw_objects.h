#pragma once
// The annotation drawing model: the live elements in drawing order (index 0
// drawn first), the element the local pointer is drawing, and one undo and
// redo history for each participant, keyed by narrow roster id. It has no
// window: every operation that changes what is visible returns the area to
// repaint (the all-zero rectangle when nothing changed).
//
// Limits: a participant holds at most kMaxElementsPerRoster live elements
// of kMaxPointsPerRoster points and kMaxInkPerRoster ink in all, and adds
// ink (new elements, and elements put back by undo and redo) no faster than
// kInkPerSecond once kMaxInkPerRoster is spent; an element past one of
// these is refused with a log line (budgeted). A history keeps at most
// kMaxUndoRecords records of kMaxUndoPoints points in all (the oldest are
// dropped). So one peer cannot grow memory or paint time without bound, nor
// make the overlay paint again and again by taking its elements away and
// putting them back. The local participant (setLocalRoster) draws with its
// own hand and is not limited: its undo of a clear puts back everything. A
// peer's strokes are kept as the overlay draws them (SimplifyStroke), so
// points that draw nothing spend none of that budget.
//
// UI thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/annotation/draw_element.h"
#include "common/log_budget.h"
#include "common/vz_array.h"
#include "common/vz_object.h"
#include "platform/clock.h"

// Undo actions.
inline constexpr int32_t ADDED = 1;
inline constexpr int32_t REMOVED = 2;
inline constexpr int32_t UPDATE = 3;

class CDrawObjects;

class CDrawRosterUndo : public CVZObject {
 public:
  static constexpr int32_t kMaxUndoRecords = 20000;
  // Twenty participants at their point limit: the local participant's undo
  // of a clear of a busy meeting still puts everything back (3.2 MB).
  static constexpr int64_t kMaxUndoPoints = 400000;

  explicit CDrawRosterUndo(const std::string& roster_id) : rosterId(roster_id) {}
  ~CDrawRosterUndo() override;

  // Records a copy of the element with the action and group; drops the redo
  // tail first. An action other than ADDED, REMOVED or UPDATE is refused
  // with a log line.
  void pushUndoObject(const CDrawElement& element, int32_t action, int32_t group);
  // One new group for the whole list, recorded in list order.
  void pushUndoObjects(const std::vector<const CDrawElement*>& list, int32_t action);
  // Step the history and apply the records to `objects`.
  void undo(CDrawObjects& objects);
  void redo(CDrawObjects& objects);

  int32_t recordCountForTesting() const { return records.GetCount(); }
  // The points of all records.
  int64_t pointsHeld() const;
  const CDrawElement* record(int32_t index) const { return static_cast<const CDrawElement*>(records.GetAt(index)); }

  CVzArrayBase records;  // owned CDrawElement copies, oldest first
  int32_t position = 0;  // records below it are done
  std::string rosterId;
};

class CDrawObjects : public CVZObject {
 public:
  static constexpr int32_t kMaxElementsPerRoster = 5000;
  // A busy hour of drawing by hand (a stroke is some hundreds of points).
  static constexpr int64_t kMaxPointsPerRoster = 20000;
  // The pixels a participant's pens and fills may cover in all
  // (element_ink.h): four screens of 1920x1080, more than the point limit
  // lets a hand-held pen cover, and what bounds the time one participant's
  // elements take to paint again at once (about 0.1 s, docs/sharing.md).
  static constexpr int64_t kMaxInkPerRoster = 4LL * 1920 * 1080;
  // A screen's worth every 10 s: a hand-held pen covers a few thousand
  // pixels a second.
  static constexpr int64_t kInkPerSecond = 1920 * 1080 / 10;

  // `clock` paces the participants' ink.
  explicit CDrawObjects(const vz::Clock& clock = vz::SystemClock());
  // The local participant's roster id: its elements are not limited.
  void setLocalRoster(const std::string& rosterId) { localRoster_ = rosterId; }
  ~CDrawObjects() override;

  // An element from another participant's command: codes 8/9 stroke
  // (unfilled/filled, simplified), 10/12 rectangle, 13/15 ellipse. Other
  // codes, an empty point list, rectangles or ellipses with fewer than two
  // points, and an element past the participant's limits create nothing.
  vz::Rect createElement(int32_t code, const std::vector<vz::Point>& points, uint32_t color, int32_t weight,
                         const std::string& rosterId);
  // Ends any element in progress and starts one for a local tool (4, 5
  // stroke; 6 line; 7 arrow; 10 to 12 rectangle; 13 to 15 ellipse) at (x, y).
  vz::Rect beginElement(int32_t x, int32_t y, uint32_t color, int32_t weight, int32_t tool,
                        const std::string& rosterId);
  // The element in progress, or null. Callers ask again on every move: a
  // removal or clear may have ended it.
  CDrawElement* current() const { return current_; }
  // Extends the element in progress; all-zero without one.
  vz::Rect addPointToCurrent(vz::Point point);
  // Commits the element in progress as one undo step.
  void endElement();

  vz::Rect eraseElementAt(int32_t x, int32_t y, const std::string& rosterId);
  vz::Rect eraseRosterElementAt(int32_t x, int32_t y, const std::string& rosterId);
  void removeRosterElements(const std::string& rosterId);
  void removeAllElements(const std::string& rosterId);
  void undo(const std::string& rosterId);
  void redo(const std::string& rosterId);

  CDrawRosterUndo& getRosterUndo(const std::string& rosterId);
  const CDrawRosterUndo* findRosterUndoForTesting(const std::string& rosterId) const;
  void pushUndo(const CDrawElement& element, int32_t action);
  void pushUndoList(const std::vector<const CDrawElement*>& list, int32_t action);
  // The two steps that undo and redo apply; a copy past its participant's
  // limits is not put back (logged).
  vz::Rect addElementCopy(const CDrawElement& record);
  vz::Rect removeElementById(const CDrawElement& record);

  // The area of every element put into or taken out of the list since the
  // last call (undo, redo and removals return no damage of their own);
  // all-zero when the list did not change.
  vz::Rect takeDamage() {
    const vz::Rect damage = damage_;
    damage_ = {};
    return damage;
  }

  int32_t count() const { return elements_.GetCount(); }
  const CDrawElement* at(int32_t index) const { return static_cast<const CDrawElement*>(elements_.GetAt(index)); }

 private:
  CDrawElement* element(int32_t index) const { return static_cast<CDrawElement*>(elements_.GetAt(index)); }
  // Appends an owned element; false (and the element deleted) when the
  // array refuses it.
  bool append(std::unique_ptr<CDrawElement> element);
  // Takes the element at the index out and deletes it, forgetting it as the
  // element in progress.
  void destroyAt(int32_t index);
  // False, logged (budgeted), when the live elements of the element's
  // participant and the element would pass one of the participant's limits.
  // Spends the element's ink from its participant's allowance when true.
  bool hasRoomFor(const CDrawElement& added);

  CVzArrayBase elements_;
  vz::Rect damage_;
  std::map<std::string, std::unique_ptr<CDrawRosterUndo>> undoByRoster_;
  CDrawElement* current_ = nullptr;
  vz::LogBudget refusalLog_;
  const vz::Clock& clock_;
  std::string localRoster_;
  struct InkAllowance {
    int64_t ink = kMaxInkPerRoster;  // what may be added now
    uint64_t atMs = 0;               // when it was last earned
  };
  std::map<std::string, InkAllowance> inkAllowance_;  // participants who drew
};
