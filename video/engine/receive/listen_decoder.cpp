#include "video/engine/receive/listen_decoder.h"

#include <atomic>

#include "video/engine/receive/vz_h264_svc_decoder.h"

namespace {
std::atomic<ListenDecoderMaker> g_maker{nullptr};
}  // namespace

ListenDecoderMaker SetListenDecoderMaker(ListenDecoderMaker maker) {
  const ListenDecoderMaker previous = g_maker.exchange(maker);
  return previous ? previous : &CreateH264SvcDecoder;
}

ListenDecoderMaker GetListenDecoderMaker() {
  const ListenDecoderMaker maker = g_maker.load();
  return maker ? maker : &CreateH264SvcDecoder;
}
