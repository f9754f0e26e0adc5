#include "video/devices/ui/thumbs_pager.h"

#include <algorithm>

namespace vzpanel {

void CVzThumbsPager::addItem(ThumbTile* tile) {
  items_.push_back(tile);
  reissue();
}

void CVzThumbsPager::removeItem(ThumbTile* tile) {
  items_.erase(std::remove(items_.begin(), items_.end(), tile), items_.end());
  if (pinned_ == tile) pinned_ = nullptr;
}

void CVzThumbsPager::setPageSize(int size, ThumbTile* pinned) {
  if (size <= 0) return;
  page_size_ = size;
  pinned_ = pinned;
  reissue();
}

int CVzThumbsPager::pageCount() const {
  if (page_size_ <= 0) return 0;
  const int count = static_cast<int>(items_.size());
  return (count + page_size_ - 1) / page_size_;
}

bool CVzThumbsPager::isLastPage() const {
  if (pinned_ != nullptr) return false;
  const int pages = pageCount();
  return pages == 0 || current_ == pages - 1;
}

CVzThumbsPager::Page CVzThumbsPager::pageItems(int p) const {
  if (pinned_ != nullptr) return {pinned_};
  const int pages = pageCount();
  // With no pages the page is 0, not -1: the previous button must not show
  // on an empty strip.
  if (p < 1 || pages == 0) p = 0;
  if (pages > 0 && p >= pages) p = pages - 1;
  const int count = static_cast<int>(items_.size());
  int first = p * page_size_;
  if (p > 0 && first + page_size_ > count) first = std::max(0, count - page_size_);
  Page page;
  for (int i = first; i < count && i < first + page_size_; ++i) page.push_back(items_[static_cast<size_t>(i)]);
  return page;
}

void CVzThumbsPager::showPage(int p) {
  if (pinned_ == nullptr) {
    const int pages = pageCount();
    if (p < 1 || pages == 0) p = 0;
    if (pages > 0 && p >= pages) p = pages - 1;
    current_ = p;
  }
  const Page page = pageItems(current_);
  if (sink_) sink_(page);
}

}  // namespace vzpanel
