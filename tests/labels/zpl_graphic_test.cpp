// The title's picture stored once in ZPL's ASCII compression: drawn by the
// independent renderer dot for dot as the same picture in plain
// hexadecimal, over rows that take every shortcut of the compression.
#include <algorithm>

#include "labels_fixture.h"
#include "zpl_fields.h"

namespace quillmark::test {
namespace {

constexpr int kRowBytes = 256;  // 2048 dots: runs longer than one count
// A small box on every label: the renderer refuses a label with nothing on it.
const std::string kMark = "^FO0,0^GB4,4,4^FS";

// Rows given as hexadecimal digits, filled to the row with zeros.
labels::DotPicture Picture(const std::vector<std::string>& rows) {
  labels::DotPicture picture;
  picture.rowBytes = kRowBytes;
  for (std::string row : rows) {
    row.resize(2 * kRowBytes, '0');
    for (std::size_t at = 0; at < row.size(); at += 2)
      picture.bytes.push_back(
          static_cast<unsigned char>(std::stoi(row.substr(at, 2), nullptr, 16)));
  }
  return picture;
}

std::string Hex(const labels::DotPicture& picture) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char byte : picture.bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::string Digits(char digit, std::size_t count) {
  return std::string(count, digit);
}

class ZplGraphicTest : public LabelsTest {
 protected:
  // The label rendered at 8 dots a millimetre on a 260 × 10 mm roll.
  std::string Render(const std::string& name, const std::string& zpl) {
    WriteText(m_dir / (name + ".zpl"), zpl);
    const ChildResult render =
        RunChild({"node", QUILLMARK_ZPL_RENDER_DIR "/render.js", m_dir / (name + ".zpl"), "260",
                  "10", "8", m_dir / (name + "_")});
    EXPECT_EQ(render.exitCode, 0) << render.err;
    EXPECT_EQ(render.out, "1\n");
    const std::vector<std::uint8_t> png = ReadFileBytes(m_dir / (name + "_1.png"));
    return {png.begin(), png.end()};
  }
};

TEST_F(ZplGraphicTest, StoredCompressedPictureDrawsTheSameDotsAsPlainHexadecimal) {
  const std::string alternating = "A55AA55A0FF00FF0123456789ABCDEF";
  const labels::DotPicture picture = Picture({
      "",                                                         // all white: ','
      "",                                                         // the same again: ':'
      Digits('F', 2 * kRowBytes),                                 // all black
      "8",                                                        // one digit, then white
      Digits('0', 450) + "1",                                     // a white run past 399 inside
      Digits('F', 400) + "12",                                    // a black run of exactly 400
      Digits('3', 19) + Digits('C', 21) + Digits('7', 20) + "E",  // counts either side of 20
      "F" + Digits('0', 2 * kRowBytes - 2) + "F",                 // black at both ends
      alternating,                                                // no runs at all
      alternating,                                                // repeated after a plain row
      Digits('1', 2 * kRowBytes - 3) + "FFF",                     // black to the end
      Digits('6', 2 * kRowBytes),                                 // one run the whole row
      "0" + Digits('F', 2 * kRowBytes - 1),                       // white, then black to the end
  });
  const labels::StoredGraphic stored = labels::StoreGraphic(picture);
  const std::string total = std::to_string(picture.bytes.size());
  const std::string plain = "^XA^PW2080^LL80" + kMark + "^FO8,8^GFA," + total + "," + total + "," +
                            std::to_string(kRowBytes) + "," + Hex(picture) + "^FS^XZ\n";
  const std::string compressed =
      stored.store + "^XA^PW2080^LL80" + kMark + "^FO8,8" + stored.recall + "^XZ\n";
  EXPECT_LT(compressed.size() * 3, plain.size());
  const std::string empty = Render("empty", "^XA^PW2080^LL80" + kMark + "^XZ\n");
  const std::string want = Render("plain", plain);
  EXPECT_NE(want, empty) << "the picture must draw something to compare";
  EXPECT_TRUE(Render("compressed", compressed) == want) << compressed;

  // A picture one dot apart is stored under another name: a label never
  // recalls another title a printer may still hold.
  labels::DotPicture other = picture;
  other.bytes.back() ^= 1;
  EXPECT_NE(labels::StoreGraphic(other).recall, stored.recall);
  EXPECT_EQ(labels::StoreGraphic(picture).recall, stored.recall);
}

}  // namespace
}  // namespace quillmark::test
