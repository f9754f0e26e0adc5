#pragma once
// How a listen channel gets its decoder: through one replaceable maker, the
// H.264 SVC decoder wrapper unless a test installs another.
#include <memory>

#include "video/engine/receive/video_decoder.h"

using ListenDecoderMaker = std::unique_ptr<IVideoDecoder> (*)(IVideoDecoderSink* sink,
                                                              IVideoSampleAllocator* allocator);

// Installs the maker (null: the wrapper again) and returns the previous one.
// Set it before channels initialise.
ListenDecoderMaker SetListenDecoderMaker(ListenDecoderMaker maker);
// The maker in use (never null).
ListenDecoderMaker GetListenDecoderMaker();
