#include "label_font.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

namespace quillmark::labels {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct CharSetDeleter {
  void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
using CharSet = std::unique_ptr<FcCharSet, CharSetDeleter>;
using FontSet = std::unique_ptr<FcFontSet, FontSetDeleter>;

// Only outline fonts can be embedded as such; a bitmap font would come out
// as blurred images of its glyphs.
bool IsEmbeddableOutline(const FcPattern* font) {
  FcBool scalable = FcFalse;
  FcBool outline = FcFalse;
  return FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable &&
         FcPatternGetBool(font, FC_OUTLINE, 0, &outline) == FcResultMatch && outline;
}

bool Covers(const FcPattern* font, const FcCharSet* needed) {
  FcCharSet* has = nullptr;
  return FcPatternGetCharSet(font, FC_CHARSET, 0, &has) == FcResultMatch &&
         FcCharSetIsSubset(needed, has);
}

bool IsTrueType(const FcPattern* font) {
  FcChar8* format = nullptr;
  return FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch &&
         std::string_view(reinterpret_cast<const char*>(format)) == "TrueType";
}

std::optional<LabelFont> FaceFor(FcPattern* wanted, FcPattern* candidate) {
  Pattern prepared(FcFontRenderPrepare(nullptr, wanted, candidate));
  FcChar8* file = nullptr;
  FcPatternGetString(prepared.get(), FC_FILE, 0, &file);
  LabelFont font{std::unique_ptr<cairo_font_face_t, FontFaceDeleter>(
                     cairo_ft_font_face_create_for_pattern(prepared.get())),
                 file != nullptr ? reinterpret_cast<const char*>(file) : ""};
  if (cairo_font_face_status(font.face.get()) != CAIRO_STATUS_SUCCESS)
    return std::nullopt;
  return font;
}

std::string EncodeUtf8(char32_t c) {
  FcChar8 bytes[FC_UTF8_MAX_LEN];
  const int length = FcUcs4ToUtf8(static_cast<FcChar32>(c), bytes);
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::string MissingEverywhere(const std::u32string& text, const FcFontSet& fonts) {
  std::string missing;
  for (char32_t c : text) {
    bool found = false;
    for (int i = 0; i < fonts.nfont && !found; ++i) {
      FcCharSet* has = nullptr;
      found = IsEmbeddableOutline(fonts.fonts[i]) &&
              FcPatternGetCharSet(fonts.fonts[i], FC_CHARSET, 0, &has) == FcResultMatch &&
              FcCharSetHasChar(has, static_cast<FcChar32>(c));
    }
    const std::string utf8 = EncodeUtf8(c);
    if (!found && missing.find(utf8) == std::string::npos)
      missing += utf8;
  }
  return missing;
}

Pattern WantedFont() {
  Pattern pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  return pattern;
}

}  // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string decoded;
  const auto* bytes = reinterpret_cast<const FcChar8*>(text.data());
  int left = static_cast<int>(text.size());
  while (left > 0) {
    FcChar32 c = 0;
    const int used = FcUtf8ToUcs4(bytes, &c, left);
    if (used <= 0)
      return std::nullopt;
    decoded += static_cast<char32_t>(c);
    bytes += used;
    left -= used;
  }
  return decoded;
}

void ReleaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

FontChoice FindLabelFont(std::string_view text) {
  const std::optional<std::u32string> decoded = DecodeUtf8(text);
  if (!decoded)
    return {std::nullopt, {}, true};
  if (!FcInit())
    return {std::nullopt, {}, false};
  CharSet needed(FcCharSetCreate());
  for (char32_t c : *decoded)
    FcCharSetAddChar(needed.get(), static_cast<FcChar32>(c));

  const Pattern wanted = WantedFont();
  FcResult result = FcResultNoMatch;
  const FontSet sorted(FcFontSort(nullptr, wanted.get(), FcFalse, nullptr, &result));
  if (!sorted)
    return {std::nullopt, EncodeUtf8(U'?'), false};
  // TrueType outlines first: cairo 1.16 embeds them without loss, while
  // its subsetter for CFF outlines (the OpenType CJK fonts) loses a small
  // allocation per document, which the leak checker of the sanitizer build
  // rightly reports.
  for (const bool trueTypeOnly : {true, false}) {
    for (int i = 0; i < sorted->nfont; ++i) {
      FcPattern* candidate = sorted->fonts[i];
      if (!IsEmbeddableOutline(candidate) || !Covers(candidate, needed.get()) ||
          (trueTypeOnly && !IsTrueType(candidate)))
        continue;
      std::optional<LabelFont> font = FaceFor(wanted.get(), candidate);
      if (font)
        return {std::move(font), {}, false};
    }
  }
  return {std::nullopt, MissingEverywhere(*decoded, *sorted), false};
}

}  // namespace quillmark::labels
