#pragma once
// The order in which the sampled scan visits rows and columns: the middle
// first, then the middles of the halves, then of the quarters, and so on, so
// that a few probes cover the whole height or width evenly.
//
// Position k holds the item reached from the root of a balanced split of
// 0..n-1 (root n/2, n/2 items left of it, (n-1)/2 right of it) by going down
// floor(log2(k + 1)) levels, taking the right part at depth d when bit d of
// k - (2^level - 1) is set. Positions that lead into an empty part are
// skipped, so the table is always a permutation of 0..n-1.
#include <cstddef>
#include <cstdint>
#include <vector>

// Empty for n <= 0.
std::vector<int32_t> SpreadOrder(int32_t n);
