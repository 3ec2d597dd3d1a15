#include "label_font.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <vector>

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

// The face from the font's file alone: the rendering settings a
// configuration adds (antialiasing, hinting, emboldening) would change the
// title graphic from machine to machine; the labels set their own.
std::optional<LabelFont> FaceFor(FcPattern* candidate) {
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch)
    return std::nullopt;
  FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
  Pattern bare(FcPatternCreate());
  FcPatternAddString(bare.get(), FC_FILE, file);
  FcPatternAddInteger(bare.get(), FC_INDEX, index);
  LabelFont font{std::unique_ptr<cairo_font_face_t, FontFaceDeleter>(
                     cairo_ft_font_face_create_for_pattern(bare.get())),
                 reinterpret_cast<const char*>(file)};
  if (cairo_font_face_status(font.face.get()) != CAIRO_STATUS_SUCCESS)
    return std::nullopt;
  return font;
}

bool IsOfFamily(const FcPattern* font, const FcChar8* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, family) == 0)
      return true;
  }
  return false;
}

std::string EncodeUtf8(char32_t c) {
  FcChar8 bytes[FC_UTF8_MAX_LEN];
  const int length = FcUcs4ToUtf8(static_cast<FcChar32>(c), bytes);
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::string MissingFrom(const std::u32string& text, const FcPattern& font) {
  FcCharSet* has = nullptr;
  if (FcPatternGetCharSet(&font, FC_CHARSET, 0, &has) != FcResultMatch)
    has = nullptr;
  std::string missing;
  for (char32_t c : text) {
    const std::string utf8 = EncodeUtf8(c);
    if ((has == nullptr || !FcCharSetHasChar(has, static_cast<FcChar32>(c))) &&
        missing.find(utf8) == std::string::npos)
      missing += utf8;
  }
  return missing;
}

Pattern WantedFont(const std::string& family) {
  Pattern pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
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

FontChoice FindLabelFont(std::string_view text, std::string_view family) {
  const std::optional<std::u32string> decoded = DecodeUtf8(text);
  if (!decoded)
    return {std::nullopt, false, {}, true};
  const std::string familyName(family);
  if (!FcInit() || familyName.empty() || familyName.find('\0') != std::string::npos)
    return {std::nullopt, true, {}, false};
  CharSet needed(FcCharSetCreate());
  for (char32_t c : *decoded)
    FcCharSetAddChar(needed.get(), static_cast<FcChar32>(c));

  const Pattern wanted = WantedFont(familyName);
  FcResult result = FcResultNoMatch;
  const FontSet sorted(FcFontSort(nullptr, wanted.get(), FcFalse, nullptr, &result));
  const auto* name = reinterpret_cast<const FcChar8*>(familyName.c_str());
  // The family's faces in fontconfig's order (its regular face first);
  // the fonts a configuration puts before them or after are not asked.
  std::vector<FcPattern*> faces;
  for (int i = 0; sorted && i < sorted->nfont; ++i) {
    if (IsEmbeddableOutline(sorted->fonts[i]) && IsOfFamily(sorted->fonts[i], name))
      faces.push_back(sorted->fonts[i]);
  }
  if (faces.empty())
    return {std::nullopt, true, {}, false};
  // TrueType outlines first: cairo 1.16 embeds them without loss, while
  // its subsetter for CFF outlines (the OpenType CJK fonts) loses a small
  // allocation per document, which the leak checker of the sanitizer build
  // rightly reports.
  for (const bool trueTypeOnly : {true, false}) {
    for (FcPattern* candidate : faces) {
      if (!Covers(candidate, needed.get()) || (trueTypeOnly && !IsTrueType(candidate)))
        continue;
      std::optional<LabelFont> font = FaceFor(candidate);
      if (font)
        return {std::move(font), false, {}, false};
    }
  }
  return {std::nullopt, false, MissingFrom(*decoded, *faces.front()), false};
}

}  // namespace quillmark::labels
