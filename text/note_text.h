#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

// The longest lot or rerun's reason, in characters (the ledger's schema
// keeps the same limit for the reason): a sentence, not a document.
inline constexpr std::size_t kMaxNoteCharacters = 200;

// A lot and a rerun's reason are one line kept with a batch for whoever
// audits it later, shown in listings and on labels: some visible text, no
// control or invisible format characters, and not too long.
enum class NoteProblem { None, Blank, ControlCharacters, TooLong };
// The text must be valid UTF-8.
NoteProblem CheckNote(std::string_view text);

// Why a lot cannot be recorded or printed, or "" when it can; the empty
// lot is none.
std::string LotProblem(std::string_view lot);

}  // namespace quillmark
