#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "interface_text.h"
#include "printable_text.h"
#include "station_key.h"

namespace quillmark::secrets {
namespace {

SecretResult<StationKey> Refused(const std::string& path, std::string_view why) {
  return SecretResult<StationKey>::Failed(EscapeControlCharacters(
      Fill({"站点密钥文件错误！%1：%2", "Cannot use the station key: %1: %2"}, {path, why})));
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

 private:
  int m_fd;
};

}  // namespace

SecretResult<StationKey> CreateStationKey(const std::string& path, SecretSource& source) {
  StationKey key;
  if (std::string why = source.Read(key); !why.empty())
    return Refused(path, why);
  Descriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
  if (file.get() < 0)
    return Refused(path, std::strerror(errno));
  // The umask can only take bits away; this makes sure of the owner's.
  int error = ::fchmod(file.get(), 0600) == 0 ? 0 : errno;
  for (std::size_t done = 0; error == 0 && done < key.size();) {
    const ssize_t count = ::write(file.get(), key.data() + done, key.size() - done);
    if (count > 0)
      done += static_cast<std::size_t>(count);
    else if (count == 0 || errno != EINTR)
      error = count == 0 ? EIO : errno;
  }
  if (error == 0 && ::fsync(file.get()) != 0)
    error = errno;
  if (!file.Close() && error == 0)
    error = errno;
  if (error != 0) {
    ::unlink(path.c_str());
    return Refused(path, std::strerror(error));
  }
  return SecretResult<StationKey>::Of(key);
}

SecretResult<StationKey> ReadStationKey(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0)
    return Refused(path, errno == ELOOP ? std::string(Pick({"是符号链接", "it is a symbolic link"}))
                                        : std::string(std::strerror(errno)));
  struct stat info {};
  if (::fstat(file.get(), &info) != 0)
    return Refused(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    return Refused(path, Pick({"不是普通文件", "it is not a regular file"}));
  if (info.st_uid != ::geteuid())
    return Refused(path, Pick({"其所有者不是当前用户", "it belongs to another user"}));
  if ((info.st_mode & 077) != 0)
    return Refused(path, Fill({"其他用户可以访问它（请运行 chmod 600 %1）",
                               "other users can reach it (run chmod 600 %1)"},
                              {ShellWord(path)}));
  StationKey key;
  if (info.st_size != static_cast<off_t>(key.size()))
    return Refused(path,
                   Fill({"应为 %1 字节", "it should hold %1 bytes"}, {std::to_string(key.size())}));
  std::size_t done = 0;
  while (done < key.size()) {
    const ssize_t count = ::read(file.get(), key.data() + done, key.size() - done);
    if (count < 0 && errno == EINTR)
      continue;
    if (count <= 0)
      return Refused(path, count < 0 ? std::strerror(errno)
                                     : Pick({"读取时变短了", "it became shorter while read"}));
    done += static_cast<std::size_t>(count);
  }
  return SecretResult<StationKey>::Of(key);
}

}  // namespace quillmark::secrets
