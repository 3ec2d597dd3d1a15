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

// The family the packages install (fonts-wqy-microhei) and every label
// is set in unless the station names another: a family asked for by name,
// so that what else a machine has installed never moves a label's text.
inline constexpr std::string_view kDefaultLabelFont = "WenQuanYi Micro Hei";

struct FontChoice {
  std::optional<LabelFont> font;
  bool notInstalled = false;  // no installed outline font is of the family
  std::string missing;        // else, when none: the characters the family lacks
  bool invalidText = false;   // the text is not UTF-8
};

// The scalable outline font of the family (by any of its names, letter
// case aside), with a glyph for every character of text
// (UTF-8); cairo embeds the glyphs it uses. Never another family: a
// configuration's aliases and fallbacks are passed over.
FontChoice FindLabelFont(std::string_view text, std::string_view family);

// Hands back what cairo and fontconfig keep for the whole process (font
// caches, the configuration), so that a leak checker sees only real leaks.
// Only when no sheet, font or metrics object is alive any more.
void ReleaseFontCaches();

// The code points of a UTF-8 text; none when it is not UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view text);

}  // namespace quillmark::labels
