#include "loop_mount.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "child_process.h"

namespace quillmark::test {
namespace {

// The system tools live in sbin, which a test's PATH may not hold.
std::string FindProgram(const std::string& name) {
  for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    const std::string path = folder + name;
    if (::access(path.c_str(), X_OK) == 0)
      return path;
  }
  return {};
}

bool RunTool(const std::vector<std::string>& argv, std::string& error) {
  if (argv.front().empty()) {
    error = "tool not found";
    return false;
  }
  const ChildResult result = RunChild(argv, {}, std::chrono::seconds(60));
  error = result.err;
  return result.exitCode == 0;
}

}  // namespace

LoopMount::LoopMount(const std::string& folder, std::uint64_t sizeBytes, std::uint32_t inodeCount) {
  if (::geteuid() != 0) {
    Fail("mounting a file system needs root");
    return;
  }
  const std::string imageFile = folder + "/filesystem.ext4";
  const int fd = ::open(imageFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const bool sized = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(sizeBytes)) == 0;
  if (fd >= 0)
    ::close(fd);
  if (!sized) {
    Fail("cannot make the file system's file");
    return;
  }
  std::string error;
  // No blocks reserved for root, so the space left is the space the tool can use.
  std::vector<std::string> mkfs{FindProgram("mkfs.ext4"), "-q", "-F", "-m", "0"};
  if (inodeCount > 0)
    mkfs.insert(mkfs.end(), {"-N", std::to_string(inodeCount)});
  mkfs.push_back(imageFile);
  if (!RunTool(mkfs, error)) {
    Fail("mkfs.ext4 failed: " + error);
    return;
  }
  m_mountPoint = folder + "/mnt";
  if (::mkdir(m_mountPoint.c_str(), 0755) != 0) {
    Fail("cannot make the mount point");
    return;
  }
  if (!RunTool({FindProgram("mount"), "-o", "loop", imageFile, m_mountPoint}, error)) {
    Fail("mount -o loop failed: " + error);
    return;
  }
  m_mounted = true;
}

LoopMount::~LoopMount() {
  if (!m_mounted)
    return;
  std::string error;
  // A lazy unmount still detaches it if something holds it open.
  if (!RunTool({FindProgram("umount"), m_mountPoint}, error))
    RunTool({FindProgram("umount"), "-l", m_mountPoint}, error);
}

void LoopMount::Fail(std::string why) {
  m_failure = std::move(why);
}

}  // namespace quillmark::test
