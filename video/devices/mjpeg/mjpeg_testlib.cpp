#include "video/devices/mjpeg/mjpeg_testlib.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/big_endian.h"

namespace nsVZVP::mjpeg_testing {

namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

std::vector<uint8_t> EncodeFrame(const EncodeOptions& options) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  const bool grey = options.form == Form::kGrey;
  const bool cmyk = options.form == Form::kCmyk;
  const J_COLOR_SPACE space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_YCbCr;
  cinfo.image_width = static_cast<JDIMENSION>(options.width);
  cinfo.image_height = static_cast<JDIMENSION>(options.height);
  cinfo.input_components = grey ? 1 : cmyk ? 4 : 3;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, space);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (!grey && !cmyk) {
    cinfo.comp_info[0].h_samp_factor = options.form == Form::k444 ? 1 : 2;
    cinfo.comp_info[0].v_samp_factor = options.form == Form::k420 ? 2 : 1;
  }
  cinfo.optimize_coding = options.optimize_tables ? TRUE : FALSE;
  cinfo.restart_interval = static_cast<unsigned int>(options.restart_interval);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(options.width) * cinfo.input_components);
  uint32_t noise = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < options.width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const int grain = static_cast<int>((noise >> 16) & 31) - 16;
      const int stripes = ((x + y) / 7) % 2 ? 40 : -40;
      const int box = (x / 64 + y / 48) % 3 == 0 ? 60 : 0;
      uint8_t* px = row.data() + static_cast<size_t>(x) * cinfo.input_components;
      px[0] = Clamp(40 + (x * 160) / options.width + stripes + box + grain);
      if (!grey) {
        px[1] = Clamp(128 + (y * 100) / options.height - 50 + grain / 2);
        px[2] = Clamp(90 + ((x ^ y) & 63) + box / 2);
      }
      if (cmyk) px[3] = Clamp(20 + box);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> frame(out, out + out_size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return frame;
}

long FindMarker(const std::vector<uint8_t>& frame, uint8_t code) {
  size_t pos = 2;
  while (pos + 4 <= frame.size() && frame[pos] == 0xFF) {
    if (frame[pos + 1] == code) return static_cast<long>(pos);
    if (frame[pos + 1] == 0xDA) break;
    pos += 2 + vz::Load16(&frame[pos + 2]);
  }
  return -1;
}

std::vector<uint8_t> StripSegments(const std::vector<uint8_t>& frame, uint8_t code) {
  std::vector<uint8_t> out = frame;
  for (long at = FindMarker(out, code); at >= 0; at = FindMarker(out, code)) {
    const size_t length = 2 + vz::Load16(&out[at + 2]);
    out.erase(out.begin() + at, out.begin() + at + static_cast<long>(length));
  }
  return out;
}

std::vector<uint8_t> MergeQuantSegments(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> tables;
  std::vector<uint8_t> rest = frame;
  long first = FindMarker(rest, 0xDB);
  for (long at = first; at >= 0; at = FindMarker(rest, 0xDB)) {
    const size_t length = 2 + vz::Load16(&rest[at + 2]);
    tables.insert(tables.end(), rest.begin() + at + 4, rest.begin() + at + static_cast<long>(length));
    rest.erase(rest.begin() + at, rest.begin() + at + static_cast<long>(length));
  }
  std::vector<uint8_t> segment = {0xFF, 0xDB, 0, 0};
  vz::Store16(&segment[2], static_cast<uint16_t>(tables.size() + 2));
  segment.insert(segment.end(), tables.begin(), tables.end());
  rest.insert(rest.begin() + first, segment.begin(), segment.end());
  return rest;
}

std::vector<uint8_t> InsertSegment(const std::vector<uint8_t>& frame, uint8_t before,
                                   const std::vector<uint8_t>& segment) {
  std::vector<uint8_t> out = frame;
  const long at = FindMarker(out, before);
  if (at >= 0) out.insert(out.begin() + at, segment.begin(), segment.end());
  return out;
}

std::vector<uint8_t> ReferenceI420(const std::vector<uint8_t>& frame, int width, int height, Form form) {
  tjhandle handle = tjInitDecompress();
  const int subsamp = form == Form::k420 ? TJSAMP_420 : TJSAMP_422;
  std::vector<uint8_t> planes[3];
  unsigned char* pointers[3];
  for (int c = 0; c < 3; ++c) {
    planes[c].resize(static_cast<size_t>(tjPlaneWidth(c, width, subsamp)) * tjPlaneHeight(c, height, subsamp));
    pointers[c] = planes[c].data();
  }
  const int result = tjDecompressToYUVPlanes(handle, frame.data(), frame.size(), pointers, width, nullptr, height, 0);
  tjDestroy(handle);
  if (result != 0) return {};
  std::vector<uint8_t> i420(planes[0]);
  const int cw = width / 2;
  for (int c = 1; c < 3; ++c) {
    if (form == Form::k420) {
      i420.insert(i420.end(), planes[c].begin(), planes[c].end());
      continue;
    }
    for (int y = 0; y < height / 2; ++y) {
      for (int x = 0; x < cw; ++x) {
        const int a = planes[c][static_cast<size_t>(2 * y) * cw + x];
        const int b = planes[c][static_cast<size_t>(2 * y + 1) * cw + x];
        i420.push_back(static_cast<uint8_t>((a + b + 1) / 2));
      }
    }
  }
  return i420;
}

Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Difference d;
  if (a.size() != b.size() || a.empty()) return {256, 256};
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int diff = std::abs(a[i] - b[i]);
    if (diff > d.max) d.max = diff;
    total += diff;
  }
  d.mean = total / static_cast<double>(a.size());
  return d;
}

}  // namespace nsVZVP::mjpeg_testing
