// ZPL made label by label as it is written or sent: the bytes pinned by
// golden files, the pieces they are handed out in, a write cut short, and
// a printer that hears nothing when a label cannot be made.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "english_mode.h"
#include "label_font.h"
#include "labels_fixture.h"
#include "roll_layout.h"
#include "zpl_labels.h"

namespace quillmark::test {
namespace {

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// Where two documents part, for a failure message short enough to read.
std::string FirstDifference(const std::string& got, const std::string& want) {
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at])
    ++at;
  return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size()) +
         ", first difference at byte " + std::to_string(at) + ": \"" + got.substr(at, 40) +
         "\" where \"" + want.substr(at, 40) + "\" was expected";
}

// A fontconfig configuration with the machine's fonts and, ahead of any
// family a program asks for, other faces: a sans-serif the machine may
// have, and the monospaced sibling of the label font from its very file,
// as a desktop with more fonts installed puts them first.
void WriteCrowdedFontConfig(const ScratchDir& dir) {
  WriteText(dir / "fonts.conf",
            "<?xml version=\"1.0\"?>\n"
            "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
            "<fontconfig>\n"
            "  <dir>/usr/share/fonts</dir>\n"
            "  <cachedir>" +
                dir.path() +
                "/font-cache</cachedir>\n"
                "  <match target=\"pattern\">\n"
                "    <edit name=\"family\" mode=\"prepend\" binding=\"strong\">\n"
                "      <string>WenQuanYi Micro Hei Mono</string>\n"
                "      <string>DejaVu Sans</string>\n"
                "    </edit>\n"
                "  </match>\n"
                "</fontconfig>\n");
}

// The golden files hold the bytes a printer is sent for two devices from
// 04:57:55:00:10:00, drawn in the label font the packages depend on
// (fonts-wqy-microhei). The same bytes come whatever else the machine
// offers first: the font is asked for by its family name, and its face is
// made from its file alone, without the configuration's rendering settings.
TEST_F(LabelsTest, ZplFileHoldsTheGoldenBytesWhateverElseIsInstalled) {
  struct Golden {
    std::string file;
    std::int32_t macsPerDevice;
    std::vector<std::string> args;
  };
  const Golden cases[] = {
      {"qr_300dpi_roll-60x30.zpl",
       2,
       {"--code", "qr", "--dpi", "300", "--layout", "roll-60x30", "--title", "产品A 批次0412"}},
      {"code128_203dpi_roll-50x25.zpl", 1, {"--code", "code128", "--layout", "roll-50x25"}},
      {"datamatrix_600dpi_roll-100x60.zpl",
       4,
       {"--code", "datamatrix", "--dpi", "600", "--layout", "roll-100x60", "--title", "产品A"}},
  };
  WriteCrowdedFontConfig(m_dir);
  for (const bool crowded : {false, true}) {
    ChildOptions options;
    if (crowded)
      options.environment.push_back("FONTCONFIG_FILE=" + m_dir / "fonts.conf");
    for (const Golden& c : cases) {
      SCOPED_TRACE(c.file + (crowded ? " with other fonts first" : ""));
      WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, c.macsPerDevice));
      std::vector<std::string> args = {"--manifest", "lot.csv", "--zpl", "lot.zpl"};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const ChildResult run = Labels(args, options);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const std::string got = Text(ReadFileBytes(m_dir / "lot.zpl"));
      const std::string want = Text(ReadFileBytes(QUILLMARK_ZPL_GOLDEN_DIR "/" + c.file));
      ASSERT_FALSE(want.empty());
      EXPECT_TRUE(got == want) << FirstDifference(got, want);
    }
  }
}

// A station names its font in label_font, and --font names one for a
// run: each sets the labels in that family, and --font wins.
TEST_F(LabelsTest, TheStationOrTheCommandLineNamesTheFont) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 2));
  WriteText(m_dir / "station.toml", "label_font = \"WenQuanYi Micro Hei Mono\"\n");
  ChildOptions station;
  station.environment.push_back("QUILLMARK_SYSTEM_CONFIG=" + m_dir / "station.toml");
  const std::string golden =
      Text(ReadFileBytes(QUILLMARK_ZPL_GOLDEN_DIR "/qr_300dpi_roll-60x30.zpl"));
  const auto zplWith = [&](std::vector<std::string> font, const ChildOptions& options) {
    std::vector<std::string> args = {"--manifest", "lot.csv",       "--zpl",    "lot.zpl",
                                     "--dpi",      "300",           "--layout", "roll-60x30",
                                     "--title",    "产品A 批次0412"};
    args.insert(args.end(), font.begin(), font.end());
    const ChildResult run = Labels(args, options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return Text(ReadFileBytes(m_dir / "lot.zpl"));
  };
  const std::string mono = zplWith({}, station);
  EXPECT_FALSE(mono == golden);  // the title is drawn in the monospaced face
  EXPECT_TRUE(zplWith({"--font", "WenQuanYi Micro Hei Mono"}, {}) == mono);
  EXPECT_TRUE(zplWith({"--font", "WenQuanYi Micro Hei"}, station) == golden);
}

TEST(ZplPiecesTest, LabelsAreHandedOutWholeInPiecesOfAtLeastTheSizeAsked) {
  const ManifestReading reading = ParseManifest(ManifestText("04:57:55:00:10:00", 5, 2, nullptr));
  ASSERT_TRUE(reading.manifest) << reading.error;
  labels::ZplRequest request;
  const std::optional<labels::LabelLayout> roll = labels::ParseRollLayout("roll-60x30");
  ASSERT_TRUE(roll);
  request.layout = &*roll;
  request.title = "产品A";
  request.dotsPerMillimetre = 12;
  {
    const labels::ZplLabels document = labels::CheckZplLabels(request, *reading.manifest);
    ASSERT_EQ(document.Error(), "");
    const auto pieces = [&](std::size_t pieceBytes, std::size_t refuseAfter) {
      std::vector<std::string> got;
      const bool all = document.WriteTo(
          [&](std::string_view piece) {
            got.emplace_back(piece);
            return got.size() < refuseAfter;
          },
          pieceBytes);
      return std::make_pair(all, got);
    };
    const auto [whole, one] = pieces(labels::kZplPieceBytes, 100);
    ASSERT_TRUE(whole);
    ASSERT_EQ(one.size(), 1u);
    const std::string& all = one.front();

    // A piece of one byte at least: each label its own piece, the first
    // after the title's picture stored ahead of it.
    const auto [each, labelsApart] = pieces(1, 100);
    ASSERT_TRUE(each);
    ASSERT_EQ(labelsApart.size(), 5u);
    EXPECT_TRUE(labelsApart.front().starts_with("~DGR:")) << labelsApart.front();
    std::string joined;
    for (const std::string& piece : labelsApart) {
      const std::size_t label = piece.find("^XA\n");
      EXPECT_TRUE(label == (joined.empty() ? piece.find("\n") + 1 : 0) && piece.ends_with("^XZ\n"))
          << piece;
      joined += piece;
    }
    EXPECT_EQ(joined, all);

    // Pieces of half the document: three labels make the first, the last
    // two the second, which is shorter.
    const auto [halves, two] = pieces(all.size() / 2, 100);
    ASSERT_TRUE(halves);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0] + two[1], all);

    // A sink that refuses stops the writing at once.
    const auto [cut, before] = pieces(1, 2);
    EXPECT_FALSE(cut);
    EXPECT_EQ(before.size(), 2u);
  }
  labels::ReleaseFontCaches();
}

TEST_F(LabelsTest, ZplWriteCutShortLeavesNoFileAndKeepsTheOlderOne) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 600, 2));
  WriteText(m_dir / "old.zpl", "^XA an older sheet ^XZ");
  // Room for a piece or two of the document, not all of it.
  ChildOptions limited;
  limited.fileSizeLimit = 3 * labels::kZplPieceBytes / 2;
  const ChildResult run = Labels({"--manifest", "lot.csv", "--zpl", "old.zpl", "--layout",
                                  "roll-50x25", "--dpi", "600", "--title", "产品A 批次0412"},
                                 limited);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, Said("标签文件无法写入！old.zpl\n", "Cannot write the label file: old.zpl\n"));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "old.zpl"}));
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "old.zpl")), "^XA an older sheet ^XZ");

  // The same run without the limit is larger than the limit: the cut was real.
  const ChildResult whole = Labels({"--manifest", "lot.csv", "--zpl", "old.zpl", "--layout",
                                    "roll-50x25", "--dpi", "600", "--title", "产品A 批次0412"});
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_GT(ReadFileBytes(m_dir / "old.zpl").size(), 2 * labels::kZplPieceBytes);
}

TEST_F(LabelsTest, PrinterIsNotContactedWhenALabelCannotBeMade) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string printer = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

  // The last of three devices needs a QR code (lower-case letters take
  // more room than digits) too large for a small roll; the first two alone
  // print.
  const std::string first = ManifestText("04:57:55:00:10:00", 2, 1);
  WriteText(m_dir / "two.csv", first);
  const ChildResult two = Labels(
      {"--manifest", "two.csv", "--zpl", "two.zpl", "--layout", "roll-30x15", "--code", "qr"});
  ASSERT_EQ(two.exitCode, 0) << two.err;
  const std::string last = ManifestText("fc:ab:cd:ef:ab:c0", 1, 1);
  WriteText(m_dir / "lot.csv", first + last.substr(last.find('\n') + 1));
  const ChildResult run = Labels(
      {"--manifest", "lot.csv", "--printer", printer, "--layout", "roll-30x15", "--code", "qr"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.starts_with(Said("条码太密", "The code is too dense")) &&
              run.err.find("fw_fcabcd_efabc0.img") != std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
  // The run is over: a connection it had made would be waiting by now.
  pollfd waiting{listener, POLLIN, 0};
  EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "the printer was contacted";
  ::close(listener);
}

}  // namespace
}  // namespace quillmark::test
