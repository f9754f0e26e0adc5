#include "video/engine/receive/listen_decoder.h"

#include <atomic>

namespace {
std::atomic<ListenDecoderMaker> g_maker{nullptr};
}  // namespace

ListenDecoderMaker SetListenDecoderMaker(ListenDecoderMaker maker) { return g_maker.exchange(maker); }

ListenDecoderMaker GetListenDecoderMaker() { return g_maker.load(); }
