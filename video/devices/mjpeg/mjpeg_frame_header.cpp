#include "video/devices/mjpeg/mjpeg_frame_header.h"

#include "platform/big_endian.h"
#include "video/devices/mjpeg/huffman_lookup.h"
#include "video/devices/mjpeg/marker_search.h"
#include "video/devices/mjpeg/mjpeg_decoder.h"

namespace nsVZVP {

namespace {

constexpr uint8_t kSof0 = 0xC0;
constexpr uint8_t kDht = 0xC4;
constexpr uint8_t kDqt = 0xDB;
constexpr uint8_t kDri = 0xDD;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kApp0 = 0xE0;

// Frame headers of every coding process but baseline (0xC4, 0xC8 and 0xCC
// share the range and are not frame headers).
bool IsOtherFrameHeader(uint8_t code) {
  return code >= 0xC1 && code <= 0xCF && code != kDht && code != 0xC8 && code != 0xCC;
}

struct Walk {
  bool sof = false;
  bool sos = false;
  uint8_t precision = 0;
  uint8_t component_count = 0;
  uint8_t scan_count = 0;
  // A scan names up to four components (a CMYK frame's four): the form's
  // check, not the scan's, refuses such a frame.
  uint8_t scan_ids[4] = {};
  uint8_t scan_tables[4] = {};
  uint8_t spectral_start = 0;
  uint8_t spectral_end = 0;
  uint8_t approximation = 0;
};

int ReadFrameHeader(const uint8_t* seg, uint32_t size, MjpegFrameHeader* header, Walk* walk) {
  if (walk->sof || size < 6) return CMjpegDecoder::kBadData;
  walk->sof = true;
  walk->precision = seg[0];
  header->height = static_cast<int32_t>(vz::Load16(seg + 1));
  header->width = static_cast<int32_t>(vz::Load16(seg + 3));
  walk->component_count = seg[5];
  if (size < 6u + 3u * seg[5]) return CMjpegDecoder::kBadData;
  for (int i = 0; i < 3 && i < seg[5]; ++i) {
    const uint8_t* c = seg + 6 + 3 * i;
    header->components[i].id = c[0];
    header->components[i].h = c[1] >> 4;
    header->components[i].v = c[1] & 15;
    header->components[i].tq = c[2];
  }
  return CMjpegDecoder::kOk;
}

// One or more tables, each read within the segment.
int ReadHuffmanTables(const uint8_t* seg, uint32_t size, MjpegFrameHeader* header) {
  uint32_t at = 0;
  while (at < size) {
    if (size - at < 17) return CMjpegDecoder::kBadData;
    const uint8_t table_class = seg[at] >> 4;
    const uint8_t id = seg[at] & 15;
    if (table_class > 1 || id > 3) return CMjpegDecoder::kBadData;
    uint32_t total = 0;
    for (int i = 0; i < 16; ++i) total += seg[at + 1 + i];
    if (total > 256 || size - at - 17 < total) return CMjpegDecoder::kBadData;
    if (id <= 1) {
      MjpegHuffmanSpec& spec = table_class == 0 ? header->dc[id] : header->ac[id];
      spec.present = true;
      for (int i = 0; i < 16; ++i) spec.counts[i] = seg[at + 1 + i];
      spec.total = static_cast<uint16_t>(total);
      for (uint32_t i = 0; i < total; ++i) spec.symbols[i] = seg[at + 17 + i];
      HuffmanLookup check;
      if (!BuildHuffmanLookup(spec, &check)) return CMjpegDecoder::kBadData;
    }
    header->own_huffman = true;
    at += 17 + total;
  }
  return CMjpegDecoder::kOk;
}

// Table by table, each with its precision and id byte before its entries.
int ReadQuantTables(const uint8_t* seg, uint32_t size, MjpegFrameHeader* header) {
  uint32_t at = 0;
  while (at < size) {
    const uint8_t precision = seg[at] >> 4;
    const uint8_t id = seg[at] & 15;
    // 16-bit entries belong to 12-bit coding, never to a baseline frame.
    if (precision != 0 || id > 3 || size - at < 65) return CMjpegDecoder::kBadData;
    header->has_quant[id] = true;
    for (int i = 0; i < 64; ++i) header->quant[id][i] = seg[at + 1 + i];
    at += 65;
  }
  return CMjpegDecoder::kOk;
}

int ReadScanHeader(const uint8_t* seg, uint32_t size, Walk* walk) {
  if (size < 1 || seg[0] == 0 || seg[0] > 4 || size != 4u + 2u * seg[0]) return CMjpegDecoder::kBadData;
  walk->scan_count = seg[0];
  for (int i = 0; i < seg[0]; ++i) {
    walk->scan_ids[i] = seg[1 + 2 * i];
    walk->scan_tables[i] = seg[2 + 2 * i];
  }
  const uint8_t* tail = seg + 1 + 2 * seg[0];
  walk->spectral_start = tail[0];
  walk->spectral_end = tail[1];
  walk->approximation = tail[2];
  walk->sos = true;
  return CMjpegDecoder::kOk;
}

void ReadApp0(const uint8_t* seg, uint32_t size, MjpegFrameHeader* header) {
  if (size >= 5 && seg[0] == 'A' && seg[1] == 'V' && seg[2] == 'I' && seg[3] == '1' && seg[4] == 0) {
    header->avi1 = true;
  }
}

// The frame's checks, in the order their codes rank: form, size, then the
// scan and the tables it needs.
int CheckFrame(const Walk& walk, MjpegFrameHeader* header) {
  if (!walk.sof) return CMjpegDecoder::kBadData;
  if (walk.precision != 8 || walk.component_count != 3) return CMjpegDecoder::kBadForm;
  const MjpegComponent* c = header->components;
  if (c[1].h != 1 || c[1].v != 1 || c[2].h != 1 || c[2].v != 1 || c[0].h != 2) return CMjpegDecoder::kBadForm;
  if (c[0].v == 2) {
    header->chroma = MjpegChroma::k420;
  } else if (c[0].v == 1) {
    header->chroma = MjpegChroma::k422;
  } else {
    return CMjpegDecoder::kBadForm;
  }
  if (header->width <= 0 || header->height <= 0 || header->width % 8 != 0 || header->height % 8 != 0 ||
      header->width > CMjpegDecoder::kMaxDimension || header->height > CMjpegDecoder::kMaxDimension) {
    return CMjpegDecoder::kBadSize;
  }
  // One interleaved baseline scan of the three components in frame order.
  if (!walk.sos || walk.scan_count != 3 || walk.spectral_start != 0 || walk.spectral_end != 63 ||
      walk.approximation != 0) {
    return CMjpegDecoder::kBadData;
  }
  for (int i = 0; i < 3; ++i) {
    if (walk.scan_ids[i] != c[i].id) return CMjpegDecoder::kBadData;
    header->components[i].td = walk.scan_tables[i] >> 4;
    header->components[i].ta = walk.scan_tables[i] & 15;
    if (c[i].td > 1 || c[i].ta > 1) return CMjpegDecoder::kBadData;
    if (c[i].tq > 3 || !header->has_quant[c[i].tq]) return CMjpegDecoder::kBadData;
  }
  return CMjpegDecoder::kOk;
}

}  // namespace

int ParseMjpegFrameHeader(const uint8_t* data, uint32_t length, MjpegFrameHeader* header) {
  *header = MjpegFrameHeader();
  if (data == nullptr || length < 4) return CMjpegDecoder::kBadData;
  // Nothing counts before the start of image.
  uint32_t pos = 0;
  for (;;) {
    pos = FindMarkerByte(data, pos, length);
    if (pos + 1 >= length) return CMjpegDecoder::kBadData;
    if (data[pos + 1] == kSoi) break;
    ++pos;
  }
  pos += 2;
  Walk walk;
  while (!walk.sos) {
    pos = FindMarkerByte(data, pos, length);
    if (pos + 1 >= length) break;
    const uint8_t code = data[pos + 1];
    if (code == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= kSoi)) {  // no segment follows
      pos += 2;
      continue;
    }
    if (code == kEoi) break;
    if (length - pos < 4) return CMjpegDecoder::kBadData;
    const uint32_t segment_length = vz::Load16(data + pos + 2);
    if (segment_length < 2 || segment_length > length - pos - 2) return CMjpegDecoder::kBadData;
    const uint8_t* seg = data + pos + 4;
    const uint32_t size = segment_length - 2;
    int result = CMjpegDecoder::kOk;
    if (code == kSof0) {
      result = ReadFrameHeader(seg, size, header, &walk);
    } else if (IsOtherFrameHeader(code)) {
      result = CMjpegDecoder::kBadData;  // progressive, lossless, arithmetic: not a camera's baseline frame
    } else if (code == kDht) {
      result = ReadHuffmanTables(seg, size, header);
    } else if (code == kDqt) {
      result = ReadQuantTables(seg, size, header);
    } else if (code == kDri) {
      if (size != 2) return CMjpegDecoder::kBadData;
      header->restart_interval = vz::Load16(seg);
    } else if (code == kSos) {
      result = ReadScanHeader(seg, size, &walk);
      header->scan_offset = pos + 2 + segment_length;
    } else if (code == kApp0) {
      ReadApp0(seg, size, header);
    }
    if (result != CMjpegDecoder::kOk) return result;
    pos += 2 + segment_length;
  }
  return CheckFrame(walk, header);
}

}  // namespace nsVZVP
