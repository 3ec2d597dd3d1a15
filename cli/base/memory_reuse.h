#pragma once

namespace quillmark::cli {

// Tells the C library to keep memory it is given back for the next
// request instead of returning it to the system at once. Drawing a label
// sheet allocates and frees compressor state for every code; returned and
// faulted in again each time, that page traffic cost as much as the
// drawing itself.
void KeepFreedMemoryForReuse();

}  // namespace quillmark::cli
