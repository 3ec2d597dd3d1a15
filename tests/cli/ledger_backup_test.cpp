// quillmark-cli ledger backup FILE: a copy of an SQLite ledger that holds
// everything committed, the write-ahead log included, while stations go
// on writing; put in place whole, never over the ledger or a node.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli_command.h"
#include "english_mode.h"
#include "fixture_image.h"
#include "ledger.h"
#include "scratch_dir.h"

namespace quillmark::test {
namespace {

using testing::ElementsAre;

constexpr std::uint64_t kVendor = 0x045755000000;

ChildResult Backup(const std::string& copy, const std::string& location,
                   const ChildOptions& options = {}) {
  return RunCli({"ledger", "backup", copy, "--ledger", location}, options);
}

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

// A connection that keeps every other out of the ledger until it goes:
// with its locks held for good, a reader waits in SQLite's busy handler.
class LedgerLock {
 public:
  explicit LedgerLock(const std::string& path) {
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK ||
        sqlite3_exec(m_db,
                     "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"
                     " INSERT INTO pools (name, first_mac, end_mac, created_by)"
                     " VALUES ('locked', 4971973988352, 4971973988608, 'test')",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
      m_error = sqlite3_errmsg(m_db);
  }
  ~LedgerLock() { Release(); }
  const std::string& error() const { return m_error; }
  void Release() {
    if (m_db == nullptr)
      return;
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
    m_db = nullptr;
  }

 private:
  sqlite3* m_db = nullptr;
  std::string m_error;
};

// Waits until something stands under path; false after 20 s.
bool AppearsWithin20s(const std::string& path) {
  for (int i = 0; i < 2000; ++i) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::unique_ptr<ledger::Ledger> Open(const std::string& path) {
  auto opened = ledger::OpenLedger(ledger::ParseLedgerLocation(path).value());
  EXPECT_TRUE(opened) << opened.error().message;
  return opened ? std::move(opened.value()) : nullptr;
}

class LedgerBackupTest : public testing::Test {
 protected:
  void SetUp() override {
    auto init = ledger::InitLedger(ledger::ParseLedgerLocation(m_file).value());
    ASSERT_TRUE(init) << init.error().message;
  }

  ScratchDir m_dir;
  std::string m_file = m_dir / "ledger.sqlite3";
};

TEST_F(LedgerBackupTest, HoldsWhatWasCommittedWhileAWriterHoldsTheLog) {
  // The station stays connected, so what it committed stays in the log
  // and is not yet in the ledger's own file.
  std::unique_ptr<ledger::Ledger> station = Open(m_file);
  ASSERT_NE(station, nullptr);
  auto reserved = station->Reserve({kVendor, 16, 1, "", "line3-a", std::string(64, 'f'), "/out"});
  ASSERT_TRUE(reserved) << reserved.error().message;
  struct stat log {};
  ASSERT_EQ(::stat((m_file + "-wal").c_str(), &log), 0);
  ASSERT_GT(log.st_size, 0);
  // Another connection is halfway through a write of its own.
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(m_file.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer,
                         "BEGIN IMMEDIATE; INSERT INTO pools (name, first_mac, end_mac, created_by)"
                         " VALUES ('uncommitted', 4971973988352, 4971973988608, 'test')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(writer);

  const std::string copy = m_dir / "copy.sqlite3";
  const ChildResult backup = Backup(copy, m_file);
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);

  EXPECT_EQ(backup.exitCode, 0) << backup.err;
  EXPECT_EQ(backup.out, Said("账本已备份：", "Ledger backed up: ") + m_file + " → " + copy + "\n");
  EXPECT_THAT(m_dir.List(), ElementsAre("copy.sqlite3", "ledger.sqlite3", "ledger.sqlite3-shm",
                                        "ledger.sqlite3-wal"));
  std::unique_ptr<ledger::Ledger> restored = Open(copy);
  ASSERT_NE(restored, nullptr);
  auto batches = restored->Batches({});
  ASSERT_TRUE(batches) << batches.error().message;
  ASSERT_EQ(batches->size(), 1u);
  EXPECT_EQ(batches->at(0).batch.id, reserved->batchId);
  EXPECT_EQ(batches->at(0).batch.macs(), (ledger::MacRange{kVendor, 16}));
  EXPECT_TRUE(restored->Pools()->empty());
}

TEST_F(LedgerBackupTest, NeverReplacesTheLedgerADirectoryOrANode) {
  ASSERT_EQ(::mkdir((m_dir / "folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink(m_file.c_str(), (m_dir / "link").c_str()), 0);
  const bool node = ::mknod((m_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  // The station keeps the log and shared memory there.
  std::unique_ptr<ledger::Ledger> station = Open(m_file);
  const std::string theLedger =
      Said("备份文件不能是账本！", "The backup file must not be the ledger: ");
  const std::string notAFile =
      Said("备份文件已存在且不是普通文件！", "The backup file exists and is not a regular file: ");
  const struct {
    std::string path;
    std::string refusal;
  } cases[] = {
      {m_file, theLedger},
      {m_file + "-wal", theLedger},
      {m_file + "-shm", theLedger},
      // Not there in WAL mode; SQLite would delete a backup under it.
      {m_file + "-journal", theLedger},
      {m_dir / "link", theLedger},
      {m_dir / "folder", Said("备份文件不能是目录！", "The backup file must not be a directory: ")},
      {m_dir / "fifo", notAFile},
      {m_dir / "null", notAFile},
  };
  for (const auto& c : cases) {
    if (c.path == m_dir / "null" && !node)
      continue;  // mknod needs the privilege the package tests run with
    SCOPED_TRACE(c.path);
    const ChildResult result = Backup(c.path, m_file);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, c.refusal + c.path + "\n");
    EXPECT_EQ(result.out, "");
  }
  struct stat status {};
  ASSERT_EQ(::lstat((m_dir / "fifo").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  ASSERT_EQ(::lstat((m_dir / "link").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  if (node) {
    ASSERT_EQ(::lstat((m_dir / "null").c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
  }
  EXPECT_TRUE(m_dir.List("folder").empty());
  EXPECT_NE(Open(m_file), nullptr);
}

TEST_F(LedgerBackupTest, AnOlderBackupStaysUntilANewOneIsWhole) {
  const std::string copy = m_dir / "copy.sqlite3";
  WriteFileBytes(copy, {'o', 'l', 'd'});
  const std::string missing = m_dir / "none.sqlite3";
  const ChildResult absent = Backup(copy, missing);
  EXPECT_EQ(absent.exitCode, 1);
  EXPECT_EQ(absent.err,
            Said("账本不存在！" + missing + "（先运行 quillmark-cli ledger init）\n",
                 "There is no ledger: " + missing + " (run quillmark-cli ledger init first)\n"));
  WriteFileBytes(m_dir / "other.txt", std::vector<std::uint8_t>(4096, 'x'));
  const ChildResult notALedger = Backup(copy, m_dir / "other.txt");
  EXPECT_EQ(notALedger.exitCode, 1);
  EXPECT_EQ(notALedger.err,
            Said("该文件不是账本！", "This file is not a ledger: ") + m_dir / "other.txt" + "\n");
  EXPECT_EQ(ReadFileBytes(copy), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_THAT(m_dir.List(), ElementsAre("copy.sqlite3", "ledger.sqlite3", "other.txt"));

  const ChildResult replaced = Backup(copy, m_file);
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_NE(Open(copy), nullptr);
  EXPECT_EQ(RunCli({"ledger", "backup", "--ledger", m_file}).exitCode, 2);
}

// SQLite deletes or replays a file under the ledger's journal, log or
// shared-memory name when it next opens the ledger: each is refused
// whether or not it is there, by any spelling of its folder, and by the
// name of the file a link to the ledger leads to.
TEST_F(LedgerBackupTest, RefusesTheNamesOfTheLedgersOwnFilesWhetherOrNotTheyExist) {
  ASSERT_EQ(::symlink(m_dir.path().c_str(), (m_dir / "folder-link").c_str()), 0);
  ASSERT_EQ(::symlink(m_file.c_str(), (m_dir / "link.sqlite3").c_str()), 0);
  const std::string theLedger =
      Said("备份文件不能是账本！", "The backup file must not be the ledger: ");
  const struct {
    std::string path;
    std::string ledger;
  } cases[] = {
      {m_file + "-wal", m_file},
      {m_file + "-shm", m_file},
      {m_file + "-journal", m_file},
      {m_dir / "folder-link/ledger.sqlite3-journal", m_file},
      {m_dir / "./ledger.sqlite3-wal", m_file},
      {m_dir / "link.sqlite3-journal", m_dir / "link.sqlite3"},
      {m_file + "-wal", m_dir / "link.sqlite3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " of " + c.ledger);
    const ChildResult result = Backup(c.path, c.ledger);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, theLedger + c.path + "\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_THAT(m_dir.List(), ElementsAre("folder-link", "ledger.sqlite3", "link.sqlite3"));
  EXPECT_NE(Open(m_file), nullptr);
}

// The folder is one another user can write in: between the creation of
// the temporary file and SQLite's opening of the copy, that user puts a
// link to a file of root's under the temporary name. The ledger is held
// locked until the link is in place, so the copy is made after it,
// whatever the timing. Nothing goes through the link: the file it leads
// to keeps its bits and its bytes, the link is neither put in place nor
// removed, and the backup fails naming what happened.
TEST_F(LedgerBackupTest, ALinkPutUnderTheTemporaryNameIsNeitherFollowedNorPutInPlace) {
  ASSERT_EQ(::chmod(m_file.c_str(), 0640), 0);
  const std::string victim = m_dir / "victim";
  WriteFileBytes(victim, {});
  ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
  const std::string copy = m_dir / "copy.sqlite3";
  const std::string temporary = m_dir / ".copy.sqlite3.part";

  LedgerLock lock(m_file);
  ASSERT_EQ(lock.error(), "");
  ChildProcess backup(CliCommand({"ledger", "backup", copy, "--ledger", m_file}));
  ASSERT_TRUE(backup.started());
  ASSERT_TRUE(AppearsWithin20s(temporary));
  ASSERT_EQ(::unlink(temporary.c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), temporary.c_str()), 0);
  lock.Release();
  const ChildResult result = backup.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.err, Said("备份文件无法写入！" + copy +
                                 "：其临时文件 .copy.sqlite3.part "
                                 "在写入期间被换成了别的文件\n",
                             "Cannot write the backup: " + copy +
                                 ": its temporary file .copy.sqlite3.part was replaced by "
                                 "another file meanwhile\n"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ModeOf(victim), S_IFREG | 0600);
  EXPECT_TRUE(ReadFileBytes(victim).empty());
  EXPECT_EQ(ModeOf(temporary) & S_IFMT, S_IFLNK);
  EXPECT_THAT(m_dir.List(), ElementsAre(".copy.sqlite3.part", "ledger.sqlite3", "victim"));
}

// A file under the temporary name is not the backup's to remove (it may
// be another user's, or an older backup's the operator wants to look at):
// the copy takes another temporary name and leaves it as it was.
TEST_F(LedgerBackupTest, AFileAlreadyUnderTheTemporaryNameStays) {
  const std::string planted = m_dir / ".copy.sqlite3.part";
  WriteFileBytes(planted, {'m', 'i', 'n', 'e'});
  const std::string copy = m_dir / "copy.sqlite3";
  const ChildResult result = Backup(copy, m_file);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(planted), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_THAT(m_dir.List(), ElementsAre(".copy.sqlite3.part", "copy.sqlite3", "ledger.sqlite3"));
  EXPECT_NE(Open(copy), nullptr);
}

// A copy the file system will not take says so: the backup file and why,
// not the ledger; an older backup stays as it was.
TEST_F(LedgerBackupTest, ACopyThatCannotBeWrittenNamesTheBackupFileAndWhy) {
  const std::string copy = m_dir / "copy.sqlite3";
  WriteFileBytes(copy, {'o', 'l', 'd'});
  // A station keeps the ledger's shared memory as large as it gets.
  std::unique_ptr<ledger::Ledger> station = Open(m_file);
  ASSERT_TRUE(station->AddPool("line3", {kVendor, 4096}));
  ChildOptions limited;
  limited.fileSizeLimit = 8192;
  const ChildResult result = Backup(copy, m_file, limited);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err,
            Said("备份文件无法写入！" + copy + "：文件超过允许的大小\n",
                 "Cannot write the backup: " + copy + ": the file is larger than allowed\n"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadFileBytes(copy), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_THAT(m_dir.List(), ElementsAre("copy.sqlite3", "ledger.sqlite3", "ledger.sqlite3-shm",
                                        "ledger.sqlite3-wal"));
}

// A shared ledger is backed up by its database's own tool; nothing is
// created, and no connection is needed to say so.
TEST(LedgerBackupPostgresTest, PointsToPgDump) {
  ScratchDir dir;
  const ChildResult result = Backup(dir / "copy", "host=" + dir.path() + " dbname=qm");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(
      result.err,
      Said("PostgreSQL账本不能用此命令备份！请用 pg_dump 备份其数据库（如 pg_dump -Fc -f FILE "
           "DBNAME）\n",
           "A PostgreSQL ledger cannot be backed up with this command: back up its database "
           "with pg_dump (such as pg_dump -Fc -f FILE DBNAME).\n"));
  EXPECT_TRUE(dir.List().empty());
}

}  // namespace
}  // namespace quillmark::test
