// quillmark-cli.exe end to end, started as a production script starts it:
// the files it leaves, the bytes it prints and its exit statuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "english_mode.h"
#include "fixture_image.h"
#include "mac_address.h"
#include "quillmark_version.h"
#include "scratch_dir.h"
#include "status_texts.h"
#include "win32_path.h"
#include "windows_test_support.h"

namespace quillmark {
namespace {

using test::ProgramResult;

ProgramResult Cli(const std::vector<std::string>& args) {
  return test::RunProgram(test::ProgramBeside(L"quillmark-cli.exe"), args);
}

std::vector<std::uint8_t> AddressBytes(const std::string& text) {
  const MacAddress address = *MacAddress::Parse(text);
  const std::string name = address.ToFileName();  // fw_045755_0000ff.img
  const std::string hex = name.substr(3, 6) + name.substr(10, 6);
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string Saving(const std::string& address) {
  return SavingText(*MacAddress::Parse(address)) + "\n";
}

std::string FinishedLine() {
  return std::string(kRunFinishedText) + "\n";
}

std::string WithSlashes(std::string path) {
  for (char& c : path)
    c = c == '\\' ? '/' : c;
  return path;
}

std::string TextOf(const std::string& path) {
  const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    m_image = test::MakeValidImage(test::k4MiB);
    test::WriteFileBytes(Path("image.img"), m_image);
  }

  // A name in the scratch folder, as a Windows user types it.
  std::string Path(const std::string& name) const { return *FullPath(m_dir.path()) + "\\" + name; }

  void ExpectDevice(const std::string& path, const std::string& first, int perDevice) const {
    EXPECT_EQ(test::ReadFileBytes(path),
              test::ExpectedDeviceImage(m_image, AddressBytes(first), perDevice))
        << path;
  }

  test::ScratchDir m_dir;
  std::vector<std::uint8_t> m_image;
};

// Chinese in the arguments, the folder's name on disk, the texts printed
// (UTF-8 bytes, "\n" line ends, no progress line when redirected) and the
// manifest.
TEST_F(CliRunTest, BatchIntoAChineseFolderIsExactAndPrintedAsUtf8Lines) {
  const ProgramResult result =
      Cli({"--image", Path("image.img"), "--out", Path("输出"), "--start-mac=04:57:55:00:00:ff",
           "--count=3", "--macs-per-device=2", "--manifest", Path("清单.csv")});
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, Saving("04:57:55:00:00:ff") + Saving("04:57:55:00:01:01") +
                            Saving("04:57:55:00:01:03") + FinishedLine());
  EXPECT_EQ(test::WideNames(*ToWide(Path("输出"))),
            (std::vector<std::wstring>{L"fw_045755_0000ff.img", L"fw_045755_000101.img",
                                       L"fw_045755_000103.img"}));
  ExpectDevice(Path("输出\\fw_045755_0000ff.img"), "04:57:55:00:00:ff", 2);
  ExpectDevice(Path("输出\\fw_045755_000101.img"), "04:57:55:00:01:01", 2);
  ExpectDevice(Path("输出\\fw_045755_000103.img"), "04:57:55:00:01:03", 2);
  EXPECT_EQ(TextOf(Path("清单.csv")),
            "file,mac1,mac2\n"
            "fw_045755_0000ff.img,04:57:55:00:00:ff,04:57:55:00:01:00\n"
            "fw_045755_000101.img,04:57:55:00:01:01,04:57:55:00:01:02\n"
            "fw_045755_000103.img,04:57:55:00:01:03,04:57:55:00:01:04\n");

  // The plan of a dry run is the same manifest, byte for byte.
  const ProgramResult plan =
      Cli({"--image", Path("image.img"), "--out", Path("输出"), "--start-mac=04:57:55:00:00:ff",
           "--count=3", "--macs-per-device=2", "--dry-run"});
  EXPECT_EQ(plan.exitCode, 0u) << plan.err;
  EXPECT_EQ(plan.out, TextOf(Path("清单.csv")));
}

// The locale's language, as each registration runs it: the lines change
// language (under English with no Chinese character), the files stay.
TEST_F(CliRunTest, TheLocalesLanguageGivesItsLinesAndTheSameFiles) {
  const ProgramResult run = Cli({"--image", Path("image.img"), "--out", Path("out"), "--count=2",
                                 "--manifest", Path("lot.csv")});
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, test::Said("保存MAC固件: 04:57:55:00:00:00\n"
                                "保存MAC固件: 04:57:55:00:00:01\n"
                                "运行结束\n",
                                "Saving device image: 04:57:55:00:00:00\n"
                                "Saving device image: 04:57:55:00:00:01\n"
                                "Run finished\n"));
  EXPECT_EQ(TextOf(Path("lot.csv")),
            "file,mac1\n"
            "fw_045755_000000.img,04:57:55:00:00:00\n"
            "fw_045755_000001.img,04:57:55:00:00:01\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--image", Path("image.img"), "--count=0"},
        {"--help"},
        {"verify", "--help"},
        {"--count=2"},
        {"--image", Path("image.img"), "--ledger=x"},
        {"ledger", "list"}}) {
    const ProgramResult result = Cli(args);
    EXPECT_NE(result.out + result.err, "");
    const bool chinese = !test::FirstChineseLine(result.out + result.err).empty();
    EXPECT_EQ(chinese, !test::EnglishTestMode()) << args.front() << "\n"
                                                 << result.out << result.err;
  }
}

struct SeparatorCase {
  const char* name;
  bool slashes;       // the folder part written with "/" instead of "\"
  const char* out;    // under the scratch folder
  const char* lists;  // the manifest, under the scratch folder
};

void PrintTo(const SeparatorCase& c, std::ostream* os) {
  *os << c.name;
}

class CliSeparatorTest : public CliRunTest, public ::testing::WithParamInterface<SeparatorCase> {};

// Windows takes both separators, and so must every path of the tool.
TEST_P(CliSeparatorTest, EitherSeparatorReachesTheSameFolders) {
  ASSERT_TRUE(std::filesystem::create_directories(*ToWide(Path("lists\\sub"))));
  ASSERT_TRUE(std::filesystem::create_directories(*ToWide(Path("out"))));
  const SeparatorCase& c = GetParam();
  const std::string folder = c.slashes ? WithSlashes(*FullPath(m_dir.path())) : Path("");
  const std::string base = c.slashes ? folder + "/" : folder;
  const ProgramResult result = Cli({"--image", Path("image.img"), "--out", base + c.out,
                                    "--count=2", "--quiet", "--manifest", base + c.lists});
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.out, FinishedLine());
  ExpectDevice(Path("out\\fw_045755_000001.img"), "04:57:55:00:00:01", 1);
  EXPECT_EQ(TextOf(Path("lists\\sub\\m.csv")),
            "file,mac1\n"
            "fw_045755_000000.img,04:57:55:00:00:00\n"
            "fw_045755_000001.img,04:57:55:00:00:01\n");
  EXPECT_EQ(test::WideNames(*ToWide(Path("lists\\sub"))), std::vector<std::wstring>{L"m.csv"});
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CliSeparatorTest,
    ::testing::Values(SeparatorCase{"Backslashes", false, "out", "lists\\sub\\m.csv"},
                      SeparatorCase{"Slashes", true, "out", "lists/sub/m.csv"},
                      SeparatorCase{"Mixed", false, "out\\", "lists/sub\\m.csv"},
                      SeparatorCase{"TrailingSlash", true, "out/", "lists\\sub/m.csv"}),
    [](const ::testing::TestParamInfo<SeparatorCase>& info) { return info.param.name; });

// A manifest in a drive's root: its folder is "C:\", not the drive's
// current folder "C:".
TEST_F(CliRunTest, AManifestInADrivesRootIsWrittenThere) {
  const std::string manifest =
      "C:\\quillmark-test-" + std::to_string(::GetCurrentProcessId()) + ".csv";
  const test::CurrentFolder elsewhere(m_dir.path());
  const ProgramResult result = Cli({"--image", Path("image.img"), "--out", Path(""), "--count=1",
                                    "--quiet", "--durable", "--manifest", manifest});
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(TextOf(manifest), "file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\n");
  EXPECT_TRUE(::DeleteFileW(ToWide(manifest)->c_str()));
}

// A folder standing under a device's name: the run ends there with the
// creation text as its last line and status 3, as on Linux.
TEST_F(CliRunTest, AFolderUnderADevicesNameEndsTheRunWithStatusThree) {
  ASSERT_TRUE(std::filesystem::create_directories(*ToWide(Path("out\\fw_045755_000001.img"))));
  const ProgramResult result = Cli({"--image", Path("image.img"), "--out", Path("out"), "--count=3",
                                    "--manifest", Path("m.csv")});
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, 3u);
  EXPECT_EQ(result.out, Saving("04:57:55:00:00:00") + Saving("04:57:55:00:00:01") +
                            CreationFailedText(Path("out\\fw_045755_000001.img")) + "\n");
  ExpectDevice(Path("out\\fw_045755_000000.img"), "04:57:55:00:00:00", 1);
  EXPECT_EQ(test::WideNames(*ToWide(Path("out"))),
            (std::vector<std::wstring>{L"fw_045755_000000.img", L"fw_045755_000001.img"}));
  EXPECT_EQ(TextOf(Path("m.csv")), "file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\n");
}

// The 10 MiB volume the set-up mounts holds two 4 MiB images: one image
// and its temporary file fit, two images and a temporary file do not.
TEST_F(CliRunTest, ABatchThatDoesNotFitIsRefusedBeforeAnyDevice) {
  const char* volume = std::getenv("QUILLMARK_SMALL_VOLUME");
  ASSERT_NE(volume, nullptr) << "set by ctest: a 10 MiB volume";
  const std::string folder = std::string(volume) + "\\cli-space";
  std::filesystem::remove_all(*ToWide(folder));
  ASSERT_TRUE(std::filesystem::create_directory(*ToWide(folder)));

  const ProgramResult refused =
      Cli({"--image", Path("image.img"), "--out", folder, "--count=2", "--quiet"});
  EXPECT_EQ(refused.exitCode, 1u);
  EXPECT_EQ(refused.err.rfind("输出目录空间不足！", 0), 0u) << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_TRUE(test::WideNames(*ToWide(folder)).empty());

  const ProgramResult fits =
      Cli({"--image", Path("image.img"), "--out", folder, "--count=1", "--quiet"});
  EXPECT_EQ(fits.exitCode, 0u) << fits.err;
  EXPECT_EQ(test::WideNames(*ToWide(folder)), std::vector<std::wstring>{L"fw_045755_000000.img"});
  std::filesystem::remove_all(*ToWide(folder));
}

struct StatusCase {
  const char* name;
  std::vector<std::string> args;  // "IMAGE" stands for the fixture image
  DWORD exitCode;
  const char* out;  // exactly
  const char* err;  // the start of it
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << c.name;
}

class CliStatusTest : public CliRunTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(CliStatusTest, ExitsWithTheStatusLinuxGives) {
  std::vector<std::string> args = GetParam().args;
  for (std::string& argument : args)
    argument = argument == "IMAGE" ? Path("image.img") : argument;
  const test::CurrentFolder inScratch(m_dir.path());
  const ProgramResult result = Cli(args);
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
  EXPECT_EQ(result.out, GetParam().out);
  EXPECT_EQ(result.err.rfind(GetParam().err, 0), 0u) << result.err;
  EXPECT_EQ(test::WideNames(*ToWide(m_dir.path())), std::vector<std::wstring>{L"image.img"});
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CliStatusTest,
    ::testing::Values(
        StatusCase{"Version", {"--version"}, 0, "quillmark-cli " QUILLMARK_VERSION "\n", ""},
        StatusCase{"UnknownOption", {"--image", "IMAGE", "--colour"}, 2, "", "quillmark-cli: "},
        StatusCase{"MissingImage", {"--out", "out"}, 2, "", "quillmark-cli: 缺少必需的选项"},
        StatusCase{"GroupAddress",
                   {"--image", "IMAGE", "--start-mac", "01:00:00:00:00:00"},
                   1,
                   "",
                   "01:00:00:00:00:00：第一个字节须为单播、全球管理地址\n起始MAC地址输入错误！"},
        StatusCase{"NoSuchImage",
                   {"--image", "没有.img"},
                   1,
                   "",
                   "没有.img：无法打开（不存在、不是文件或无权读取）\n读取文件错误！"},
        StatusCase{"LedgerOption",
                   {"--image", "IMAGE", "--out", ".", "--ledger", "ledger.db"},
                   1,
                   "",
                   "账本不存在！"},
        StatusCase{"Labels", {"labels", "--help"}, 2, "", "quillmark-cli: labels 子命令"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

// The executable carries its version (from the project's one version),
// its icon and the manifest that makes its arguments UTF-8.
TEST(CliResourcesTest, VersionIconAndManifestAreBuiltIn) {
  const std::wstring program = test::ProgramBeside(L"quillmark-cli.exe");
  DWORD ignored = 0;
  std::vector<char> info(::GetFileVersionInfoSizeW(program.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(
      ::GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD{QUILLMARK_VERSION_MAJOR} << 16 | QUILLMARK_VERSION_MINOR);
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD{QUILLMARK_VERSION_PATCH} << 16 | QUILLMARK_VERSION_TWEAK);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\080404B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &size));
  EXPECT_EQ(ToUtf8(text), QUILLMARK_VERSION);

  const HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(
      ::FindResourceW(module, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */),
      nullptr);
  const HRSRC manifest =
      ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
  ASSERT_NE(manifest, nullptr);
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
  const std::string xml(bytes, ::SizeofResource(module, manifest));
  EXPECT_NE(xml.find(">UTF-8</activeCodePage>"), std::string::npos);
  ::FreeLibrary(module);
}

}  // namespace
}  // namespace quillmark
