#pragma once
// Counts the parts (embedded messages: caches, blocks, monitors, points,
// rectangles...) of a serialized message before it is parsed, so that a
// small message of very many tiny parts is refused instead of growing into
// far more memory than its size. Walks the schema's message fields only;
// bytes and text are skipped whole.
#include <cstddef>
#include <cstdint>

namespace google::protobuf {
class Descriptor;
}

// True when the parts number at most `limit`. False when more, or when the
// bytes are not a well-formed message of `type` as far as the walk reads.
bool DsPartsWithin(const uint8_t* data, size_t size, const google::protobuf::Descriptor* type, uint64_t limit);
