#pragma once
// The whole video road in one process on a fake clock: a synthetic camera
// into a send channel, an in-process transport that loses packets at a
// seeded rate, a second engine with a listen channel, the decoder, and a
// sink that counts pictures and compares them with what the camera showed.
// The receiver's RTCP (key-frame requests) goes back to the sender.
#include <cstdint>

struct LoopbackOptions {
  int frames = 300;
  double loss_percent = 0;
  uint32_t seed = 1;
  int width = 640;
  int height = 360;
  // Uplink reports given before the first picture (the loss the sender has
  // learnt by then).
  int settle_updates = 16;
};

struct LoopbackFigures {
  int frames_sent = 0;
  int frames_received = 0;  // pictures delivered
  int frames_lost = 0;      // sent, never delivered
  int lower_layer_pictures = 0;  // delivered below the full size (top layer lost)
  int64_t packets_sent = 0;
  int64_t fec_packets_sent = 0;
  int64_t packets_dropped = 0;  // by the lossy transport
  int64_t packets_recovered = 0;  // rebuilt by FEC
  int key_frame_requests = 0;
  int64_t late_units = 0;  // NAL units that arrived after their frame was decoded
  double psnr_db = 0;  // luma, mean over delivered pictures
  bool ok = false;     // everything could be set up
};

LoopbackFigures RunVideoLoopback(const LoopbackOptions& options);
