#pragma once
// A systematic Reed-Solomon erasure code over GF(2^8) from a Vandermonde
// matrix: k source packets give n - k repair packets, and any k of the n
// packets give back the sources. The encoding matrix G (n x k) is
// V x (top k x k block of V)^-1 with V[r][c] = x_r^c, x_0 = 0 and
// x_r = 2^(r-1), so its first k rows are the identity. Peers build the same
// matrix: the row order and the field are part of the wire format.
//
// Buffers of unequal length count as zero-padded to the longest; outputs are
// written over the longest length.
//
// Threads: a codec is immutable after Create(); any thread may use it.
#include <cstdint>
#include <memory>
#include <vector>

class CReedSolomonCodec {
 public:
  static constexpr int kMaxPackets = 256;

  // Null when k < 1, n > 256 or k > n (k = n is valid: no repair rows).
  static std::unique_ptr<CReedSolomonCodec> Create(int k, int n);

  int k_for_testing() const { return k_; }
  int n() const { return n_; }
  // Row r (0 <= r < n) of the encoding matrix, k bytes.
  const uint8_t* Row(int r) const { return matrix_.data() + static_cast<size_t>(r) * k_; }

  // Writes the n - k repair buffers from k source buffers of `length` bytes.
  void Encode(const uint8_t* const* sources, int length, uint8_t* const* repairs) const;
  // The same with a length per source; repairs get the greatest length.
  void Encode(const uint8_t* const* sources, const int* lengths, uint8_t* const* repairs) const;

  // From k received buffers with their packet indices (0 .. n-1, sources
  // below k) rebuilds the sources listed in `wanted` into `outputs`.
  // Returns 0, or 1 when the received set cannot give them back (an index out
  // of range or repeated, a wanted index not below k).
  int Decode(const uint8_t* const* received, int length, const int* indices,
             uint8_t* const* outputs, const int* wanted, int count) const;
  int Decode(const uint8_t* const* received, const int* lengths, const int* indices,
             uint8_t* const* outputs, const int* wanted, int count) const;

 private:
  CReedSolomonCodec(int k, int n);

  // out[r] = sum of coef[r][i] x in[i] for r < rows, zero-padded lengths.
  void Combine(const uint8_t* coefficients, const uint8_t* tables, int rows,
               const uint8_t* const* in, const int* lengths, uint8_t* const* out) const;

  int k_;
  int n_;
  std::vector<uint8_t> matrix_;         // n x k
  std::vector<uint8_t> repair_tables_;  // nibble tables of rows k .. n-1
};
