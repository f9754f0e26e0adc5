#pragma once
// The thumbnail strip's pager: cuts the tiles, in the order they came, into
// pages of `page size` tiles and hands the chosen page to its sink. The last
// page is back-filled (it repeats tiles of the page before so it is full);
// a pinned tile, while set, is the only one shown. Window-free; the strip
// owns the tiles, the pager only points at them. UI thread only.
#include <functional>
#include <vector>

namespace vzpanel {

struct ThumbTile;

class CVzThumbsPager {
 public:
  using Page = std::vector<ThumbTile*>;
  // Receives every page chosen (the list is the pager's to free).
  using Sink = std::function<void(const Page&)>;

  explicit CVzThumbsPager(Sink sink) : sink_(std::move(sink)) {}

  // Appends (a duplicate is the caller's to avoid) and re-issues the page.
  void addItem(ThumbTile* tile);
  // Takes the tile out (clearing the pin when it was pinned); re-issues nothing.
  void removeItem(ThumbTile* tile);
  // Ignored when size <= 0; else stores both and re-issues the current page.
  void setPageSize(int size, ThumbTile* pinned);
  void nextPage() { showPage(current_ + 1); }
  void prevPage() { showPage(current_ - 1); }
  void reissue() { showPage(current_); }

  // 0 while the page size is 0, else the tile count divided by the page
  // size, rounded up.
  int pageCount() const;
  bool isFirstPage() const { return pinned_ == nullptr && current_ == 0; }
  bool isLastPage() const;
  int currentPageForTesting() const { return current_; }
  int pageSizeForTesting() const { return page_size_; }
  ThumbTile* pinnedForTesting() const { return pinned_; }
  const std::vector<ThumbTile*>& items() const { return items_; }

  // The tiles of page p (clamped into the pages; with no pages, page 0).
  Page pageItems(int p) const;

 private:
  void showPage(int p);

  Sink sink_;
  int page_size_ = 0;
  int current_ = 0;
  std::vector<ThumbTile*> items_;
  ThumbTile* pinned_ = nullptr;
};

}  // namespace vzpanel
