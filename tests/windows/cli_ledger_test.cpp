// The MAC ledger through quillmark-cli.exe, as a Windows station uses it:
// every ledger subcommand on an SQLite ledger, a write that records its
// batch and one refused for a range already issued, two writers racing
// on one ledger, the built-in locations and the station configuration,
// and PostgreSQL refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "english_mode.h"
#include "fixture_image.h"
#include "scratch_dir.h"
#include "win32_path.h"
#include "windows_test_support.h"

namespace quillmark {
namespace {

using test::ProgramResult;
using test::Said;

std::wstring CliProgram() {
  return test::ProgramBeside(L"quillmark-cli.exe");
}

ProgramResult Cli(const std::vector<std::string>& args) {
  return test::RunProgram(CliProgram(), args);
}

// An environment variable set for one scope, for the programs started in it.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const std::string& value) : m_name(name) {
    wchar_t old[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, old, 32768);
    if (length > 0 && length < 32768)
      m_old = std::wstring(old, length);
    ::SetEnvironmentVariableW(name, value.empty() ? nullptr : ToWide(value)->c_str());
  }
  ~ScopedVariable() { ::SetEnvironmentVariableW(m_name, m_old ? m_old->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* m_name;
  std::optional<std::wstring> m_old;
};

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(ToWidePath(path)->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return lines;
}

class CliLedgerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    test::WriteFileBytes(Path("image.img"), test::MakeValidImage(test::k4MiB));
  }

  std::string Path(const std::string& name) const { return *FullPath(m_dir.path()) + "\\" + name; }

  // A ledger with the pool line3, ready for writes.
  std::string MakeLedger() {
    const std::string ledger = Path("账本.sqlite3");
    const ProgramResult init = Cli({"ledger", "init", ledger});
    EXPECT_EQ(init.exitCode, 0u) << init.err;
    const ProgramResult pool = Cli({"ledger", "pool", "add", "line3", "04:57:55:00:00:00",
                                    "04:57:55:00:0f:ff", "--ledger", ledger});
    EXPECT_EQ(pool.exitCode, 0u) << pool.err;
    return ledger;
  }

  std::vector<std::string> Write(const std::string& ledger, const std::string& out,
                                 const std::string& start, const std::string& count) {
    return {"--image", Path("image.img"), "--out",     Path(out), "--ledger",
            ledger,    "--start-mac",     start,       "--count", count,
            "--pool",  "line3",           "--station", "line3-a", "--quiet"};
  }

  test::ScratchDir m_dir;
};

TEST_F(CliLedgerTest, EverySubcommandWorksOnAWindowsLedger) {
  const std::string ledger = MakeLedger();

  const ProgramResult check = Cli({"ledger", "check", "--start-mac", "next", "--count", "3",
                                   "--pool", "line3", "--ledger", ledger});
  EXPECT_EQ(check.exitCode, 0u) << check.err;
  EXPECT_PRED2(Holds, check.out, "04:57:55:00:00:00");

  const ProgramResult written = Cli(Write(ledger, "first", "next", "3"));
  ASSERT_EQ(written.exitCode, 0u) << written.err;
  EXPECT_EQ(m_dir.List("first").size(), 3u);

  // Addresses already issued are refused before any device is written.
  const ProgramResult again = Cli(Write(ledger, "second", "04:57:55:00:00:02", "2"));
  EXPECT_EQ(again.exitCode, 1u);
  EXPECT_PRED2(Holds, again.err,
               (Said("MAC地址范围与账本中的批次重叠！批次 1",
                     "The MAC address range overlaps a batch in the ledger: Batch 1")));
  EXPECT_FALSE(Exists(Path("second\\fw_045755_000002.img")));

  // The next free range follows the first batch.
  const ProgramResult next = Cli(Write(ledger, "third", "next", "2"));
  ASSERT_EQ(next.exitCode, 0u) << next.err;
  EXPECT_TRUE(Exists(Path("third\\fw_045755_000003.img")));

  const ProgramResult list = Cli({"ledger", "list", "--ledger", ledger});
  EXPECT_EQ(list.exitCode, 0u) << list.err;
  EXPECT_EQ(Lines(list.out).size(), 2u) << list.out;
  const ProgramResult show = Cli({"ledger", "show", "1", "--ledger", ledger});
  EXPECT_EQ(show.exitCode, 0u) << show.err;
  EXPECT_PRED2(Holds, show.out, "line3-a");

  const ProgramResult voided = Cli({"ledger", "void", "2", "--reason", "返工", "--ledger", ledger});
  EXPECT_EQ(voided.exitCode, 0u) << voided.err;
  const ProgramResult csv = Cli({"ledger", "export", "--ledger", ledger});
  EXPECT_EQ(csv.exitCode, 0u) << csv.err;
  EXPECT_EQ(Lines(csv.out).size(), 3u) << csv.out;  // the header and one write of each batch
  EXPECT_PRED2(Holds, csv.out, "返工");

  const ProgramResult backup = Cli({"ledger", "backup", Path("备份.sqlite3"), "--ledger", ledger});
  EXPECT_EQ(backup.exitCode, 0u) << backup.err;
  const ProgramResult fromBackup = Cli({"ledger", "export", "--ledger", Path("备份.sqlite3")});
  EXPECT_EQ(fromBackup.out, csv.out);

  const ProgramResult report =
      Cli({"ledger", "report", "--html", Path("报告.html"), "--ledger", ledger});
  EXPECT_EQ(report.exitCode, 0u) << report.err;
  EXPECT_TRUE(Exists(Path("报告.html")));
}

// Each writer takes the pool's next free range; however they meet, no
// address goes to two devices.
TEST_F(CliLedgerTest, TwoWritersRacingNeverGetTheSameRange) {
  const std::string ledger = MakeLedger();
  constexpr int kRounds = 3;
  std::vector<PROCESS_INFORMATION> running;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE nowhere =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
  for (int writer = 0; writer < 2; ++writer) {
    for (int round = 0; round < kRounds; ++round) {
      std::wstring commandLine = L"\"" + CliProgram() + L"\"";
      for (const std::string& argument :
           Write(ledger, "w" + std::to_string(writer) + "-" + std::to_string(round), "next", "4"))
        commandLine += L" \"" + *ToWide(argument) + L"\"";
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
      PROCESS_INFORMATION process{};
      ASSERT_TRUE(::CreateProcessW(CliProgram().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   0, nullptr, nullptr, &startup, &process));
      running.push_back(process);
    }
  }
  ::CloseHandle(nowhere);
  std::set<std::string> names;
  std::size_t files = 0;
  for (const PROCESS_INFORMATION& process : running) {
    // A safety net only: every run ends long before.
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 240000), WAIT_OBJECT_0);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (int writer = 0; writer < 2; ++writer) {
    for (int round = 0; round < kRounds; ++round) {
      for (const std::string& name :
           m_dir.List("w" + std::to_string(writer) + "-" + std::to_string(round))) {
        names.insert(name);
        ++files;
      }
    }
  }
  EXPECT_EQ(files, 2u * kRounds * 4);
  EXPECT_EQ(names.size(), files);
  const ProgramResult list = Cli({"ledger", "list", "--ledger", ledger});
  EXPECT_EQ(Lines(list.out).size(), 2u * kRounds) << list.out;
}

// "default" is the user's own, "station" the one every operator shares;
// the station's configuration names it for every write.
TEST_F(CliLedgerTest, BuiltInLedgersAndTheStationConfiguration) {
  const ScopedVariable local(L"LOCALAPPDATA", Path("local"));
  const ScopedVariable shared(L"ProgramData", Path("shared"));
  const ScopedVariable roaming(L"APPDATA", Path("roaming"));
  const ScopedVariable system(L"QUILLMARK_SYSTEM_CONFIG", "");
  const ScopedVariable named(L"QUILLMARK_LEDGER", "");

  EXPECT_EQ(Cli({"ledger", "init", "default"}).exitCode, 0u);
  EXPECT_TRUE(Exists(Path("local\\Quillmark\\ledger.sqlite3")));
  const ProgramResult station = Cli({"ledger", "init", "station"});
  EXPECT_EQ(station.exitCode, 0u) << station.err;
  EXPECT_TRUE(Exists(Path("shared\\Quillmark\\ledger.sqlite3")));
  EXPECT_EQ(Cli({"ledger", "pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:0f:ff",
                 "--ledger", "station"})
                .exitCode,
            0u);

  // The system's file names the ledger, the user's the pool.
  ::CreateDirectoryW(ToWidePath(Path("roaming"))->c_str(), nullptr);
  ::CreateDirectoryW(ToWidePath(Path("roaming\\Quillmark"))->c_str(), nullptr);
  const std::string systemToml = "ledger = \"station\"\npool = \"none\"\n";
  const std::string userToml = "pool = \"line3\"\n";
  test::WriteFileBytes(Path("shared\\Quillmark\\quillmark.toml"),
                       {systemToml.begin(), systemToml.end()});
  test::WriteFileBytes(Path("roaming\\Quillmark\\quillmark.toml"),
                       {userToml.begin(), userToml.end()});
  const ProgramResult written = Cli({"--image", Path("image.img"), "--out", Path("out"),
                                     "--start-mac", "next", "--count", "2", "--quiet"});
  EXPECT_EQ(written.exitCode, 0u) << written.err;
  const ProgramResult list = Cli({"ledger", "list", "--ledger", "station"});
  EXPECT_EQ(Lines(list.out).size(), 1u) << list.out;
  EXPECT_EQ(Cli({"ledger", "list"}).out, list.out);
  // The user's own ledger was not written.
  EXPECT_EQ(Cli({"ledger", "list", "--ledger", "default"}).out, "");

  // A file there but wrong refuses the whole configuration.
  const std::string wrong = "colour = \"blue\"\n";
  test::WriteFileBytes(Path("roaming\\Quillmark\\quillmark.toml"), {wrong.begin(), wrong.end()});
  const ProgramResult refused = Cli({"ledger", "list"});
  EXPECT_EQ(refused.exitCode, 2u);
  EXPECT_PRED2(Holds, refused.err, Path("roaming\\Quillmark\\quillmark.toml"));
}

TEST_F(CliLedgerTest, PostgresqlIsRefusedWithOneLine) {
  const std::string line = Said(
      "Windows版不能使用PostgreSQL账本！其libpq不含TLS，工厂账本不以明文连接；请用SQLite账本\n",
      "The Windows build cannot use a PostgreSQL ledger: its libpq would have no TLS, and a "
      "factory's ledger is not spoken to in clear text. Use an SQLite ledger.\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"ledger", "list", "--ledger", "postgresql://line3@factory/quillmark"},
           {"ledger", "init", "service=quillmark"},
           {"ledger", "backup", Path("copy.sqlite3"), "--ledger", "host=factory dbname=q"},
           {"--image", Path("image.img"), "--out", Path("out"), "--ledger",
            "postgres://factory/quillmark", "--quiet"},
       }) {
    const ProgramResult run = Cli(args);
    EXPECT_NE(run.exitCode, 0u) << args[1];
    EXPECT_EQ(run.err, line) << args[1];
  }
  EXPECT_FALSE(Exists(Path("out")));
  EXPECT_FALSE(Exists(Path("copy.sqlite3")));
}

}  // namespace
}  // namespace quillmark
