#pragma once
// Which cameras the video library uses, chosen once per process:
// - the synthetic test camera, when selected (test_camera.h);
// - else an emulated camera, when VZ_VIDEO_EMULATED_CAMERA names one:
//   "mjpeg" (Motion-JPEG frames) or "yuyv" (raw frames), 640x360 at 15
//   frames a second showing the test camera's pattern, through the real
//   V4L2 backend over the in-process device emulation;
// - else the machine's V4L2 cameras, unless device makers were installed
//   before (by a test).
void ChooseCameraBackend();
