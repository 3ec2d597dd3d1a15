#pragma once

#include <cstdio>
#include <string_view>

namespace quillmark::cli {

// The standard streams as the tool writes them, one source per platform.
//
// Called once before anything is written: on Windows the streams carry
// the same bytes as on Linux ("\n", not "\r\n"), so scripts read one format.
void PrepareStandardStreams();

// Writes text to stdout or stderr at once, its bytes made valid UTF-8 first.
// On a Windows console it goes in as characters, whatever the console's code
// page; everywhere else as UTF-8 bytes. False when not all of it arrived.
bool WriteText(std::FILE* stream, std::string_view text);

// True when a write WriteText made to standard output did not arrive
// whole (bytes the C library still holds are judged by ferror).
bool StandardOutputWriteFailed();

// True when standard output is a terminal (a console on Windows) that can
// show a progress line updated in place; false when redirected.
bool StandardOutputIsConsole();

}  // namespace quillmark::cli
