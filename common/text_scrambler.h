#pragma once
// The keyed hex-text scrambler. A scrambled text is lower-case hex digits:
// k (the key offset, 2 digits), a byte whose low two bits give n, n filler
// bytes, then each plain byte XOR the key character at (k + i) modulo the key
// length. It keeps stored passwords and the web page's package information
// from being plain text; it is not encryption.
#include <string>
#include <string_view>

namespace vz {

// The 992-character key shared by every producer and reader of scrambled texts.
std::string_view ScramblingKey();

// Scrambles the plain bytes up to the first zero byte. `limit` is the size of
// a buffer that would hold the text and its terminator: the text never holds
// more than limit - 1 digits. Returns the produced length plus 2, or 0 (with
// an empty text) when the limit cannot hold the header.
int ScrambleHexText(std::string_view plain, int limit, std::string* out);

// Descrambles at most `limit` bytes. Upper- and lower-case digits are read
// alike; a text shorter than its header gives nothing, and decoding stops at
// the end of the text, at a lone trailing digit or at the first character that
// is not hex. Returns the number of bytes decoded; a decoded zero byte is
// counted but not put into `out`.
int DescrambleHexText(std::string_view hex, int limit, std::string* out);

}  // namespace vz
