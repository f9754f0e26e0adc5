#pragma once
// The "type" of an extension message, read without building its tree, so
// that a message the host only relays costs one pass over its bytes.
//
// The scan checks the message's structure (objects, arrays, strings, commas
// and colons in their places, literal and number tokens made of their
// characters) and reads the last top-level "type" member, as the parser's
// look-up does. It is sure only of plain texts: whenever it cannot be sure
// it agrees with the parser (an escape in a member name or in the type, a
// \u escape or a control byte in any string, a zero byte, a type that is not
// a plain ASCII string, very deep nesting, very many values), it says so and
// the caller parses the message in full. Number and literal tokens are
// checked for their characters only: their exact grammar is left to the
// message's receiver.
#include <string_view>

// True with `type` (a view into `text`) when the scan is sure; false when the
// text needs the full parse.
bool ScanMessageType(std::string_view text, std::string_view* type);
