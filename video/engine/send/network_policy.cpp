#include "video/engine/send/network_policy.h"

#include "video/engine/send/vz_encode_controller.h"
#include "video/engine/send/vz_send_controller.h"

void CSimpleNetworkPolicy::Update(const UplinkStat& stat, CVzSendController* controller) {
  bandwidth_ = static_cast<uint32_t>(stat.bandwidth < 0 ? 0 : stat.bandwidth);
  status_ = stat.status;
  if (controller == nullptr) return;
  uint32_t rate = bandwidth_;
  controller->SetOption(1, &rate);
  uint32_t drop_p0 = (status_ == 2 || status_ == 4 || status_ == 8 || status_ == 64) ? 1 : 0;
  controller->SetOption(4, &drop_p0);
}
