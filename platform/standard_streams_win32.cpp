#include <windows.h>

#include <io.h>
#include <cstdio>
#include <initializer_list>

#include "standard_streams.h"

namespace quillmark {

bool OpenClosedStandardStreams() {
  struct Stream {
    DWORD id;
    FILE* file;
    const char* mode;
  };
  for (const Stream& stream :
       {Stream{STD_INPUT_HANDLE, stdin, "r"}, Stream{STD_OUTPUT_HANDLE, stdout, "w"},
        Stream{STD_ERROR_HANDLE, stderr, "w"}}) {
    const HANDLE handle = ::GetStdHandle(stream.id);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
      continue;
    // A program started without this stream writes into the null device.
    if (std::freopen("NUL", stream.mode, stream.file) == nullptr)
      return false;
    ::SetStdHandle(stream.id, reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream.file))));
  }
  return true;
}

}  // namespace quillmark
