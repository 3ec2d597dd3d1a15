#include "win32_block_cloning.h"

#include <winioctl.h>

#include <optional>
#include <string>

#include "win32_path.h"

// mingw-w64's headers lack block cloning; the values are the system's.
#ifndef FILE_SUPPORTS_BLOCK_REFCOUNTING
#define FILE_SUPPORTS_BLOCK_REFCOUNTING 0x08000000
#endif
#ifndef FSCTL_DUPLICATE_EXTENTS_TO_FILE
#define FSCTL_DUPLICATE_EXTENTS_TO_FILE \
  CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 209, METHOD_BUFFERED, FILE_WRITE_ACCESS)
#endif

namespace quillmark {
namespace {

struct DuplicateExtentsData {
  HANDLE FileHandle;
  LARGE_INTEGER SourceFileOffset;
  LARGE_INTEGER TargetFileOffset;
  LARGE_INTEGER ByteCount;
};

// A single request shares less than 4 GiB.
constexpr LONGLONG kMaxRequest = 0x40000000;

bool HandleSharesBlocks(HANDLE file) {
  DWORD flags = 0;
  return ::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_SUPPORTS_BLOCK_REFCOUNTING) != 0;
}

bool SetLength(HANDLE file, LONGLONG length) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = length;
  return ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

CloneResult Refuse(HANDLE target) {
  SetLength(target, 0);
  return CloneResult::Refused;
}

}  // namespace

bool VolumeSharesBlocks(const std::string& directory) {
  const HANDLE folder = OpenForQuery(directory);
  if (folder == INVALID_HANDLE_VALUE)
    return false;
  const bool shares = HandleSharesBlocks(folder);
  ::CloseHandle(folder);
  return shares;
}

CloneResult CloneBlocks(HANDLE target, HANDLE source) {
  LARGE_INTEGER size{};
  if (!HandleSharesBlocks(target) || !::GetFileSizeEx(source, &size))
    return CloneResult::Refused;
  // Ranges must start and end on cluster boundaries: an image's size is a
  // multiple of every cluster size, and anything else is refused. The
  // target must be as long as the range before blocks can be shared.
  if (!SetLength(target, size.QuadPart))
    return CloneResult::Failed;
  for (LONGLONG done = 0; done < size.QuadPart;) {
    DuplicateExtentsData request{};
    request.FileHandle = source;
    request.SourceFileOffset.QuadPart = done;
    request.TargetFileOffset.QuadPart = done;
    request.ByteCount.QuadPart =
        size.QuadPart - done < kMaxRequest ? size.QuadPart - done : kMaxRequest;
    DWORD returned = 0;
    if (!::DeviceIoControl(target, FSCTL_DUPLICATE_EXTENTS_TO_FILE, &request, sizeof request,
                           nullptr, 0, &returned, nullptr)) {
      switch (::GetLastError()) {
        case ERROR_INVALID_FUNCTION:  // a file system without it
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:  // a range it cannot share (alignment)
        case ERROR_NOT_SAME_DEVICE:
          return Refuse(target);
        default:  // no space, an I/O error
          return CloneResult::Failed;
      }
    }
    done += request.ByteCount.QuadPart;
  }
  return CloneResult::Cloned;
}

}  // namespace quillmark
