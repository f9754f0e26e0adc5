#include "video/engine/rtp/reed_solomon_codec.h"

#include <algorithm>
#include <cstring>

#include "video/engine/rtp/gf256.h"
#include "video/engine/rtp/gf256_kernels.h"

using namespace vz::rtp;

namespace {

// The inverse of the k x k Vandermonde matrix A[r][c] = p[r]^c, in O(k^2):
// with P(x) = prod (x - p_j), column r of the inverse holds the coefficients
// of P(x) / (x - p_r) divided by that quotient's value at p_r.
void InvertVandermonde(const uint8_t* points, int k, uint8_t* inverse) {
  const Gf256Tables& gf = Gf256();
  if (k == 1) {
    inverse[0] = 1;
    return;
  }
  std::vector<uint8_t> c(static_cast<size_t>(k) + 1, 0);  // P's coefficients, c[k] = 1
  c[0] = 1;
  int degree = 0;
  for (int j = 0; j < k; ++j) {
    // Multiply by (x + p_j) (minus is plus in this field).
    for (int i = degree + 1; i >= 1; --i) c[i] = c[i - 1] ^ gf.mul[points[j]][c[i]];
    c[0] = gf.mul[points[j]][c[0]];
    ++degree;
  }
  std::vector<uint8_t> b(static_cast<size_t>(k));
  for (int r = 0; r < k; ++r) {
    const uint8_t x = points[r];
    b[k - 1] = c[k];
    for (int i = k - 2; i >= 0; --i) b[i] = c[i + 1] ^ gf.mul[x][b[i + 1]];
    uint8_t t = 0;  // b(x) by Horner
    for (int i = k - 1; i >= 0; --i) t = gf.mul[t][x] ^ b[i];
    const uint8_t inv_t = gf.Inverse(t);
    for (int i = 0; i < k; ++i) inverse[i * k + r] = gf.mul[b[i]][inv_t];
  }
}

// Gauss-Jordan inversion of a k x k matrix in place; false when singular.
bool InvertMatrix(uint8_t* m, int k) {
  const Gf256Tables& gf = Gf256();
  std::vector<uint8_t> inv(static_cast<size_t>(k) * k, 0);
  for (int i = 0; i < k; ++i) inv[i * k + i] = 1;
  for (int col = 0; col < k; ++col) {
    int pivot = col;
    while (pivot < k && m[pivot * k + col] == 0) ++pivot;
    if (pivot == k) return false;
    if (pivot != col) {
      std::swap_ranges(m + pivot * k, m + pivot * k + k, m + col * k);
      std::swap_ranges(inv.begin() + pivot * k, inv.begin() + pivot * k + k, inv.begin() + col * k);
    }
    const uint8_t scale = gf.Inverse(m[col * k + col]);
    for (int j = 0; j < k; ++j) {
      m[col * k + j] = gf.mul[scale][m[col * k + j]];
      inv[col * k + j] = gf.mul[scale][inv[col * k + j]];
    }
    for (int row = 0; row < k; ++row) {
      const uint8_t f = m[row * k + col];
      if (row == col || f == 0) continue;
      GfMulAdd(m + row * k, m + col * k, f, static_cast<size_t>(k));
      GfMulAdd(inv.data() + row * k, inv.data() + col * k, f, static_cast<size_t>(k));
    }
  }
  std::memcpy(m, inv.data(), inv.size());
  return true;
}

}  // namespace

CReedSolomonCodec::CReedSolomonCodec(int k, int n)
    : k_(k), n_(n), matrix_(static_cast<size_t>(n) * k, 0) {}

std::unique_ptr<CReedSolomonCodec> CReedSolomonCodec::Create(int k, int n) {
  if (k < 1 || n > kMaxPackets || k > n) return nullptr;
  const Gf256Tables& gf = Gf256();
  std::unique_ptr<CReedSolomonCodec> codec(new CReedSolomonCodec(k, n));
  // V's points: x_0 = 0, x_r = 2^(r-1).
  std::vector<uint8_t> points(static_cast<size_t>(n));
  points[0] = 0;
  for (int r = 1; r < n; ++r) points[r] = gf.exp[r - 1];
  std::vector<uint8_t> top_inverse(static_cast<size_t>(k) * k);
  InvertVandermonde(points.data(), k, top_inverse.data());
  uint8_t* g = codec->matrix_.data();
  for (int r = 0; r < k; ++r) g[r * k + r] = 1;
  std::vector<uint8_t> powers(static_cast<size_t>(k));
  for (int r = k; r < n; ++r) {
    // powers[i] = x_r^i (x_r is never 0 here).
    powers[0] = 1;
    for (int i = 1; i < k; ++i) powers[i] = gf.mul[powers[i - 1]][points[r]];
    for (int c = 0; c < k; ++c) {
      uint8_t sum = 0;
      for (int i = 0; i < k; ++i) sum ^= gf.mul[powers[i]][top_inverse[i * k + c]];
      g[r * k + c] = sum;
    }
  }
  const int repair_coefficients = (n - k) * k;
  codec->repair_tables_.resize(static_cast<size_t>(repair_coefficients) * kGfNibbleTableBytes);
  BuildGfNibbleTables(g + static_cast<size_t>(k) * k, repair_coefficients,
                      codec->repair_tables_.data());
  return codec;
}

void CReedSolomonCodec::Combine(const uint8_t* coefficients, const uint8_t* tables, int rows,
                                const uint8_t* const* in, const int* lengths,
                                uint8_t* const* out) const {
  int shortest = lengths[0];
  int longest = lengths[0];
  for (int i = 1; i < k_; ++i) {
    shortest = std::min(shortest, lengths[i]);
    longest = std::max(longest, lengths[i]);
  }
  shortest = std::max(shortest, 0);
  const GfDotProductFn dot = ActiveGfDotProduct();
  // Every input covers [0, shortest): one pass over the inputs for up to
  // kGfMaxDotRows outputs at a time.
  for (int r = 0; r < rows; r += kGfMaxDotRows) {
    const int group = std::min(kGfMaxDotRows, rows - r);
    dot(coefficients + static_cast<size_t>(r) * k_,
        tables + static_cast<size_t>(r) * k_ * kGfNibbleTableBytes, k_, group, in, out + r,
        static_cast<size_t>(shortest));
  }
  if (longest == shortest) return;
  // The longer inputs' tails, as if the shorter ones were zero-padded.
  for (int r = 0; r < rows; ++r) {
    std::memset(out[r] + shortest, 0, static_cast<size_t>(longest - shortest));
    for (int i = 0; i < k_; ++i) {
      if (lengths[i] > shortest) {
        GfMulAdd(out[r] + shortest, in[i] + shortest, coefficients[r * k_ + i],
                 static_cast<size_t>(lengths[i] - shortest));
      }
    }
  }
}

void CReedSolomonCodec::Encode(const uint8_t* const* sources, int length,
                               uint8_t* const* repairs) const {
  std::vector<int> lengths(static_cast<size_t>(k_), length);
  Encode(sources, lengths.data(), repairs);
}

void CReedSolomonCodec::Encode(const uint8_t* const* sources, const int* lengths,
                               uint8_t* const* repairs) const {
  if (n_ == k_ || sources == nullptr || lengths == nullptr || repairs == nullptr) return;
  Combine(Row(k_), repair_tables_.data(), n_ - k_, sources, lengths, repairs);
}

int CReedSolomonCodec::Decode(const uint8_t* const* received, int length, const int* indices,
                              uint8_t* const* outputs, const int* wanted, int count) const {
  std::vector<int> lengths(static_cast<size_t>(k_), length);
  return Decode(received, lengths.data(), indices, outputs, wanted, count);
}

int CReedSolomonCodec::Decode(const uint8_t* const* received, const int* lengths,
                              const int* indices, uint8_t* const* outputs, const int* wanted,
                              int count) const {
  if (received == nullptr || lengths == nullptr || indices == nullptr || count < 0 ||
      count > k_ || (count > 0 && (outputs == nullptr || wanted == nullptr))) {
    return 1;
  }
  std::vector<uint8_t> m(static_cast<size_t>(k_) * k_);
  for (int i = 0; i < k_; ++i) {
    if (indices[i] < 0 || indices[i] >= n_) return 1;
    std::memcpy(m.data() + static_cast<size_t>(i) * k_, Row(indices[i]), static_cast<size_t>(k_));
  }
  // A repeated index makes the matrix singular, so it fails here too.
  if (!InvertMatrix(m.data(), k_)) return 1;
  if (count == 0) return 0;
  std::vector<uint8_t> coefficients(static_cast<size_t>(count) * k_);
  for (int w = 0; w < count; ++w) {
    if (wanted[w] < 0 || wanted[w] >= k_) return 1;
    std::memcpy(coefficients.data() + static_cast<size_t>(w) * k_,
                m.data() + static_cast<size_t>(wanted[w]) * k_, static_cast<size_t>(k_));
  }
  std::vector<uint8_t> tables(coefficients.size() * kGfNibbleTableBytes);
  BuildGfNibbleTables(coefficients.data(), static_cast<int>(coefficients.size()), tables.data());
  Combine(coefficients.data(), tables.data(), count, received, lengths, outputs);
  return 0;
}
