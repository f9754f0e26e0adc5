// video_loopback [frames] [seed]: the video road in one process at 0, 5 and
// 20 % packet loss; prints what was sent, received, recovered and lost.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "video/engine/engine/video_loopback.h"

int main(int argc, char** argv) {
  LoopbackOptions options;
  if (argc > 1) options.frames = std::atoi(argv[1]);
  if (argc > 2) options.seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (options.frames <= 0) {
    std::fprintf(stderr, "usage: video_loopback [frames] [seed]\n");
    return 2;
  }
  int status = 0;
  for (double loss : {0.0, 5.0, 20.0}) {
    options.loss_percent = loss;
    const LoopbackFigures f = RunVideoLoopback(options);
    if (!f.ok) {
      std::fprintf(stderr, "loss %.0f %%: the road could not be set up\n", loss);
      status = 1;
      continue;
    }
    std::printf(
        "loss %4.1f %%: frames sent %d, received %d (%d below full size), lost %d; packets sent %lld (FEC %lld), dropped %lld, recovered by FEC "
        "%lld; late units %lld; key-frame requests %d; PSNR %.2f dB\n",
        loss, f.frames_sent, f.frames_received, f.lower_layer_pictures, f.frames_lost, static_cast<long long>(f.packets_sent), static_cast<long long>(f.fec_packets_sent),
        static_cast<long long>(f.packets_dropped), static_cast<long long>(f.packets_recovered), static_cast<long long>(f.late_units), f.key_frame_requests,
        f.psnr_db);
  }
  return status;
}
