#include "sharing/protocol/ds_part_count.h"

#include <climits>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>

namespace {

using google::protobuf::Descriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::io::CodedInputStream;
using google::protobuf::internal::WireFormatLite;

// The schema has no recursive messages, so the recursion is as deep as the
// schema at most.
bool Walk(CodedInputStream& in, const Descriptor* type, uint64_t limit, uint64_t* parts) {
  for (;;) {
    const uint32_t tag = in.ReadTag();
    if (tag == 0) return true;  // the end, or a malformed tag the parser refuses later
    const FieldDescriptor* field = type->FindFieldByNumber(static_cast<int>(WireFormatLite::GetTagFieldNumber(tag)));
    const bool embedded = field != nullptr && field->type() == FieldDescriptor::TYPE_MESSAGE &&
                          WireFormatLite::GetTagWireType(tag) == WireFormatLite::WIRETYPE_LENGTH_DELIMITED;
    if (!embedded) {
      if (!WireFormatLite::SkipField(&in, tag)) return false;
      continue;
    }
    if (++*parts > limit) return false;
    uint32_t length = 0;
    if (!in.ReadVarint32(&length) || length > static_cast<uint32_t>(INT_MAX)) return false;
    if (in.BytesUntilLimit() >= 0 && length > static_cast<uint32_t>(in.BytesUntilLimit())) return false;
    const CodedInputStream::Limit outer = in.PushLimit(static_cast<int>(length));
    if (!Walk(in, field->message_type(), limit, parts) || !in.ConsumedEntireMessage()) return false;
    in.PopLimit(outer);
  }
}

}  // namespace

bool DsPartsWithin(const uint8_t* data, size_t size, const Descriptor* type, uint64_t limit) {
  if (size > static_cast<size_t>(INT_MAX) || (data == nullptr && size != 0)) return false;
  CodedInputStream in(data, static_cast<int>(size));
  uint64_t parts = 0;
  return Walk(in, type, limit, &parts);
}
