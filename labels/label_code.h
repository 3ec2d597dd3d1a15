#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::labels {

enum class CodeKind { Qr, Code128, DataMatrix };

// "qr", "code128" or "datamatrix", as the command line names them.
std::optional<CodeKind> ParseCodeKind(std::string_view text);
std::string_view CodeKindName(CodeKind kind);  // "QR", "Code 128", "Data Matrix"
bool IsSquareCode(CodeKind kind);

// What a device's code carries: QR and Data Matrix every address in colon
// form, one per line; Code 128 the first address without its colons, the
// form label printers and scanners of single addresses expect.
std::string CodePayload(CodeKind kind, const std::vector<std::string>& colonAddresses);

// The modules of an encoded symbol, quiet zones included, row by row.
// Code 128 has a single row, stretched to the bar height when drawn.
struct ModuleGrid {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> dark;  // width × height, 1 for a dark module

  bool IsDark(int x, int y) const { return dark[static_cast<std::size_t>(y) * width + x] != 0; }
};

struct EncodedCode {
  std::optional<ModuleGrid> grid;
  std::string error;  // the encoder's reason when grid is empty
};

// Encodes with the barcode library: QR at error correction level M, Data
// Matrix ECC 200 in a square symbol, Code 128 in its shortest form, each
// with the quiet zones its standard asks for.
EncodedCode EncodeCode(CodeKind kind, std::string_view payload);

}  // namespace quillmark::labels
