#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::serial {

// The check character a template may end with; each over the whole serial
// before it.
enum class CheckKind {
  None,
  Luhn,     // one decimal digit, over decimal digits only
  Mod1110,  // ISO/IEC 7064 MOD 11-10: one decimal digit, over decimal digits only
  Mod3736,  // ISO/IEC 7064 MOD 37-36: one of 0-9 A-Z, over 0-9 A-Z only
};

// The check character of body, or none when body holds a character the
// check does not take (or is empty).
std::optional<char> CheckCharacter(CheckKind kind, std::string_view body);
// Whether serial ends in the right check character for the rest of it.
bool HasValidCheckCharacter(CheckKind kind, std::string_view serial);

// The date a batch's serials carry: the day its serials were issued, UTC.
struct SerialDate {
  int year = 2000;
  int month = 1;
  int day = 1;
};
// "2024-05-01" (or the date of "2024-05-01T10:22:03Z"); none if not a
// calendar day.
std::optional<SerialDate> ParseSerialDate(std::string_view text);
// The ISO 8601 week of the year the date falls in, 1 to 53.
int IsoWeek(const SerialDate& date);

// What a batch's serials are made of besides the sequence number.
struct SerialContext {
  SerialDate date;
  std::string lot;
  std::string station;
};

// A series' template read once: literal text and fields, a sequence that
// numbers the devices, and at most one check character at its end. A
// template always has exactly one sequence field, so it can only run out
// when its sequence does, which the ledger refuses before it records.
class SerialTemplate {
 public:
  struct Parsed;
  // The template, or the line that says why it is refused.
  static Parsed Parse(std::string_view text);

  const std::string& text() const { return m_text; }
  // How many sequence numbers the template can show: 10^N or 33^N.
  std::uint64_t Capacity() const { return m_capacity; }
  CheckKind check() const { return m_check; }
  bool UsesLot() const;
  bool UsesStation() const;
  // The longest serial the template gives, taking the lot and the station
  // as given.
  std::size_t Length(const SerialContext& context) const;

  // Why the lot or station cannot go into this template's serials (not
  // plain ASCII letters and digits, or not of the check's alphabet); ""
  // when they can.
  std::string ContextRefusal(const SerialContext& context) const;
  // The serial of sequence number seq (below Capacity()), for a context
  // ContextRefusal took.
  std::string Render(const SerialContext& context, std::uint64_t seq) const;

 private:
  enum class PartKind { Literal, Year2, Year4, Week, Month, Day, Lot, Station, Seq, Seq36 };
  struct Part {
    PartKind kind = PartKind::Literal;
    std::string literal;
    int width = 0;
  };
  std::string m_text;
  std::vector<Part> m_parts;
  CheckKind m_check = CheckKind::None;
  std::uint64_t m_capacity = 0;
};

struct SerialTemplate::Parsed {
  std::optional<SerialTemplate> value;
  std::string error;
};

// The digits of {seq36:N}: 0-9 and A-Z without I, O and Q, which read as
// 1, 0 and 0 on a label. So base 33.
inline constexpr std::string_view kSeq36Digits = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ";

// The longest template and serial the ledger keeps, in characters.
inline constexpr std::size_t kMaxSerialLength = 64;

}  // namespace quillmark::serial
