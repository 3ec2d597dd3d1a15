#pragma once

#include <functional>
#include <string_view>

namespace quillmark::labels {

// Takes the next piece of a stream of bytes; false when it could not, and
// the stream stops there.
using ByteSink = std::function<bool(std::string_view)>;

// Hands all of its bytes, in order and in pieces, to a sink; false when
// the sink refused a piece. What is made as it is written (a long label
// document) never has to be held whole.
using ByteSource = std::function<bool(const ByteSink&)>;

}  // namespace quillmark::labels
