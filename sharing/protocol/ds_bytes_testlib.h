#pragma once
// Byte strings for the protocol tests: hex text into bytes, and the fixed
// header every golden message starts with.
#include <cctype>
#include <string>
#include <string_view>

#include "sharing/protocol/ds_sequence.h"

namespace ds_test {

// "50 0A" -> the two bytes 0x50 0x0A; spaces are ignored.
inline std::string Hex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    const int nibble = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
    if (high < 0) {
      high = nibble;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + nibble));
      high = -1;
    }
  }
  return bytes;
}

// The GUID every golden message is built with, and its sequence text.
inline bool FixedGuid(DsGuid* guid) {
  *guid = DsGuid{0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
  return true;
}
inline constexpr char kFixedSequence[] = "VZN0123456789ABcdef1032547698BADCFE";
inline constexpr char16_t kDsId[] = u"ds-7";

// type (field 20, one-byte varint), sequence (30, 35 bytes), ds_id (40).
inline std::string Header(unsigned char type) {
  return Hex("A0 01") + std::string(1, static_cast<char>(type)) + Hex("F2 01 23") + kFixedSequence +
         Hex("C2 02 04") + "ds-7";
}

// Golden payloads, computed by hand from the schema's field numbers (tag =
// number << 3 | wire type; 64-bit varints; negative values sign-extended to
// ten bytes). Each is the field of DsData that carries it, tag and length
// included.

// sharing_info (60): mode 1, shared rect (-1920, 0, 3840 x 1080), desktop 1,
// monitor 1 "Left" (-1920, 0, 1920 x 1080), 32 bpp, colour 0xFFFFFFFF
// (zero-extended: five bytes), monitor 2 "Écran" (0, 0, 1920 x 1080), 32 bpp,
// colour 0.
inline const std::string kSharingInfoField = Hex(
    "E2 03 71"
    "50 01"
    "A2 01 16 50 80 F1 FF FF FF FF FF FF FF 01 A0 01 00 F0 01 80 1E C0 02 B8 08"
    "F0 01 01"
    "C2 02 2C 50 01 A2 01 04 4C 65 66 74"
    "  F2 01 16 50 80 F1 FF FF FF FF FF FF FF 01 A0 01 00 F0 01 80 0F C0 02 B8 08"
    "  C0 02 20 90 03 FF FF FF FF 0F"
    "C2 02 21 50 02 A2 01 06 C3 89 63 72 61 6E"
    "  F2 01 0D 50 00 A0 01 00 F0 01 80 0F C0 02 B8 08"
    "  C0 02 20 90 03 00");

// caches (50), twice: index 21, PDU 7, one JPEG slot of 4 bytes; index 3,
// PDU 0xFFFFFFFF, a PNG slot of 4 bytes and a data slot (200) of 2 bytes.
inline const std::string kCachesFields = Hex(
    "92 03 14 50 15 A0 01 07 F2 01 0C 50 0A A0 01 04 F2 01 04 FF D8 FF D9"
    "92 03 26 50 03 A0 01 FF FF FF FF 0F"
    "  F2 01 0C 50 1E A0 01 04 F2 01 04 89 50 4E 47"
    "  F2 01 0B 50 C8 01 A0 01 02 F2 01 02 61 62");

// mouse_info (70): monitor 1, hot spot (3, 4), rect (-5, 10, 32 x 32), cache
// 2, cache PDU 11.
inline const std::string kMouseInfoField = Hex(
    "B2 04 27 50 01 A2 01 05 50 03 A0 01 04"
    "F2 01 14 50 FB FF FF FF FF FF FF FF FF 01 A0 01 0A F0 01 20 C0 02 20"
    "C0 02 02 90 03 0B");

// blocks (80): index 0, PDU 9, monitor 2, position 20304, cache 21, cache
// PDU 7, rect (384, 256, 128 x 128).
inline const std::string kBlockField = Hex(
    "82 05 25 50 00 A0 01 09 F0 01 02 C0 02 D0 9E 01 90 03 15 E0 03 07"
    "B2 04 0F 50 80 03 A0 01 80 02 F0 01 80 01 C0 02 80 01");

// blocks (80) of a cursor cache request: all 0 but cache 2, cache PDU 11 and
// rect (-5, 10, 32 x 32).
inline const std::string kCursorRequestField = Hex(
    "82 05 28 50 00 A0 01 00 F0 01 00 C0 02 00 90 03 02 E0 03 0B"
    "B2 04 14 50 FB FF FF FF FF FF FF FF FF 01 A0 01 0A F0 01 20 C0 02 20");

// command (90): type 100 from "alice" to "bob"; mouse 0x201 on monitor 1 at
// (-3, 7) (point is field 35), wparam 120; key 0x100 on monitor 1, lparam
// 0x001E0001, wparam 0x41; annotation 1 on monitor 1, colour 0xFF0000FF,
// weight 3, points (-1, 2) and (3, -4).
inline const std::string kCommandField = Hex(
    "D2 05 72"
    "50 64 A2 01 05 61 6C 69 63 65 F2 01 03 62 6F 62"
    "92 03 1A 50 81 04 A0 01 01 9A 02 0E 50 FD FF FF FF FF FF FF FF FF 01 A0 01 07 C0 02 78"
    "E2 03 0E 50 80 02 A0 01 01 F0 01 81 80 78 C0 02 41"
    "B2 04 31 50 01 A0 01 01 F0 01 FF 81 80 F8 0F C0 02 03"
    "  92 03 0E 50 FF FF FF FF FF FF FF FF FF 01 A0 01 02"
    "  92 03 0E 50 03 A0 01 FC FF FF FF FF FF FF FF FF 01");

}  // namespace ds_test
