#include "video/engine/core/video_types.h"

#include "common/trace_client.h"

uint32_t GetColorSpace(int32_t video_type) {
  switch (video_type) {
    case 1: return 1;
    case 2: return 23;
    case 3: return 20;
    case 4: return 5;
    // YV12 has a code like every type the cropper and the decoder accept;
    // without it a YV12 picture could not be converted at all.
    case 5: return 24;
    case 6: return 0x80000001u;
    case 7: return 0x80000005u;
    case 8:
    case 10: return 2;
    case 9:
    case 11: return 6;
    case 12:
    case 14: return 0x80000002u;
    case 13:
    case 15: return 0x80000006u;
    default:
      VZ_LOG_ERROR("0");
      return kNoColorSpace;
  }
}

int32_t GetVideoType(uint32_t color_space) {
  switch (color_space) {
    case 1: return 1;
    case 2: return 8;
    case 5: return 4;
    case 6: return 9;
    case 7: return 11;
    case 8: return 10;
    case 20: return 3;
    case 23: return 2;
    case 24: return 5;
    case 0x80000001u: return 6;
    case 0x80000002u: return 12;
    case 0x80000005u: return 7;
    case 0x80000006u: return 13;
    case 0x80000007u: return 15;
    case 0x80000008u: return 14;
    default:
      VZ_LOG_ERROR("0");
      return 0;
  }
}
