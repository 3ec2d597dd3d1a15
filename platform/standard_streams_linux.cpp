#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillmark {

bool OpenClosedStandardStreams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
      continue;
    // The lower descriptors are open by now, so the lowest free one,
    // which open takes, is this one.
    const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened != descriptor) {
      if (opened >= 0)
        ::close(opened);
      return false;
    }
  }
  return true;
}

}  // namespace quillmark
