// ZPL for thermal printers read back as the printer would print it: every
// label drawn by an independent renderer at the printer's resolution and
// decoded by the same barcode readers as the PDF sheets; sent to a printer
// listening on the loopback.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "english_mode.h"
#include "label_code.h"
#include "labels_fixture.h"
#include "page_scan.h"

namespace quillmark::test {
namespace {

using labels::CodeKind;

struct ZplCase {
  std::string code;
  CodeKind kind;
  int dpi;
  std::string layout;
  int width;
  int height;
  std::int32_t macsPerDevice;
};

void PrintTo(const ZplCase& c, std::ostream* os) {
  *os << c.code << "_" << c.dpi << "dpi_" << c.layout << "_" << c.macsPerDevice << "macs";
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// Every ^FD field's data, up to its ^FS.
std::vector<std::string> FieldData(const std::string& zpl) {
  std::vector<std::string> fields;
  for (std::size_t at = zpl.find("^FD"); at != std::string::npos; at = zpl.find("^FD", at + 1))
    fields.push_back(zpl.substr(at + 3, zpl.find("^FS", at) - at - 3));
  return fields;
}

class ZplRoundTripTest : public LabelsTest, public testing::WithParamInterface<ZplCase> {};

TEST_P(ZplRoundTripTest, EveryLabelRendersAndScansBackInManifestOrder) {
  const ZplCase& c = GetParam();
  std::vector<ExpectedDevice> devices;
  // Saved by a spreadsheet: a byte-order mark and CR LF line ends.
  std::string manifest = ManifestText("04:57:55:00:10:00", 3, c.macsPerDevice, &devices);
  for (std::size_t at = manifest.find('\n'); at != std::string::npos;
       at = manifest.find('\n', at + 2))
    manifest.insert(at, "\r");
  WriteText(m_dir / "lot.csv", "\xEF\xBB\xBF" + manifest);
  const ChildResult run =
      Labels({"--manifest", "lot.csv", "--zpl", "lot.zpl", "--layout", c.layout, "--code", c.code,
              "--dpi", std::to_string(c.dpi), "--title", "产品A 批次0412"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, Said("标签已写入：3个标签：lot.zpl\n", "Labels written: 3 labels: lot.zpl\n"));
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "lot.zpl"}));

  const std::string zpl = Text(ReadFileBytes(m_dir / "lot.zpl"));
  const int dpmm = c.dpi == 203 ? 8 : c.dpi == 300 ? 12 : 24;
  EXPECT_EQ(Count(zpl, "^XA"), 3u);
  EXPECT_EQ(Count(zpl, "^XZ"), 3u);
  EXPECT_EQ(
      Count(zpl, "^PW" + std::to_string(c.width * dpmm) + "^LL" + std::to_string(c.height * dpmm)),
      3u);
  // The Chinese title is a picture, stored once ahead of the labels and
  // recalled on every one.
  EXPECT_TRUE(zpl.starts_with("~DGR:")) << zpl.substr(0, 40);
  EXPECT_EQ(Count(zpl, "~DG"), 1u);
  EXPECT_EQ(Count(zpl, "^XGR:"), 3u);
  for (const std::string& field : FieldData(zpl)) {
    for (const char ch : field)
      EXPECT_LT(static_cast<unsigned char>(ch), 0x80) << field;
  }

  const ChildResult render = RunChild(
      {"node", QUILLMARK_ZPL_RENDER_DIR "/render.js", m_dir / "lot.zpl", std::to_string(c.width),
       std::to_string(c.height), std::to_string(dpmm), m_dir / "label"});
  ASSERT_EQ(render.exitCode, 0) << render.err;
  ASSERT_EQ(render.out, "3\n");
  std::vector<std::string> pngs;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    pngs.push_back(m_dir / ("label" + std::to_string(i + 1) + ".png"));
    expected.push_back(labels::CodePayload(c.kind, devices[i].addresses));
  }
  std::vector<std::string> read;
  if (c.kind == CodeKind::DataMatrix) {
    for (const std::string& png : pngs) {
      const std::vector<std::string> found = ScanWithDmtx(png);
      read.push_back(found.size() == 1 ? found.front() : "<none>");
    }
  } else {
    for (const std::vector<std::string>& found : ScanWithZbar(pngs))
      read.push_back(found.size() == 1 ? found.front() : "<" + std::to_string(found.size()) + ">");
  }
  EXPECT_EQ(read, expected);
}

std::vector<ZplCase> Cases() {
  std::vector<ZplCase> cases;
  const std::pair<std::string, CodeKind> codes[] = {
      {"qr", CodeKind::Qr}, {"code128", CodeKind::Code128}, {"datamatrix", CodeKind::DataMatrix}};
  for (const auto& [name, kind] : codes) {
    for (const int dpi : {203, 300, 600}) {
      cases.push_back({name, kind, dpi, "roll-50x25", 50, 25, kind == CodeKind::Code128 ? 1 : 2});
      cases.push_back({name, kind, dpi, "roll-100x60", 100, 60, kind == CodeKind::Code128 ? 2 : 4});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Printers, ZplRoundTripTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ZplCase>& info) {
                           std::string name = testing::PrintToString(info.param);
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch)))
                               ch = '_';
                           }
                           return name;
                         });

TEST_F(LabelsTest, PrinterGetsTheFilesExactBytesAndAClosedPortFailsClearly) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 40, 2));
  const ChildResult file = Labels({"--manifest", "lot.csv", "--zpl", "lot.zpl", "--layout",
                                   "roll-60x30", "--dpi", "300", "--title", "产品A"});
  ASSERT_EQ(file.exitCode, 0) << file.err;

  int port = 0;
  const int listener = ListenOnLoopback(&port);
  ASSERT_GE(listener, 0);
  std::string received;
  std::thread printer([&] {
    const int connection = ::accept(listener, nullptr, nullptr);
    char buffer[65536];
    for (ssize_t n; (n = ::read(connection, buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<std::size_t>(n));
    ::close(connection);
  });
  const std::string host = "127.0.0.1:" + std::to_string(port);
  const ChildResult sent = Labels({"--manifest", "lot.csv", "--printer", host, "--layout",
                                   "roll-60x30", "--dpi", "300", "--title", "产品A"});
  printer.join();
  ::close(listener);
  ASSERT_EQ(sent.exitCode, 0) << sent.err;
  EXPECT_EQ(sent.out, Said("标签已发送：40个标签：打印机 ", "Labels sent: 40 labels: printer ") +
                          host + "\n");
  EXPECT_EQ(received, Text(ReadFileBytes(m_dir / "lot.zpl")));

  // The port of a listener now closed: nobody is there, the connection is refused.
  const int gone = ListenOnLoopback(&port);
  ASSERT_GE(gone, 0);
  ::close(gone);
  const std::string closed = "127.0.0.1:" + std::to_string(port);
  const ChildResult refused =
      Labels({"--manifest", "lot.csv", "--printer", closed, "--layout", "roll-60x30"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, Said("无法连接打印机：", "Cannot connect to the printer: ") + closed +
                             Said("！\n", ".\n"));
  EXPECT_EQ(refused.out, "");
}

TEST_F(LabelsTest, ZplFileIsRefusedOntoTheManifestADirectoryANodeOrAnotherFile) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 1));
  ASSERT_EQ(::mkdir((m_dir / "folder.zpl").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((m_dir / "fifo.zpl").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("lot.csv", (m_dir / "link.zpl").c_str()), 0);
  const std::vector<std::string> before = m_dir.List();
  const std::pair<std::string, std::string> cases[] = {
      {"lot.csv",
       Said("标签文件不能是清单文件！lot.csv", "The label file must not be the manifest: lot.csv")},
      {"link.zpl", Said("标签文件不能是清单文件！link.zpl",
                        "The label file must not be the manifest: link.zpl")},
      {"folder.zpl", Said("标签文件不能是目录！folder.zpl",
                          "The label file must not be a directory: folder.zpl")},
      {"fifo.zpl", Said("标签文件已存在且不是普通文件！fifo.zpl",
                        "The label file exists and is not a regular file: fifo.zpl")},
      {"gone/lot.zpl",
       Said("标签文件无法写入！gone/lot.zpl", "Cannot write the label file: gone/lot.zpl")},
  };
  for (const auto& [path, error] : cases) {
    const ChildResult run =
        Labels({"--manifest", "lot.csv", "--zpl", path, "--layout", "roll-50x25"});
    EXPECT_EQ(run.exitCode, 1) << path;
    EXPECT_EQ(run.err, error + "\n");
  }
  EXPECT_EQ(m_dir.List(), before);
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "lot.csv")), ManifestText("04:57:55:00:10:00", 2, 1));

  // An earlier label file, with its title stored ahead of the labels or
  // without a title, is replaced; any other file is kept.
  const std::vector<std::string> titled = {"--manifest", "lot.csv",    "--zpl",   "lot.zpl",
                                           "--layout",   "roll-50x25", "--title", "产品A"};
  ASSERT_EQ(Labels(titled).exitCode, 0);
  ASSERT_TRUE(Text(ReadFileBytes(m_dir / "lot.zpl")).starts_with("~DG"));
  const ChildResult again =
      Labels({"--manifest", "lot.csv", "--zpl", "lot.zpl", "--layout", "roll-50x25", "--title="});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  ASSERT_TRUE(Text(ReadFileBytes(m_dir / "lot.zpl")).starts_with("^XA"));
  EXPECT_EQ(Labels(titled).exitCode, 0);
  WriteText(m_dir / "image.zpl", "~D not a label file");
  const ChildResult kept =
      Labels({"--manifest", "lot.csv", "--zpl", "image.zpl", "--layout", "roll-50x25"});
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_EQ(kept.err, Said("标签文件已存在且不是ZPL文件！image.zpl\n",
                           "The label file exists and is not a ZPL file: image.zpl\n"));
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "image.zpl")), "~D not a label file");
}

// ZPL prints on rolls: without --layout it takes roll-50x25, or the
// station configuration's layout when it names one.
TEST_F(LabelsTest, ZplWithoutALayoutTakesTheRollOrTheStations) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 1));
  ASSERT_EQ(
      Labels({"--manifest", "lot.csv", "--zpl", "given.zpl", "--layout", "roll-50x25"}).exitCode,
      0);
  const ChildResult plain = Labels({"--manifest", "lot.csv", "--zpl", "plain.zpl"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(ReadFileBytes(m_dir / "plain.zpl"), ReadFileBytes(m_dir / "given.zpl"));

  WriteText(m_dir / "station.toml", "layout = \"roll-40x20\"\n");
  ChildOptions station;
  station.environment = {"QUILLMARK_SYSTEM_CONFIG=" + m_dir / "station.toml"};
  ASSERT_EQ(
      Labels({"--manifest", "lot.csv", "--zpl", "small.zpl", "--layout", "roll-40x20"}).exitCode,
      0);
  const ChildResult configured = Labels({"--manifest", "lot.csv", "--zpl", "mine.zpl"}, station);
  ASSERT_EQ(configured.exitCode, 0) << configured.err;
  EXPECT_EQ(ReadFileBytes(m_dir / "mine.zpl"), ReadFileBytes(m_dir / "small.zpl"));
  EXPECT_NE(ReadFileBytes(m_dir / "mine.zpl"), ReadFileBytes(m_dir / "given.zpl"));
}

TEST_F(LabelsTest, ZplUsageErrorsAndACodeTooDenseForTheDotsWriteNothing) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 1));
  WriteText(m_dir / "old.zpl", "^XA an older sheet ^XZ");
  const std::string onlyOne =
      Said("--pdf、--zpl、--printer 只能给出一个", "give only one of --pdf, --zpl and --printer");
  const std::string rollsOnly =
      Said("ZPL只用于卷标（roll-WxH，如 --layout roll-50x25），不用于整张标签纸：",
           "ZPL is for rolls (roll-WxH, such as --layout roll-50x25) only, not for sheets: ");
  const std::string address =
      Said("打印机地址须为HOST或HOST:PORT（端口1–65535）：",
           "the printer's address must be HOST or HOST:PORT (port 1-65535): ");
  const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
      {{"--zpl", "a.zpl", "--pdf", "a.pdf"}, onlyOne},
      {{"--zpl", "a.zpl", "--printer", "127.0.0.1"}, onlyOne},
      {{"--zpl", "a.zpl", "--layout", "a4-3x8"}, rollsOnly + "a4-3x8"},
      {{"--printer", "127.0.0.1", "--layout", "letter-3x10"}, rollsOnly + "letter-3x10"},
      {{"--zpl", "a.zpl", "--layout", "roll-50x25", "--dpi", "250"},
       Said("分辨率须为203、300或600：250", "the resolution must be 203, 300 or 600: 250")},
      {{"--pdf", "a.pdf", "--dpi", "300"},
       Said("--dpi 只用于 --zpl 和 --printer", "--dpi is only for --zpl and --printer")},
      {{"--printer", "127.0.0.1:0", "--layout", "roll-50x25"}, address + "127.0.0.1:0"},
      {{"--printer", "127.0.0.1:65536", "--layout", "roll-50x25"}, address + "127.0.0.1:65536"},
  };
  for (const auto& [extra, error] : usage) {
    std::vector<std::string> args = {"--manifest", "lot.csv"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 2) << error;
    EXPECT_EQ(run.err, "quillmark-cli: " + error + "\n");
  }
  for (const std::string layout : {"roll-19x25", "roll-111x25", "roll-50x9", "roll-50x111",
                                   "roll-050x25", "roll-50X25", "roll-50x25x1", "roll-x25"}) {
    const ChildResult run = Labels({"--manifest", "lot.csv", "--zpl", "a.zpl", "--layout", layout});
    EXPECT_EQ(run.exitCode, 2) << layout;
  }
  // Refused before the file is touched: on the smallest roll not even the
  // file name's line fits; fc:ab:cd:ef:ab:cd has no digit pair Code 128
  // could pack, 46.75 mm of modules of two dots where a 50 mm roll has 46,
  // and the message names the resolution as it was given.
  WriteText(m_dir / "dense.csv", ManifestText("fc:ab:cd:ef:ab:c0", 1, 4));
  const ChildResult small = Labels({"--manifest", "dense.csv", "--zpl", "old.zpl", "--layout",
                                    "roll-20x10", "--code", "code128"});
  EXPECT_EQ(small.exitCode, 1);
  EXPECT_EQ(small.err,
            Said("文件名行以最小可读字号也放不下，roll-20x10 标签放不下！\n",
                 "The file name line does not fit even at the smallest legible size: it does "
                 "not fit on a roll-20x10 label.\n"));
  WriteText(m_dir / "dense.csv", ManifestText("fc:ab:cd:ef:ab:cd", 1, 1));
  const ChildResult dense = Labels({"--manifest", "dense.csv", "--zpl", "old.zpl", "--layout",
                                    "roll-50x25", "--code", "code128", "--dpi", "300"});
  EXPECT_EQ(dense.exitCode, 1);
  EXPECT_EQ(dense.err,
            Said("条码太密，roll-50x25 标签在 300 dpi 下放不下：fw_fcabcd_efabcd.img 的 Code 128 "
                 "需要 46.75 毫米宽，标签上只有 46.00 毫米！\n",
                 "The code is too dense for a roll-50x25 label at 300 dpi: the Code 128 of "
                 "fw_fcabcd_efabcd.img needs 46.75 mm, and the label has 46.00 mm.\n"));
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"dense.csv", "lot.csv", "old.zpl"}));
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "old.zpl")), "^XA an older sheet ^XZ");
}

}  // namespace
}  // namespace quillmark::test
