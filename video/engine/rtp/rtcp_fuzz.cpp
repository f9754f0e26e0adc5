// Arbitrary compound RTCP through the walk, every reader and the channel.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "video/engine/rtp/rtcp_channel.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

namespace {

class NullSink : public IRtcpChannelSink {
 public:
  bool SendRtcp(const uint8_t*, int) override { return true; }
  void OnKeyFrameRequest(uint32_t) override {}
  void OnFeedback12(uint32_t, const vz::rtcp::Feedback12&) override {}
  void OnFeedback16(uint32_t, const vz::rtcp::Feedback16&) override {}
};

void ReadAll(const uint8_t* p, int n) {
  using namespace vz::rtcp;
  ReadType(p, n);
  ReadCount(p, n);
  uint32_t ssrc = 0;
  ReadSsrc(p, n, &ssrc);
  SenderInfo info;
  ReadSenderInfo(p, n, &info);
  ReportBlock blocks[31];
  if (ReadReportBlocks(p, n, blocks, 31) > 31) std::abort();
  const uint8_t* rest = nullptr;
  const int after = ReadDataAfterReports(p, n, &rest);
  if (after > 0 && (rest < p || rest + after > p + n)) std::abort();
  SdesChunk chunks[31];
  ReadSdesChunks(p, n, chunks, 31);
  uint32_t ssrcs[31];
  ReadByeSsrcs(p, n, ssrcs, 31);
  int subtype = 0, length = 0;
  char name[4];
  const uint8_t* app = nullptr;
  if (ReadApp(p, n, &subtype, name, &app, &length) && app + length > p + n) std::abort();
  int format = 0, fci_length = 0;
  uint32_t sender = 0, media = 0;
  const uint8_t* fci = nullptr;
  if (ReadFeedback(p, n, &format, &sender, &media, &fci, &fci_length) &&
      (fci_length < 0 || fci + fci_length > p + n)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const int n = static_cast<int>(size);
  vz::rtcp::WalkCompound(
      [data, size](const uint8_t* p, int length) {
        if (p < data || p + length > data + size) std::abort();
        ReadAll(p, length);
      },
      data, n);
  ReadAll(data, n);
  NullSink sink;
  IVseRtcpChannel* channel = nullptr;
  if (CreateRtcpChannel(&sink, &channel) != VSE_S_OK) std::abort();
  channel->Input(data, n, 1);
  channel->Release();
  return 0;
}
