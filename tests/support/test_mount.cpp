#include "test_mount.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// Runs a system tool; on failure, why tells which and what it said.
bool RunTool(const std::string& name, std::vector<std::string> args, std::string& why) {
  const std::string program = FindProgram(name);
  if (program.empty()) {
    why = name + " is not installed (scripts/install-deps.sh test installs it)";
    return false;
  }
  args.insert(args.begin(), program);
  const ChildResult result = RunChild(args, {}, std::chrono::seconds(60));
  if (result.exitCode == 0)
    return true;
  why = name + " failed: " + result.err;
  return false;
}

}  // namespace

const char* KindName(TestMount::Kind kind) {
  switch (kind) {
    case TestMount::Kind::Ext4:
      return "ext4";
    case TestMount::Kind::Xfs:
      return "XFS";
    case TestMount::Kind::Tmpfs:
      return "tmpfs";
  }
  return "?";
}

TestMount::TestMount(const std::string& folder, Kind kind, std::uint64_t sizeBytes,
                     const std::string& options, std::uint32_t ext4Inodes) {
  if (::geteuid() != 0) {
    m_failure = std::string("mounting ") + KindName(kind) + " needs root";
    return;
  }
  m_mountPoint = folder + "/mnt";
  if (::mkdir(m_mountPoint.c_str(), 0755) != 0) {
    m_failure = "cannot make the mount point: " + std::string(std::strerror(errno));
    return;
  }
  if (kind == Kind::Tmpfs) {
    std::string data = "size=" + std::to_string(sizeBytes);
    if (!options.empty())
      data += "," + options;
    if (::mount("tmpfs", m_mountPoint.c_str(), "tmpfs", 0, data.c_str()) != 0) {
      m_failure = "mounting tmpfs failed: " + std::string(std::strerror(errno));
      return;
    }
    m_mounted = true;
    return;
  }
  const std::string imageFile = folder + "/filesystem.img";
  if (!MakeDiskImage(imageFile, kind, sizeBytes, ext4Inodes))
    return;
  std::vector<std::string> args{"-o", options.empty() ? "loop" : "loop," + options, imageFile,
                                m_mountPoint};
  m_mounted = RunTool("mount", args, m_failure);
}

bool TestMount::MakeDiskImage(const std::string& imageFile, Kind kind, std::uint64_t sizeBytes,
                              std::uint32_t ext4Inodes) {
  const int fd = ::open(imageFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const bool sized = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(sizeBytes)) == 0;
  if (fd >= 0)
    ::close(fd);
  if (!sized) {
    m_failure = "cannot make the file system's file: " + std::string(std::strerror(errno));
    return false;
  }
  if (kind == Kind::Ext4) {
    std::vector<std::string> args{"-q", "-F", "-m", "0"};
    if (ext4Inodes > 0)
      args.insert(args.end(), {"-N", std::to_string(ext4Inodes)});
    args.push_back(imageFile);
    return RunTool("mkfs.ext4", args, m_failure);
  }
  return RunTool("mkfs.xfs", {"-q", "-m", "reflink=1", imageFile}, m_failure);
}

TestMount::~TestMount() {
  if (!m_mounted)
    return;
  // A lazy unmount still detaches it if something holds it open.
  if (::umount(m_mountPoint.c_str()) != 0)
    ::umount2(m_mountPoint.c_str(), MNT_DETACH);
}

}  // namespace quillmark::test
