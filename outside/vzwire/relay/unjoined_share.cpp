#include "outside/vzwire/relay/unjoined_share.h"

namespace vzrelay {

UnjoinedShare::UnjoinedShare(size_t max_unjoined, size_t max_total)
    : max_unjoined_(max_unjoined), max_total_(max_total) {}

bool UnjoinedShare::LeftTheShare(const UnjoinedShareConnection& connection) {
  return connection.Joined() || connection.Closing() || connection.Gone();
}

void UnjoinedShare::Count(UnjoinedShareConnection& connection) {
  if (connection.Gone()) return;
  ++open_;
  if (LeftTheShare(connection)) return;
  unjoined_.push_back(&connection);
  ++unjoined_count_;
}

void UnjoinedShare::Admit(UnjoinedShareConnection& newcomer, UnjoinedShareHost& host) {
  ++open_;
  if (LeftTheShare(newcomer)) return;
  unjoined_.push_back(&newcomer);
  ++unjoined_count_;
  while (unjoined_count_ > max_unjoined_ && !unjoined_.empty()) {
    UnjoinedShareConnection& oldest = *unjoined_.front();
    unjoined_.pop_front();
    // Its join may have come since it was counted (the newcomer's was read
    // as it came).
    if (!LeftTheShare(oldest) && &oldest != &newcomer) host.ReadWaiting(oldest);
    if (LeftTheShare(oldest)) {
      --unjoined_count_;
      continue;
    }
    if (oldest.PartialBytes() != 0) continue;  // its join is arriving: it stays
    host.CloseUnjoined(oldest, unjoined_count_);
    --unjoined_count_;
  }
}

}  // namespace vzrelay
