#include "sqlite_descriptor_vfs.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace quillmark::ledger {

// One descriptor lent to SQLite, and the last error met on it.
struct DescriptorDatabase::Target {
  int fd = -1;
  std::atomic<int> error{0};
};

namespace {

constexpr const char* kVfsName = "quillmark-descriptor";
constexpr int kMaxPathname = 512;

using Target = DescriptorDatabase::Target;

std::mutex g_targetsMutex;
std::map<std::string, Target*>& Targets() {
  static std::map<std::string, Target*> targets;
  return targets;
}

Target* TargetNamed(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_targetsMutex);
  const auto found = Targets().find(name);
  return found == Targets().end() ? nullptr : found->second;
}

// The sqlite3_file SQLite sizes by szOsFile and hands to every method.
struct DescriptorFile {
  sqlite3_file base;
  Target* target;
};

Target& TargetOf(sqlite3_file* file) {
  return *reinterpret_cast<DescriptorFile*>(file)->target;
}

int Failed(sqlite3_file* file, int code) {
  TargetOf(file).error = errno;
  return code;
}

int Close(sqlite3_file*) {
  return SQLITE_OK;  // the descriptor is the caller's
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  int done = 0;
  while (done < amount) {
    const ssize_t got = ::pread(TargetOf(file).fd, bytes + done, static_cast<size_t>(amount - done),
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return Failed(file, SQLITE_IOERR_READ);
    if (got == 0)
      break;
    done += static_cast<int>(got);
  }
  if (done == amount)
    return SQLITE_OK;
  // What lies past the end of the file reads as zeros, as SQLite requires.
  std::memset(bytes + done, 0, static_cast<size_t>(amount - done));
  return SQLITE_IOERR_SHORT_READ;
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  int done = 0;
  while (done < amount) {
    const ssize_t put =
        ::pwrite(TargetOf(file).fd, bytes + done, static_cast<size_t>(amount - done),
                 static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0) {
      if (put == 0)
        errno = ENOSPC;
      return Failed(file, errno == ENOSPC || errno == EDQUOT ? SQLITE_FULL : SQLITE_IOERR_WRITE);
    }
    done += static_cast<int>(put);
  }
  return SQLITE_OK;
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  if (::ftruncate(TargetOf(file).fd, static_cast<off_t>(size)) != 0)
    return Failed(file, SQLITE_IOERR_TRUNCATE);
  return SQLITE_OK;
}

int Sync(sqlite3_file* file, int flags) {
  const int fd = TargetOf(file).fd;
  const int synced = (flags & SQLITE_SYNC_DATAONLY) != 0 ? ::fdatasync(fd) : ::fsync(fd);
  if (synced != 0)
    return Failed(file, SQLITE_IOERR_FSYNC);
  return SQLITE_OK;
}

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  struct stat info {};
  if (::fstat(TargetOf(file).fd, &info) != 0)
    return Failed(file, SQLITE_IOERR_FSTAT);
  *size = static_cast<sqlite3_int64>(info.st_size);
  return SQLITE_OK;
}

// The file is the caller's alone: no other connection is kept out.
int Lock(sqlite3_file*, int) {
  return SQLITE_OK;
}

int CheckReservedLock(sqlite3_file*, int* reserved) {
  *reserved = 0;
  return SQLITE_OK;
}

int FileControl(sqlite3_file*, int, void*) {
  return SQLITE_NOTFOUND;
}

int SectorSize(sqlite3_file*) {
  return 4096;
}

int DeviceCharacteristics(sqlite3_file*) {
  return 0;
}

const sqlite3_io_methods kMethods = {
    1,  // no shared memory, no memory mapping: no file but this one
    Close, Read, Write, Truncate, Sync, FileSize, Lock, Lock, CheckReservedLock, FileControl,
    SectorSize, DeviceCharacteristics,
    // The members of later versions.
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

sqlite3_vfs* Default() {
  return sqlite3_vfs_find(nullptr);
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  file->pMethods = nullptr;
  // A journal, a log or a temporary file would be opened by a name.
  Target* target =
      name != nullptr && (flags & SQLITE_OPEN_MAIN_DB) != 0 ? TargetNamed(name) : nullptr;
  if (target == nullptr)
    return SQLITE_CANTOPEN;
  reinterpret_cast<DescriptorFile*>(file)->target = target;
  file->pMethods = &kMethods;
  if (outFlags != nullptr)
    *outFlags = flags;
  return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char*, int) {
  return SQLITE_OK;  // nothing beside the file was made; nothing goes
}

int Access(sqlite3_vfs*, const char*, int, int* result) {
  *result = 0;  // no journal, no log
  return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  const std::size_t length = std::strlen(name);
  if (length + 1 > static_cast<std::size_t>(size))
    return SQLITE_CANTOPEN;
  std::memcpy(out, name, length + 1);
  return SQLITE_OK;
}

int Randomness(sqlite3_vfs*, int size, char* out) {
  return Default()->xRandomness(Default(), size, out);
}

int Sleep(sqlite3_vfs*, int microseconds) {
  return Default()->xSleep(Default(), microseconds);
}

int CurrentTime(sqlite3_vfs*, double* now) {
  return Default()->xCurrentTime(Default(), now);
}

int LastSystemError(sqlite3_vfs*, int size, char* out) {
  return Default()->xGetLastError(Default(), size, out);
}

int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
  return Default()->xCurrentTimeInt64(Default(), now);
}

sqlite3_vfs g_vfs = {2,
                     static_cast<int>(sizeof(DescriptorFile)),
                     kMaxPathname,
                     nullptr,
                     kVfsName,
                     nullptr,
                     Open,
                     Delete,
                     Access,
                     FullPathname,
                     nullptr,  // no extensions are loaded through it
                     nullptr,
                     nullptr,
                     nullptr,
                     Randomness,
                     Sleep,
                     CurrentTime,
                     LastSystemError,
                     CurrentTimeInt64,
                     nullptr,
                     nullptr,
                     nullptr};

void Register() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_vfs_register(&g_vfs, 0); });
}

}  // namespace

DescriptorDatabase::DescriptorDatabase(int fd) : m_target(std::make_unique<Target>()) {
  Register();
  static std::atomic<unsigned> counter{0};
  m_name = "/quillmark-descriptor/" + std::to_string(counter++);
  m_target->fd = fd;
  std::lock_guard<std::mutex> lock(g_targetsMutex);
  Targets()[m_name] = m_target.get();
}

DescriptorDatabase::~DescriptorDatabase() {
  std::lock_guard<std::mutex> lock(g_targetsMutex);
  Targets().erase(m_name);
}

const char* DescriptorDatabase::Vfs() {
  Register();
  return kVfsName;
}

int DescriptorDatabase::LastError() const {
  return m_target->error.load();
}

}  // namespace quillmark::ledger
