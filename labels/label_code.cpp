#include "label_code.h"

#include <zint.h>

#include <memory>

namespace quillmark::labels {
namespace {

struct SymbolDeleter {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

constexpr int kQrLevelM = 2;
// QR's mask pattern, fixed instead of chosen per symbol: scoring all eight
// masks of every symbol was three quarters of a sheet's time. Over the
// addresses labels carry (one to four per code), pattern 2 scores by the
// standard's penalty rules about as well as the library's own choice
// (within 2 % on average, 8 % at worst), and a reader takes the pattern
// from the symbol's format information either way.
constexpr int kQrMaskPattern = 2;

void Configure(zint_symbol& symbol, CodeKind kind) {
  switch (kind) {
    case CodeKind::Qr:
      symbol.symbology = BARCODE_QRCODE;
      symbol.option_1 = kQrLevelM;
      symbol.option_3 = (kQrMaskPattern + 1) << 8;  // the library takes pattern + 1
      break;
    case CodeKind::Code128:
      symbol.symbology = BARCODE_CODE128;
      break;
    case CodeKind::DataMatrix:
      symbol.symbology = BARCODE_DATAMATRIX;
      symbol.option_3 = DM_SQUARE;
      break;
  }
  // One raster pixel per module; the quiet zones are the standard's.
  symbol.scale = 0.5f;
  symbol.show_hrt = 0;
  symbol.output_options = BARCODE_QUIET_ZONES;
  symbol.input_mode = DATA_MODE | FAST_MODE;
}

// The raster has one pixel per module; Code 128's bars repeat the same
// row down its default height, so one row of it says everything.
ModuleGrid GridFromRaster(const zint_symbol& symbol, CodeKind kind) {
  ModuleGrid grid;
  grid.width = symbol.bitmap_width;
  grid.height = kind == CodeKind::Code128 ? 1 : symbol.bitmap_height;
  const int sourceRow = kind == CodeKind::Code128 ? symbol.bitmap_height / 2 : 0;
  grid.dark.resize(static_cast<std::size_t>(grid.width) * grid.height);
  for (int y = 0; y < grid.height; ++y) {
    for (int x = 0; x < grid.width; ++x) {
      const std::size_t pixel = (static_cast<std::size_t>(y + sourceRow) * grid.width + x) * 3;
      // Foreground is black, background white: any channel tells them apart.
      grid.dark[static_cast<std::size_t>(y) * grid.width + x] = symbol.bitmap[pixel] < 128 ? 1 : 0;
    }
  }
  return grid;
}

}  // namespace

std::optional<CodeKind> ParseCodeKind(std::string_view text) {
  if (text == "qr")
    return CodeKind::Qr;
  if (text == "code128")
    return CodeKind::Code128;
  if (text == "datamatrix")
    return CodeKind::DataMatrix;
  return std::nullopt;
}

std::string_view CodeKindName(CodeKind kind) {
  switch (kind) {
    case CodeKind::Qr:
      return "QR";
    case CodeKind::Code128:
      return "Code 128";
    case CodeKind::DataMatrix:
      return "Data Matrix";
  }
  return "";
}

bool IsSquareCode(CodeKind kind) {
  return kind != CodeKind::Code128;
}

std::string CodePayload(CodeKind kind, const std::vector<std::string>& colonAddresses) {
  std::string payload;
  if (kind == CodeKind::Code128) {
    if (!colonAddresses.empty()) {
      for (char c : colonAddresses.front()) {
        if (c != ':')
          payload += c;
      }
    }
    return payload;
  }
  for (const std::string& address : colonAddresses) {
    if (!payload.empty())
      payload += '\n';
    payload += address;
  }
  return payload;
}

EncodedCode EncodeCode(CodeKind kind, std::string_view payload) {
  Symbol symbol(ZBarcode_Create());
  if (!symbol)
    return {std::nullopt, "out of memory"};
  Configure(*symbol, kind);
  const int status = ZBarcode_Encode_and_Buffer(
      symbol.get(), reinterpret_cast<const unsigned char*>(payload.data()),
      static_cast<int>(payload.size()), 0);
  if (status >= ZINT_ERROR || symbol->bitmap == nullptr)
    return {std::nullopt, symbol->errtxt};
  return {GridFromRaster(*symbol, kind), {}};
}

}  // namespace quillmark::labels
