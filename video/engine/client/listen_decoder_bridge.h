#pragma once
// The listen channels' decoder in the library: the H.264 SVC decoder
// wrapper (CVzH264SvcDecoder) behind the channel's decoder interface.
// Installed when the library loads.
#include "video/engine/receive/listen_decoder.h"

// Installs the maker; returns the previous one.
ListenDecoderMaker InstallSvcListenDecoder();
