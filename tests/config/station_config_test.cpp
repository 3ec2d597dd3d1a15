// The station configuration: what one file may hold, how the system's and
// the user's files meet, where they are looked for, and which ledger wins.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "batch_ledger.h"
#include "batch_limits.h"
#include "scoped_environment.h"
#include "scratch_dir.h"
#include "station_config.h"

using namespace quillmark;
using quillmark::test::ScopedEnvironment;

namespace {

constexpr const char* kName = "/etc/quillmark/quillmark.toml";

// Whatever the umask, the modes a station's files should have: the
// configuration is refused when others could change it.
void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  ::chmod(path.c_str(), 0644);
}

TEST(StationConfigTest, AWholeFileIsReadWithItsCommentsAndNamesBeyondAscii) {
  const StationConfigResult read = ReadStationConfig(
      "# 工位配置：每个键都可省略\n"
      "ledger = \"postgresql://ledger.example/quillmark\"\n"
      "station = \"产线A-1\"   # 名称可以是中文\n"
      "pool = 'lineA'\n"
      "lot = \"WO-2026-0042\"\n"
      "series = \"ap200-sn\"\n"
      "label_font = \"文泉驿微米黑\"\n"
      "start_mac = \"04:57:55:00:0A:00\"\n"
      "count = 40\n"
      "macs_per_device = 2\n"
      "layout = \"roll-40x20\"\n"
      "language = \"en\"\n"
      "lenient = true\n"
      "profile = \"/etc/quillmark/板卡.toml\"\n",
      kName);
  ASSERT_EQ(read.error, "");
  const StationConfig& c = read.config;
  EXPECT_EQ(c.ledger, "postgresql://ledger.example/quillmark");
  EXPECT_EQ(c.station, "产线A-1");
  EXPECT_EQ(c.pool, "lineA");
  EXPECT_EQ(c.lot, "WO-2026-0042");
  EXPECT_EQ(c.series, "ap200-sn");
  EXPECT_EQ(c.labelFont, "文泉驿微米黑");
  EXPECT_EQ(c.startMac, "04:57:55:00:0a:00");
  EXPECT_EQ(c.deviceCount, "40");
  EXPECT_EQ(c.macsPerDevice, "2");
  EXPECT_EQ(c.labelLayout, "roll-40x20");
  EXPECT_EQ(c.language, LanguageChoice::English);
  EXPECT_EQ(c.lenient, true);
  EXPECT_EQ(ReadStationConfig("language = \"zh\"\n", kName).config.language,
            LanguageChoice::Chinese);
  EXPECT_EQ(ReadStationConfig("language = \"auto\"\n", kName).config.language,
            LanguageChoice::Auto);
  EXPECT_EQ(c.profile, "/etc/quillmark/板卡.toml");

  JobRequestTexts texts = DefaultRequestTexts();
  ApplyRequestDefaults(c, texts);
  EXPECT_EQ(texts.startMac, "04:57:55:00:0a:00");
  EXPECT_EQ(texts.deviceCount, "40");
  EXPECT_EQ(texts.macsPerDevice, "2");
  EXPECT_EQ(texts.profilePath, "/etc/quillmark/板卡.toml");
  EXPECT_EQ(texts.outputDirectory, "out");
}

TEST(StationConfigTest, AnEmptyFileSetsNothing) {
  const StationConfigResult read = ReadStationConfig("# nothing set\n\n", kName);
  EXPECT_EQ(read.error, "");
  EXPECT_FALSE(read.config.ledger || read.config.deviceCount || read.config.startMac);
}

struct Refused {
  const char* text;
  const char* error;  // after "配置文件错误！<name> "
};

TEST(StationConfigTest, EachRefusalNamesTheFileAndTheLine) {
  const std::string keys =
      "（可用的键：ledger、station、pool、lot、series、label_font、layout、start_mac、count、macs_"
      "per_"
      "device、language、lenient、profile）";
  const std::string startRule =
      "start_mac 应是完整写出的单播、全球管理地址，第二、三字节不同为ff（如 "
      "\"04:57:55:00:00:00\"）";
  const Refused cases[] = {
      {"count = 4\ncolour = 1\n", "第2行：未知的键 colour"},
      {"\n[labels]\nname = \"a\"\n", "第2行：未知的键 labels"},
      {"ledger.kind = \"sqlite\"\n", "第1行：ledger 应是非空字符串，不含控制字符"},
      {"[station]\nname = \"a\"\n", "第1行：station 应是非空字符串，不含控制字符"},
      {"count = \"40\"\n", "第1行：count 应是1到65535的整数"},
      {"count = 0\n", "第1行：count 应是1到65535的整数"},
      {"count = 65536\n", "第1行：count 应是1到65535的整数"},
      {"count = 4.0\n", "第1行：count 应是1到65535的整数"},
      {"\nmacs_per_device = 5\n", "第2行：macs_per_device 应是1到4的整数"},
      {"ledger = 3\n", "第1行：ledger 应是非空字符串，不含控制字符"},
      {"station = \"\"\n", "第1行：station 应是非空字符串，不含控制字符"},
      {"lot = \"a\\u0007b\"\n", "第1行：lot 应是非空字符串，不含控制字符"},
      {"label_font = \"\"\n", "第1行：label_font 应是非空字符串，不含控制字符"},
      {"layout = \"\"\n", "第1行：layout 应是非空字符串，不含控制字符"},
      {"\nlanguage = \"fr\"\n", "第2行：language 应是 \"zh\"、\"en\" 或 \"auto\"（按区域设置）"},
      {"language = \"EN\"\n", "第1行：language 应是 \"zh\"、\"en\" 或 \"auto\"（按区域设置）"},
      {"language = 1\n", "第1行：language 应是 \"zh\"、\"en\" 或 \"auto\"（按区域设置）"},
      {"lenient = \"yes\"\n", "第1行：lenient 应是 true 或 false"},
      // A cron job's current folder is not the administrator's.
      {"profile = \"board.toml\"\n",
       "第1行：profile 应是绝对路径（如 \"/etc/quillmark/board.toml\"）"},
      {"profile = \"\"\n", "第1行：profile 应是非空字符串，不含控制字符"},
      {"站 = 1\n", "第1行：注释和字符串之外只能使用ASCII字符"},
      // The parser reports an error on the line before it reaches the name,
      // and reaching the name while reporting is where it misbehaves.
      {"station = 0('名称'\n", "第1行：注释和字符串之外只能使用ASCII字符"},
      {"station = \"a\" x # 名称\n", "第1行：注释和字符串之外只能使用ASCII字符"},
      {"station = \"名称\\\n", "第1行：注释和字符串之外只能使用ASCII字符"},
      {"lot = \"\"\"\nA\n\"\"\"\n", "第1行：不接受多行字符串"},
      {"pool = '''a'''\n", "第1行：不接受多行字符串"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.text);
    std::string expected = std::string("配置文件错误！") + kName + " " + c.error;
    if (expected.find("未知的键") != std::string::npos)
      expected += keys;
    EXPECT_EQ(ReadStationConfig(c.text, kName).error, expected);
  }
  // Written in full, or refused: the field's reading rules would take a
  // typo for some other address in every run of the station.
  for (const char* start :
       {"04:57:55:00:10:0g", "04-57-55-00-00-00", "04:57:55:00:00", "05:57:55:00:00:00",
        "06:57:55:00:00:00", "04:ff:ff:00:00:00", "4:57:55:0:0:0"}) {
    SCOPED_TRACE(start);
    EXPECT_EQ(ReadStationConfig(std::string("start_mac = \"") + start + "\"\n", kName).error,
              std::string("配置文件错误！") + kName + " 第1行：" + startRule);
  }
}

TEST(StationConfigTest, TextThatIsNotTomlIsRefusedAtItsLine) {
  for (const auto& [text, line] :
       {std::pair{"count = 4\nstation = \n", 2}, std::pair{"\n\nlot = \"a\\q\"\n", 3},
        std::pair{"<?xml version=\"1.0\"?>\n", 1},
        // A table header with no name once made the refusal's own reading
        // of the line throw.
        std::pair{"[", 1}, std::pair{"[[", 1}, std::pair{"lot = \"a\"\n[", 2}}) {
    SCOPED_TRACE(text);
    const std::string error = ReadStationConfig(text, kName).error;
    EXPECT_EQ(error.rfind(std::string("配置文件错误！") + kName + " 第" + std::to_string(line) +
                              "行：不是有效的TOML：",
                          0),
              0u)
        << error;
  }
}

// A key given twice is named, however it is quoted, on the line of the
// second.
TEST(StationConfigTest, AKeyGivenTwiceIsNamedAtItsLine) {
  for (const char* text :
       {"count = 4\ncount = 5\n", "count = 4\n\"count\" = 5\n", "count = 4\n'count' = 5\n"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ReadStationConfig(text, kName).error,
              std::string("配置文件错误！") + kName + " 第2行：键 count 重复");
  }
  EXPECT_EQ(ReadStationConfig("lot = \"\u00a0\"\n", kName).error,
            std::string("配置文件错误！") + kName + " 第1行：批号不能只有空白");
  EXPECT_EQ(ReadStationConfig("station = \"line\u202e3\"\n", kName).error,
            std::string("配置文件错误！") + kName + " 第1行：station 应是非空字符串，不含控制字符");
}

struct ConfigFolders {
  test::ScratchDir scratch;
  StationConfigPaths paths{scratch / "system.toml", scratch / "user.toml"};
};

TEST(StationConfigTest, TheUsersFileWinsKeyByKey) {
  ConfigFolders folders;
  WriteText(folders.paths.system,
            "ledger = \"/srv/ledger.sqlite3\"\nstation = \"lineA\"\ncount = 40\n"
            "label_font = \"WenQuanYi Micro Hei\"\nlanguage = \"en\"\nlenient = true\n");
  WriteText(folders.paths.user,
            "count = 10\nlot = \"L7\"\nlabel_font = \"DejaVu Sans\"\nlanguage = \"zh\"\n");
  SystemFiles files;
  const StationConfigResult loaded = LoadStationConfig(folders.paths, files);
  ASSERT_EQ(loaded.error, "");
  EXPECT_EQ(loaded.config.ledger, "/srv/ledger.sqlite3");
  EXPECT_EQ(loaded.config.station, "lineA");
  EXPECT_EQ(loaded.config.deviceCount, "10");
  EXPECT_EQ(loaded.config.lot, "L7");
  EXPECT_EQ(loaded.config.labelFont, "DejaVu Sans");
  EXPECT_EQ(loaded.config.language, LanguageChoice::Chinese);
  EXPECT_EQ(loaded.config.lenient, true);
  EXPECT_FALSE(loaded.config.pool);
}

TEST(StationConfigTest, AbsentFilesSetNothingAndEitherFileInErrorRefusesAll) {
  ConfigFolders folders;
  SystemFiles files;
  EXPECT_EQ(LoadStationConfig(folders.paths, files).error, "");
  WriteText(folders.paths.user, "count = 10\n");
  WriteText(folders.paths.system, "count = 10\nbogus = 1\n");
  EXPECT_EQ(
      LoadStationConfig(folders.paths, files).error,
      "配置文件错误！" + folders.paths.system +
          " 第2行：未知的键 bogus"
          "（可用的键：ledger、station、pool、lot、series、label_font、layout、start_mac、count、"
          "macs_per_device、language、lenient、profile）");
  WriteText(folders.paths.system, "count = 10\n");
  WriteText(folders.paths.user, "count = ten\n");
  EXPECT_NE(LoadStationConfig(folders.paths, files).error.find(folders.paths.user + " 第1行"),
            std::string::npos);
}

// Something there that cannot be read is no configuration to run without.
TEST(StationConfigTest, AFileThatCannotBeReadIsRefused) {
  ConfigFolders folders;
  SystemFiles files;
  ASSERT_EQ(::mkdir(folders.paths.user.c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(folders.paths.system.c_str(), 0644), 0);
  EXPECT_EQ(
      LoadStationConfig(folders.paths, files).error,
      "配置文件错误！" + folders.paths.system + "：无法读取（须是不超过1 MiB、可读的普通文件）");
  ASSERT_EQ(::unlink(folders.paths.system.c_str()), 0);
  EXPECT_EQ(
      LoadStationConfig(folders.paths, files).error,
      "配置文件错误！" + folders.paths.user + "：无法读取（须是不超过1 MiB、可读的普通文件）");
}

TEST(StationConfigTest, TheFilesAreLookedForWhereTheEnvironmentSays) {
  {
    const ScopedEnvironment system("QUILLMARK_SYSTEM_CONFIG", nullptr);
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(StationConfigLocations().system, "/etc/quillmark/quillmark.toml");
    EXPECT_EQ(StationConfigLocations().user, "/x/config/quillmark/quillmark.toml");
  }
  {
    const ScopedEnvironment system("QUILLMARK_SYSTEM_CONFIG", "/t/system.toml");
    const ScopedEnvironment home("HOME", "/home/op");
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
      const ScopedEnvironment xdg("XDG_CONFIG_HOME", ignored);
      EXPECT_EQ(StationConfigLocations().system, "/t/system.toml");
      EXPECT_EQ(StationConfigLocations().user, "/home/op/.config/quillmark/quillmark.toml");
    }
  }
  const ScopedEnvironment home("HOME", nullptr);
  const ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(StationConfigLocations().user, "");
}

// QUILLMARK_LEDGER points one run elsewhere; the configuration is the
// station's standing answer.
TEST(StationConfigTest, QuillmarkLedgerWinsOverTheConfiguredLedger) {
  StationConfig config;
  config.ledger = "/srv/station.sqlite3";
  {
    const ScopedEnvironment ledger("QUILLMARK_LEDGER", "/tmp/other.sqlite3");
    EXPECT_EQ(ConfiguredLedgerLocation(config), "/tmp/other.sqlite3");
  }
  for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
    const ScopedEnvironment ledger("QUILLMARK_LEDGER", unset);
    EXPECT_EQ(ConfiguredLedgerLocation(config), "/srv/station.sqlite3");
    EXPECT_EQ(ConfiguredLedgerLocation(StationConfig{}), std::nullopt);
  }
}

// The example the package ships is all comments, and with its keys
// uncommented it is a configuration this tool takes, every key in it.
TEST(StationConfigTest, TheShippedExampleIsReadBothAsItIsAndUncommented) {
  std::ifstream file(QUILLMARK_SOURCE_DIR "/doc/quillmark.toml", std::ios::binary);
  const std::string example{std::istreambuf_iterator<char>(file), {}};
  ASSERT_FALSE(example.empty());
  const StationConfigResult asShipped = ReadStationConfig(example, "quillmark.toml");
  EXPECT_EQ(asShipped.error, "");
  EXPECT_FALSE(asShipped.config.ledger || asShipped.config.station || asShipped.config.deviceCount);

  // Each key once: its first example.
  std::string uncommented;
  std::set<std::string> keys;
  std::istringstream lines(example);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find(" = ");
    if (line.rfind("#", 0) == 0 && line.size() > 1 && line[1] != ' ' &&
        equals != std::string::npos && keys.insert(line.substr(1, equals - 1)).second)
      uncommented += line.substr(1) + "\n";
  }
  const StationConfigResult read = ReadStationConfig(uncommented, "quillmark.toml");
  ASSERT_EQ(read.error, "") << uncommented;
  const StationConfig& c = read.config;
  EXPECT_TRUE(c.ledger && c.station && c.pool && c.lot && c.labelFont && c.startMac &&
              c.deviceCount && c.macsPerDevice && c.profile)
      << uncommented;
}

// As ssh and sudo judge their files: one another user could change would
// let that user point the next run, root's too, at a ledger of their own.
TEST(StationConfigTest, AFileOthersCouldChangeIsRefusedNamingTheFix) {
  test::ScratchDir scratch;
  SystemFiles files;
  const auto real = [](const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    std::string text = resolved == nullptr ? path : resolved;
    std::free(resolved);
    return text;
  };
  const std::string head = "配置文件错误！";
  const struct {
    const char* name;
    mode_t fileMode;
    mode_t folderMode;
    bool strangerOwnsFile;
    bool strangerOwnsFolder;
    const char* why;  // after "<file>：", the folder as %F and the file as %P; "" accepted
  } cases[] = {
      {"safe", 0644, 0755, false, false, ""},
      {"private", 0600, 0700, false, false, ""},
      {"world-writable file", 0666, 0755, false, false,
       "其他用户可以修改它（请运行 chmod go-w %P）"},
      {"group-writable file", 0664, 0755, false, false,
       "其他用户可以修改它（请运行 chmod go-w %P）"},
      {"world-writable folder", 0644, 0777, false, false,
       "所在目录 %F 可被其他用户修改（请运行 chmod go-w %F）"},
      {"group-writable folder", 0644, 0775, false, false,
       "所在目录 %F 可被其他用户修改（请运行 chmod go-w %F）"},
      // No one else can replace what is in a folder with the sticky bit.
      {"sticky folder", 0644, 01777, false, false, ""},
      {"a strangers file", 0644, 0755, true, false,
       "其所有者既不是 root 也不是当前用户（请运行 chown root %P）"},
      {"a strangers folder", 0644, 0755, false, true,
       "所在目录 %F 的所有者既不是 root 也不是当前用户（请运行 chown root %F）"},
  };
  constexpr uid_t stranger = 65534;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Only root can hand a file to someone else.
    if ((c.strangerOwnsFile || c.strangerOwnsFolder) && ::geteuid() != 0)
      continue;
    std::string name = c.name;
    std::replace(name.begin(), name.end(), ' ', '-');
    const std::string folder = scratch / name;
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string path = folder + "/quillmark.toml";
    WriteText(path, "count = 4\n");
    ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
    if (c.strangerOwnsFile) {
      ASSERT_EQ(::chown(path.c_str(), stranger, static_cast<gid_t>(-1)), 0);
    }
    if (c.strangerOwnsFolder) {
      ASSERT_EQ(::chown(folder.c_str(), stranger, static_cast<gid_t>(-1)), 0);
    }
    std::string why = c.why;
    for (std::size_t at; (at = why.find("%F")) != std::string::npos;)
      why.replace(at, 2, real(folder));
    for (std::size_t at; (at = why.find("%P")) != std::string::npos;)
      why.replace(at, 2, real(path));
    const StationConfigResult loaded = LoadStationConfig({path, ""}, files);
    EXPECT_EQ(loaded.error, why.empty() ? "" : head + path + "：" + why);
    EXPECT_EQ(loaded.config.deviceCount,
              why.empty() ? std::optional<std::string>("4") : std::optional<std::string>());
  }
  // A link is as safe as the folder it stands in, whatever it points to.
  const std::string open = scratch / "open";
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  const std::string link = open + "/quillmark.toml";
  ASSERT_EQ(::symlink((scratch / "safe/quillmark.toml").c_str(), link.c_str()), 0);
  EXPECT_EQ(LoadStationConfig({"", link}, files).error,
            head + link + "：所在目录 " + real(open) + " 可被其他用户修改（请运行 chmod go-w " +
                real(open) + "）");
}

}  // namespace
