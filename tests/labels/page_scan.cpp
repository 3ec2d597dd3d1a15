#include "page_scan.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "child_process.h"

namespace quillmark::test {
namespace {

std::optional<GrayImage> ReadPgm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  GrayImage image;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  if (!in || magic != "P5" || maxValue != 255 || image.width <= 0 || image.height <= 0)
    return std::nullopt;
  in.get();  // the one white-space byte before the pixels
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  in.read(reinterpret_cast<char*>(image.pixels.data()),
          static_cast<std::streamsize>(image.pixels.size()));
  if (!in)
    return std::nullopt;
  return image;
}

// The text between <![CDATA[ and ]]> of every <data> element of one
// <source> element of zbarimg's XML.
std::vector<std::string> SymbolTexts(const std::string& source) {
  std::vector<std::string> texts;
  const std::string open = "<data><![CDATA[";
  const std::string close = "]]></data>";
  for (std::size_t at = source.find(open); at != std::string::npos;
       at = source.find(open, at + 1)) {
    const std::size_t begin = at + open.size();
    const std::size_t end = source.find(close, begin);
    if (end == std::string::npos)
      break;
    texts.push_back(source.substr(begin, end - begin));
  }
  return texts;
}

}  // namespace

GrayImage GrayImage::Crop(int left, int top, int cropWidth, int cropHeight) const {
  GrayImage crop;
  crop.dpi = dpi;
  crop.width = cropWidth;
  crop.height = cropHeight;
  crop.pixels.assign(static_cast<std::size_t>(cropWidth) * cropHeight, 255);
  for (int y = 0; y < cropHeight; ++y) {
    for (int x = 0; x < cropWidth; ++x) {
      const int sx = left + x;
      const int sy = top + y;
      if (sx >= 0 && sy >= 0 && sx < width && sy < height)
        crop.pixels[static_cast<std::size_t>(y) * cropWidth + x] =
            pixels[static_cast<std::size_t>(sy) * width + sx];
    }
  }
  return crop;
}

std::optional<GrayImage> RenderPage(const std::string& pdf, int page, int dpi,
                                    const std::string& scratch) {
  const std::string prefix = scratch + "/page";
  const std::string number = std::to_string(page);
  const ChildResult result = RunChild({"pdftoppm", "-r", std::to_string(dpi), "-gray", "-f", number,
                                       "-l", number, "-singlefile", pdf, prefix});
  if (result.exitCode != 0)
    return std::nullopt;
  std::optional<GrayImage> image = ReadPgm(prefix + ".pgm");
  if (image)
    image->dpi = dpi;
  return image;
}

bool WritePgm(const std::string& path, const GrayImage& image) {
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << image.width << ' ' << image.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(image.pixels.data()),
            static_cast<std::streamsize>(image.pixels.size()));
  return static_cast<bool>(out);
}

std::vector<std::vector<std::string>> ScanWithZbar(const std::vector<std::string>& files) {
  std::vector<std::string> argv = {"zbarimg", "--xml", "--nodbus", "-q"};
  argv.insert(argv.end(), files.begin(), files.end());
  const ChildResult result = RunChild(argv);
  std::vector<std::vector<std::string>> found(files.size());
  // One <source href='FILE'> element per file, in the order given.
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string open = "<source href='" + files[i] + "'>";
    const std::size_t begin = result.out.find(open);
    if (begin == std::string::npos)
      continue;
    const std::size_t end = result.out.find("</source>", begin);
    found[i] = SymbolTexts(result.out.substr(begin, end - begin));
  }
  return found;
}

std::vector<std::string> ScanWithDmtx(const std::string& file) {
  // -n ends each message with LF; a message of several lines keeps its own.
  const ChildResult result = RunChild({"dmtxread", "-N1", "-m", "20000", file});
  if (result.out.empty())
    return {};
  return {result.out};
}

std::vector<PageSize> PdfPageSizes(const std::string& pdf) {
  const ChildResult result = RunChild({"pdfinfo", "-f", "1", "-l", "100000", pdf});
  std::vector<PageSize> sizes;
  std::istringstream lines(result.out);
  std::string line;
  while (std::getline(lines, line)) {
    // "Page    1 size: 595.276 x 841.89 pts (A4)"
    int page = 0;
    PageSize size;
    if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf pts", &page, &size.width,
                    &size.height) == 3)
      sizes.push_back(size);
  }
  return sizes;
}

std::vector<PdfFont> PdfFonts(const std::string& pdf) {
  const ChildResult result = RunChild({"pdffonts", pdf});
  std::vector<PdfFont> fonts;
  std::istringstream lines(result.out);
  std::string line;
  int row = 0;
  while (std::getline(lines, line)) {
    if (++row <= 2)
      continue;  // the heading and its rule
    std::istringstream fields(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
    // name type… encoding emb sub uni object ID: "emb" is the fifth from the end
    if (words.size() >= 7)
      fonts.push_back({words.front(), words[words.size() - 5] == "yes"});
  }
  return fonts;
}

std::string PdfText(const std::string& pdf) {
  return RunChild({"pdftotext", "-enc", "UTF-8", pdf, "-"}).out;
}

}  // namespace quillmark::test
