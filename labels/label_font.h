#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::labels {

struct FontFaceDeleter {
  void operator()(cairo_font_face_t* face) const { cairo_font_face_destroy(face); }
};

// The one font a label sheet is set in, found through fontconfig.
struct LabelFont {
  std::unique_ptr<cairo_font_face_t, FontFaceDeleter> face;
  std::string file;  // where it came from, for reports
};

struct FontChoice {
  std::optional<LabelFont> font;
  std::string missing;       // when none: the characters no installed font has, or "" if each
                             // has some font but no one font has them all
  bool invalidText = false;  // the text is not UTF-8
};

// A scalable outline font, sans-serif and Chinese where the system has
// one, with a glyph for every character of text (UTF-8); cairo embeds the
// glyphs it uses.
FontChoice FindLabelFont(std::string_view text);

// Hands back what cairo and fontconfig keep for the whole process (font
// caches, the configuration), so that a leak checker sees only real leaks.
// Only when no sheet, font or metrics object is alive any more.
void ReleaseFontCaches();

// The code points of a UTF-8 text; none when it is not UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view text);

}  // namespace quillmark::labels
