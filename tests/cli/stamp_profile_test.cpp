// quillmark-cli --profile end to end: what a profile writes, what verify
// --profile proves, and every refusal before device 1.
#include <algorithm>
#include <cstdio>

#include "cli_fixture.h"
#include "stamp_fixture.h"

namespace quillmark::test {
namespace {

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The device's two addresses: first (its last two octets given) and the next.
std::vector<std::uint8_t> TwoAddresses(int first) {
  std::vector<std::uint8_t> addresses = {0x04, 0x57, 0x55, 0x00, 0x00, 0x00};
  addresses[4] = static_cast<std::uint8_t>(first >> 8);
  addresses[5] = static_cast<std::uint8_t>(first);
  std::vector<std::uint8_t> second = addresses;
  second[4] = static_cast<std::uint8_t>((first + 1) >> 8);
  second[5] = static_cast<std::uint8_t>(first + 1);
  addresses.insert(addresses.end(), second.begin(), second.end());
  return addresses;
}

class StampProfileTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_fixture = MakeStampFixture(m_dir.path(), 2);
    ASSERT_FALSE(m_fixture.image.empty()) << "mkenvimage did not run";
    WriteFileBytes(m_dir / "image.img", m_fixture.image);
    WriteFileBytes(m_dir / "profile.toml", Bytes(m_fixture.profileText));
  }
  std::vector<std::string> Fields(const std::string& profile) const {
    return {"--image=image.img", "--out=out",           "--start-mac=04:57:55:00:00:fe",
            "--count=3",         "--macs-per-device=2", "--profile=" + profile};
  }
  StampFixture m_fixture;
};

const char* const kNames[] = {"fw_045755_0000fe.img", "fw_045755_000100.img",
                              "fw_045755_000102.img"};

TEST_F(StampProfileTest, EveryDeviceCarriesItsAddressesUnderValidChecksums) {
  const ChildResult written = Run(With(Fields("profile.toml"), {"--quiet"}));
  ASSERT_EQ(written.exitCode, 0) << written.err;
  for (int device = 0; device < 3; ++device) {
    const std::string path = m_root + "/out/" + kNames[device];
    const std::vector<std::uint8_t> addresses = TwoAddresses(0xfe + 2 * device);
    EXPECT_TRUE(ReadFileBytes(path) == m_fixture.Expected(addresses)) << path;
    char ethaddr[32];
    std::snprintf(ethaddr, sizeof ethaddr, "ethaddr=04:57:55:00:%02x:%02x\n", addresses[4],
                  addresses[5]);
    EXPECT_EQ(PrintEthaddr(m_dir.path(), path), ethaddr);
  }
  std::vector<std::string> verify = Fields("profile.toml");
  verify.insert(verify.begin(), "verify");
  const ChildResult exact = Run(verify);
  EXPECT_EQ(exact.exitCode, 0) << exact.out << exact.err;

  // A zeroed CRC: the boot loader would fall back to its default
  // environment, and verify names the checksum.
  std::vector<std::uint8_t> broken = ReadFileBytes(m_root + "/out/" + kNames[1]);
  std::fill_n(broken.begin() + StampFixture::kEnvironment, 4, 0);
  WriteFileBytes(m_root + "/out/" + kNames[1], broken);
  EXPECT_NE(PrintEthaddr(m_dir.path(), m_root + "/out/" + kNames[1]),
            "ethaddr=04:57:55:00:01:00\n");
  const ChildResult failed = Run(verify);
  EXPECT_EQ(failed.exitCode, 3);
  EXPECT_NE(failed.out.find(Said("文件内容不符: out/", "File content differs: out/") + kNames[1] +
                            Said(" 偏移0x200000（第13行 crc32 校验和）",
                                 " at offset 0x200000 (the crc32 checksum on line 13)")),
            std::string::npos)
      << failed.out;
}

// The report's detail names the field or checksum a difference lies in,
// as the console line does; and a file of another name holding one of the
// batch's addresses where the profile puts them is a duplicate, not just
// another lot's file.
TEST_F(StampProfileTest, VerifyNamesThePartThatDiffersAndFindsCopiesByTheirFields) {
  ASSERT_EQ(Run(With(Fields("profile.toml"), {"--quiet"})).exitCode, 0);
  const std::string first = m_root + "/out/" + kNames[0];
  std::vector<std::uint8_t> broken = ReadFileBytes(first);
  const std::vector<std::uint8_t> exact = broken;
  broken[m_fixture.ethaddrText + 16] ^= 1;  // the text's last digit
  WriteFileBytes(first, broken);
  const std::string last = m_root + "/out/" + kNames[2];
  const std::vector<std::uint8_t> lastExact = ReadFileBytes(last);
  broken = lastExact;
  std::fill_n(broken.begin() + StampFixture::kEnvironment, 4, 0);
  WriteFileBytes(last, broken);

  std::vector<std::string> verify = With(Fields("profile.toml"), {"--quiet", "--report=r.csv"});
  verify.insert(verify.begin(), "verify");
  const ChildResult failed = Run(verify);
  EXPECT_EQ(failed.exitCode, 3);
  char fieldOffset[16];
  std::snprintf(fieldOffset, sizeof fieldOffset, "0x%llx",
                static_cast<unsigned long long>(m_fixture.ethaddrText + 16));
  EXPECT_NE(failed.out.find(Said("文件内容不符: out/", "File content differs: out/") + kNames[0] +
                            Said(" 偏移", " at offset ") + fieldOffset +
                            Said("（第2行 mac-text 字段）", " (the mac-text field on line 2)")),
            std::string::npos)
      << failed.out;
  // The report is data: the same bytes whatever the language of the check.
  const std::vector<std::uint8_t> reportBytes = ReadFileBytes(m_root + "/r.csv");
  const std::string report(reportBytes.begin(), reportBytes.end());
  EXPECT_EQ(report, std::string("file,result,detail\n") + kNames[0] + ",differs," + fieldOffset +
                        " line 2 mac-text\n" + kNames[1] + ",exact,\n" + kNames[2] +
                        ",differs,0x200000 line 13 crc32\n");

  // The second device's copy under a name of no device of the batch.
  WriteFileBytes(first, exact);
  WriteFileBytes(last, lastExact);
  WriteFileBytes(m_root + "/out/fw_045755_00aaaa.img", ReadFileBytes(m_root + "/out/" + kNames[1]));
  const ChildResult copied = Run(verify);
  EXPECT_EQ(copied.exitCode, 3);
  EXPECT_NE(copied.out.find(Said("MAC地址重复: out/fw_045755_00aaaa.img 04:57:55:00:01:00",
                                 "Duplicate MAC address: out/fw_045755_00aaaa.img holds "
                                 "04:57:55:00:01:00")),
            std::string::npos)
      << copied.out;
}

TEST_F(StampProfileTest, DryRunChecksTheProfileAndPrintsTheSamePlan) {
  std::vector<std::string> plain = Fields("profile.toml");
  plain.pop_back();
  const ChildResult without = Run(With(plain, {"--dry-run"}));
  const ChildResult with = Run(With(Fields("profile.toml"), {"--dry-run"}));
  ASSERT_EQ(with.exitCode, 0) << with.err;
  EXPECT_EQ(with.out, without.out);
  WriteFileBytes(m_dir / "bad.toml",
                 Bytes("[[field]]\ntype = \"mac\"\noffset = 0x3FFFFE\naddress = 1\n"));
  const ChildResult refused = Run(With(Fields("bad.toml"), {"--dry-run"}));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.out.empty());
}

// Each refusal: one line naming the profile's line or key, exit 1, and
// not even the output folder made.
TEST_F(StampProfileTest, ProfilesThatDoNotFitAreRefusedBeforeDeviceOne) {
  const std::string mac = "[[field]]\ntype = \"mac\"\naddress = 1\n";
  struct Case {
    const char* what;
    std::string profile;
    std::string line;
  } cases[] = {
      {"not TOML", "[[field]\ntype = \"mac\"\n",
       Said("bad.toml 第1行：不是有效的TOML", "bad.toml line 1: not valid TOML")},
      {"a character the parser mishandles", mac + "offset = 0x100 \u03d9\n",
       Said("bad.toml 第4行：注释和字符串之外只能使用ASCII字符",
            "bad.toml line 4: outside comments and strings only ASCII characters may be used")},
      {"beyond ASCII outside a comment", mac + "offset = 0x100\n\ufb3b+xor16\n",
       Said("bad.toml 第5行：注释和字符串之外只能使用ASCII字符",
            "bad.toml line 5: outside comments and strings only ASCII characters may be used")},
      // An escaped quote does not end the string: what follows it is no
      // comment, and a character beyond ASCII after the string is refused.
      {"beyond ASCII after an escaped quote", "[[field]]\ntype = \"\\\"#\" \u00e9\n",
       Said("bad.toml 第2行：注释和字符串之外只能使用ASCII字符",
            "bad.toml line 2: outside comments and strings only ASCII characters may be used")},
      // Inside a one-line string, or after a table header, the parser reads
      // it safely, and the profile's own rules judge the value.
      {"beyond ASCII inside a string", "[[field]]\ntype = \"\\\"#\u00e9\"\n",
       Said("bad.toml 第2行：未知的字段类型 \"#\u00e9",
            "bad.toml line 2: unknown field type \"#\u00e9")},
      {"beyond ASCII after a header", "[[field]] # \u5730\u5740\ntype = \"ipv6\"\n",
       Said("bad.toml 第2行：未知的字段类型 ipv6", "bad.toml line 2: unknown field type ipv6")},
      {"unknown key", mac + "offset = 0x100\ncolour = 1\n",
       Said("bad.toml 第5行：未知的键 colour", "bad.toml line 5: unknown key colour")},
      {"unknown top key", "[fields]\n",
       Said("bad.toml 第1行：未知的键 fields", "bad.toml line 1: unknown key fields")},
      {"unknown type", "[[field]]\ntype = \"ipv6\"\noffset = 0\naddress = 1\n",
       Said("bad.toml 第2行：未知的字段类型 ipv6", "bad.toml line 2: unknown field type ipv6")},
      {"unknown checksum", mac + "offset = 0x100\n[[checksum]]\ntype = \"md5\"\n",
       Said("bad.toml 第6行：未知的校验和类型 md5", "bad.toml line 6: unknown checksum type md5")},
      {"both offsets", mac + "offset = 0x100\nfrom_end = 0x100\n",
       Said("bad.toml 第1行：offset 与 from_end 须有且只有一个",
            "bad.toml line 1: give exactly one of offset and from_end")},
      {"no field", "", Said("bad.toml 第1行：没有 [[field]]", "bad.toml line 1: no [[field]]")},
      {"past the end", mac + "offset = 0x3FFFFE\n",
       Said("bad.toml 第1行：mac 字段 超出映像末尾",
            "bad.toml line 1: the mac field reaches past the end of the image")},
      {"from_end past the start", mac + "from_end = 0x400001\n",
       Said("bad.toml 第1行：mac 字段 的 from_end 应在1至0x400000之间",
            "bad.toml line 1: from_end of the mac field must be from 1 to 0x400000")},
      {"overlap", mac + "offset = 0x100\n" + mac + "offset = 0x104\n",
       Said("bad.toml 第5行：mac 字段 与第1行的mac 字段 重叠",
            "bad.toml line 5: the mac field overlaps the mac field on line 1")},
      {"signature", mac + "offset = 0x1BFFB\n",
       Said("bad.toml 第1行：mac 字段 覆盖了映像的签名或编译时间字节",
            "bad.toml line 1: the mac field covers the image's signature or build time bytes")},
      {"build stamp", mac + "offset = 0x2015A\n",
       Said("bad.toml 第1行：mac 字段 覆盖了映像的签名或编译时间字节",
            "bad.toml line 1: the mac field covers the image's signature or build time bytes")},
      {"address", "[[field]]\ntype = \"mac\"\noffset = 0x100\naddress = 3\n",
       Said("bad.toml 第1行：mac 字段 的 address 3 超过每设备MAC数量 2",
            "bad.toml line 1: address 3 of the mac field is more than the 2 MAC addresses per "
            "device")},
      {"address past 4", "[[field]]\ntype = \"mac\"\noffset = 0x100\naddress = 5\n",
       Said("bad.toml 第4行：address 应是1至4的整数",
            "bad.toml line 4: address must be a whole number from 1 to 4")},
      {"address 0", "[[field]]\ntype = \"mac\"\noffset = 0x100\naddress = 0\n",
       Said("bad.toml 第4行：address 应是1至4的整数",
            "bad.toml line 4: address must be a whole number from 1 to 4")},
      {"a key given twice, quoted", mac + "offset = 0x100\n\"offset\" = 0x200\n",
       Said("bad.toml 第5行：键 offset 重复", "bad.toml line 5: the key offset is given twice")},
      {"a key given twice, bare", mac + "offset = 0x100\noffset = 0x200\n",
       Said("bad.toml 第5行：键 offset 重复", "bad.toml line 5: the key offset is given twice")},
      {"crc inside its range",
       mac + "offset = 0x100\n[[checksum]]\ntype = \"crc32\"\noffset = 0x200000\nstart = "
             "0x200000\nend = 0x210000\n",
       Said("bad.toml 第5行：crc32 校验和 存放在它自己覆盖的范围之内",
            "bad.toml line 5: the crc32 checksum is stored inside the range it covers")},
      {"input crc does not hold",
       mac + "offset = 0x100\n[[checksum]]\ntype = \"crc32\"\noffset = 0x200000\nstart = "
             "0x200008\nend = 0x210000\n",
       Said("bad.toml 第5行：输入映像的 crc32 不符",
            "bad.toml line 5: the input image's crc32 does not match")},
      {"sum16 total does not hold",
       mac + "offset = 0x300010\n[[checksum]]\ntype = \"sum16\"\noffset = 0x300002\nstart = "
             "0x300000\nend = 0x300844\ntotal = 0xBABA\n",
       Said("bad.toml 第5行：输入映像的 sum16 为", "bad.toml line 5: the input image's sum16 is")},
      {"checksum covering a later one",
       mac +
           "offset = 0x300010\n[[checksum]]\ntype = \"crc32\"\noffset = 0x2FFFF0\nstart = "
           "0x300000\nend = 0x300844\n"
           "[[checksum]]\ntype = \"xor16\"\noffset = 0x300002\nstart = 0x300000\nend = 0x300844\n",
       Said("bad.toml 第5行：它覆盖第10行的校验和，应排在其后",
            "bad.toml line 5: it covers the checksum on line 10, so it must come after it")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(m_dir / "bad.toml", Bytes(c.profile));
    const ChildResult refused = Run(Fields("bad.toml"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(
        refused.err.rfind(Said("配置文件错误！", "Cannot use the stamp profile: ") + c.line, 0), 0u)
        << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_TRUE(m_dir.List("out").empty());
  }
}

// A field's place must hold what the field expects in the input image: a
// mac-text field one byte off (the value's "=" or its end in the text), a
// mac field over a group address, a "blank" field over an address. Each
// is refused naming the field's line and what was found, and expect =
// "any" waives the check.
TEST_F(StampProfileTest, FieldsThatDoNotFindTheirFormInTheImageAreRefused) {
  char early[24];
  char late[24];
  std::snprintf(early, sizeof early, "0x%llX",
                static_cast<unsigned long long>(m_fixture.ethaddrText - 1));
  std::snprintf(late, sizeof late, "0x%llX",
                static_cast<unsigned long long>(m_fixture.ethaddrText + 1));
  const std::string textField = "[[field]]\ntype = \"mac-text\"\naddress = 1\n";
  const std::string macField = "[[field]]\ntype = \"mac\"\naddress = 1\noffset = 0x300006\n";
  std::vector<std::uint8_t> group = m_fixture.image;
  const std::uint8_t multicast[] = {0x01, 0x00, 0x5e, 0x00, 0x00, 0x01};
  std::copy(std::begin(multicast), std::end(multicast), group.begin() + 0x300006);
  WriteFileBytes(m_dir / "group.img", group);
  struct Case {
    const char* what;
    std::string profile;
    const char* image;
    std::string line;  // empty: written
  } cases[] = {
      {"mac-text one byte early", textField + "separator = \"\"\noffset = " + early + "\n",
       "image.img",
       Said("bad.toml 第1行：mac-text 字段处输入映像存有 \"=00:11:22:33\"，不是12个十六进制数字",
            "bad.toml line 1: the input image holds \"=00:11:22:33\" at the mac-text field, not "
            "12 hexadecimal digits")},
      {"mac-text one byte late", textField + "offset = " + late + "\n", "image.img",
       Said("bad.toml 第1行：mac-text 字段处输入映像存有 \"0:11:22:33:44:55\\x00\"，"
            "不是6组两位十六进制数字，以 \":\" 分隔",
            "bad.toml line 1: the input image holds \"0:11:22:33:44:55\\x00\" at the mac-text "
            "field, not 6 pairs of hexadecimal digits separated by \":\"")},
      {"waived text", textField + "separator = \"\"\nexpect = \"any\"\noffset = " + early + "\n",
       "image.img", ""},
      {"a group address", macField, "group.img",
       Said("bad.toml 第1行：mac 字段处输入映像存有 01:00:5e:00:00:01，不是单播地址或全 00、全 ff "
            "的空白",
            "bad.toml line 1: the input image holds 01:00:5e:00:00:01 at the mac field, not a "
            "unicast address or blank bytes (all 00 or all ff)")},
      {"waived address", macField + "expect = \"any\"\n", "group.img", ""},
      {"blank expected", macField + "expect = \"blank\"\n", "group.img",
       Said("bad.toml 第1行：mac 字段处输入映像存有 01:00:5e:00:00:01，不是全 00 或全 ff 的空白",
            "bad.toml line 1: the input image holds 01:00:5e:00:00:01 at the mac field, not blank "
            "bytes (all 00 or all ff)")},
      {"unknown expect", macField + "expect = \"unicast\"\n", "image.img",
       Said("bad.toml 第5行：mac 字段的 expect 应是 \"address\"、\"blank\" 或 \"any\"",
            "bad.toml line 5: expect of a mac field must be \"address\", \"blank\" or \"any\"")},
      {"text expect on a mac", macField + "expect = \"text\"\n", "image.img",
       Said("bad.toml 第5行：mac 字段的 expect", "bad.toml line 5: expect of a mac field")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(m_dir / "bad.toml", Bytes(c.profile));
    std::vector<std::string> args = Fields("bad.toml");
    args[0] = std::string("--image=") + c.image;
    args[1] = std::string("--out=out-") + c.what;
    const ChildResult run = Run(args);
    if (c.line.empty()) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      continue;
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind(Said("配置文件错误！", "Cannot use the stamp profile: ") + c.line, 0),
              0u)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

}  // namespace
}  // namespace quillmark::test
