#pragma once

namespace quillmark {

// Opens the null device on each of the descriptors 0, 1 and 2 that is
// closed. A program started with one of them closed would otherwise hand
// that number to the next file it opens, and its status lines or errors
// would be written into that file, a device's image perhaps. Call it
// first in main, before any file is opened or any thread started. False
// when a closed one could not be opened; the program must then stop.
bool OpenClosedStandardStreams();

}  // namespace quillmark
