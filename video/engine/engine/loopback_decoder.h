#pragma once
// A plain decoder for the loopback program: the outside codec's decoder,
// loaded by name, its I420 pictures copied into samples of the allocator.
// A decode that reports lost references or parameter sets asks for a key
// frame. Threads: one caller at a time.
#include "video/engine/receive/listen_decoder.h"

// Installs itself as the listen channels' decoder maker; returns the
// previous maker.
ListenDecoderMaker InstallLoopbackDecoder();
