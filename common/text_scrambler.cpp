// The keyed hex-text scrambler shared by VelzarHub's proxy store and
// vzbridge's package information.
#include "common/text_scrambler.h"

#include <cstdint>

namespace vz {
namespace {

// This project's own key: 992 printable ASCII characters. Every producer of
// scrambled texts for VelzarHub or vzbridge must use exactly this text.
constexpr char kScramblingKey[] =
    "f$,]-^B$l%qud{JXC.{~[f[ZQp5E:W!>E<>c>bMgB2g8w6o!#Rj*p&lj4xeemS"
    "hL.`@>!5*Y'&gN*n97bWhU>a;a3,=e|:h('lh871wHy3kt*8=Zd$wKfH=|[!1."
    "%p_K|v%7L{|r.%9iTC&(xzAal+cC+e;uI!.X''T&E)(]{WM6!!K-@'n>D^jGyU"
    ">#)Uf1jluE!G}bG#DB$Pp-`CMV0,8ueo,&s,7r~F>Yw#cAE!;T#ppX-p<f[WEw"
    "QaRtxHyrubIIZF!`x&wH+Q`|iTwKYaN6fr6pi&1B0.tm0IK^V/*O2,Z#Y>%aJi"
    "EiKhxueixn#g&tVsZUtSN[/aQTfR1q>-0MgCYG1l=+i{w[r(>{qW!r2gbD/j`I"
    "gy:2lKIcB_R8T2HHG!>NX~nWi[l;;!3Xb6`PoK*<k:s.n]|}eEH$4n1T.d<6NY"
    "~Y!jZ/iOXote49p]1}Om#v.ge~'|wDQ`/0N=/g:M10-;Qgc'FCW|rbu/%^pn:M"
    "q@hMfX;XJyND}}pji!Ep+=Gn`n-z0O[ku:'2(9m7c'Iyz}V$dLxs;x{!G5}W2L"
    "i.2)GBnZ1isf(_I|mE*Z3g<f'xEE$=+L{4>%vz{J@5nwehpzd{4#Q7GR841[d("
    "w[(-I5C-y!PzNo-CD`|r(-{td'23$ly1'#l4gAZI-md]}K|lRL2N3u1X[('MxL"
    "SCEy~[7$ti|I@TX!`v}FxR`+R7j<}y<Pz-8D=b1bOz/u]T_`3C8T`96r;!v7q7"
    "Zk&j:7TZ=X&q>DCF8~0Sq#5b!+2r_F(]#O55B$#r_mc4-L&x}5)Yp[4'He3e'y"
    "Keq[z6iYQcjd*QhhTm7#vcxPGI#[@ZmX>sc!VV|/pGy5dn)t4N~^wcz!%wPVx'"
    "lgcP.NChj/cNRLV%EbQ47czT7[!>;ja19T{zpT#9EjwED!lrdF$_bkDir#xs'D"
    "o@C~^$]<|Yn}DtY$Lo=lRX}T>0[=!P.mqA`%a+E(-Qp~0e&uv@;:Weu@j~R,7b";
static_assert(sizeof(kScramblingKey) - 1 == 992, "the scrambling key holds 992 characters");

// The generator the texts were designed with (seed 255 on every call), local
// so that no other user of the runtime's generator is disturbed.
class ScrambleGenerator {
 public:
  explicit ScrambleGenerator(uint32_t seed) : state_(seed) {}
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fff);
  }

 private:
  uint32_t state_;
};

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string* out, unsigned value) {
  out->push_back(kHexDigits[(value >> 4) & 0xf]);
  out->push_back(kHexDigits[value & 0xf]);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the two digits at `at`, or -1 when either is missing or not hex.
int HexPairAt(std::string_view text, size_t at) {
  if (at + 2 > text.size()) return -1;
  const int high = HexDigitValue(text[at]);
  const int low = HexDigitValue(text[at + 1]);
  if (high < 0 || low < 0) return -1;
  return high * 16 + low;
}

}  // namespace

std::string_view ScramblingKey() { return {kScramblingKey, sizeof(kScramblingKey) - 1}; }

int ScrambleHexText(std::string_view plain, int limit, std::string* out) {
  out->clear();
  const std::string_view key = ScramblingKey();
  ScrambleGenerator generator(255);
  const int r = generator.Next();
  size_t k = static_cast<size_t>(r & 255);
  const int n = r & 3;
  // The header (4 + 2n digits) and the terminator must fit the limit.
  if (limit < 4 + 2 * n + 1) return 0;
  AppendHexByte(out, static_cast<unsigned>(k));
  AppendHexByte(out, static_cast<unsigned>((generator.Next() & 252) + n));
  for (int i = 0; i < n; ++i) AppendHexByte(out, static_cast<unsigned>(generator.Next() & 0xff));
  int figure = 6 + 2 * n;
  for (const char c : plain) {
    if (c == '\0') break;  // the plain text ends at its first zero byte
    // Two more digits and the terminator must fit, whatever the figure says.
    if (static_cast<int>(out->size()) + 3 > limit) break;
    AppendHexByte(out, static_cast<unsigned char>(c) ^ static_cast<unsigned char>(key[k]));
    k = (k + 1 == key.size()) ? 0 : k + 1;
    figure += 2;
    if (figure > limit - 3) break;
  }
  return figure;
}

int DescrambleHexText(std::string_view hex, int limit, std::string* out) {
  out->clear();
  if (limit <= 0) return 0;
  const std::string_view key = ScramblingKey();
  const int k_value = HexPairAt(hex, 0);
  const int n_value = HexPairAt(hex, 2);
  if (k_value < 0 || n_value < 0) return 0;
  size_t k = static_cast<size_t>(k_value) % key.size();
  int count = 0;
  for (size_t at = 4 + 2 * static_cast<size_t>(n_value & 3);; at += 2) {
    const int pair = HexPairAt(hex, at);
    if (pair < 0) break;  // end of text, an odd digit or a character that is not hex
    const char c = static_cast<char>(pair ^ static_cast<unsigned char>(key[k]));
    if (c != '\0') out->push_back(c);  // a zero byte is counted but not kept
    ++count;
    if (count >= limit) break;
    k = (k + 1 == key.size()) ? 0 : k + 1;
  }
  return count;
}

}  // namespace vz
