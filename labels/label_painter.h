#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "label_code.h"
#include "label_design.h"

namespace quillmark::labels {

// One device as its label shows it.
struct DeviceLabel {
  std::string fileName;
  std::vector<std::string> addresses;  // colon form, first address first
};

// Draws labels onto a cairo context whose unit is the millimetre.
class LabelPainter {
 public:
  LabelPainter(const LabelDesign& design, cairo_font_face_t* face, std::string title);

  // Draws the device's label, with its encoded code, top-left corner at
  // (left, top). Returns "" or, when the code could not be encoded or
  // cannot be drawn large enough, the one-line reason; then nothing was
  // drawn.
  std::string Paint(cairo_t* cr, double left, double top, const DeviceLabel& device,
                    const EncodedCode& code, const std::string& layoutName) const;

 private:
  void PaintCode(cairo_t* cr, const ModuleGrid& grid, const CodePlacement& place) const;
  void PaintText(cairo_t* cr, const DeviceLabel& device) const;
  void ShowLine(cairo_t* cr, const std::string& text, double size, double left, double width,
                double baseline, bool centred) const;

  LabelDesign m_design;
  cairo_font_face_t* m_face;
  std::string m_title;
};

}  // namespace quillmark::labels
