#include "serial_template.h"

#include <algorithm>
#include <charconv>

#include "interface_text.h"

namespace quillmark::serial {
namespace {

constexpr std::string_view kMod3736Digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr int kMaxSeqDigits = 18;    // 10^18 sequence numbers fit a 64-bit integer
constexpr int kMaxSeq36Digits = 12;  // 33^12 do too

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsAsciiAlnum(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether every character of text may stand before the check character.
bool InCheckAlphabet(CheckKind kind, std::string_view text) {
  switch (kind) {
    case CheckKind::None:
      return true;
    case CheckKind::Luhn:
    case CheckKind::Mod1110:
      return std::all_of(text.begin(), text.end(), IsDigit);
    case CheckKind::Mod3736:
      return text.find_first_not_of(kMod3736Digits) == std::string_view::npos;
  }
  return false;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return std::int64_t(era) * 146097 + dayOfEra - 719468;
}

// Monday 1 to Sunday 7.
int IsoWeekday(int year, int month, int day) {
  const std::int64_t days = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 7 + 3) % 7) + 1;
}

int IsoWeeksIn(int year) {
  const auto p = [](int y) { return (y + y / 4 - y / 100 + y / 400) % 7; };
  return p(year) == 4 || p(year - 1) == 3 ? 53 : 52;
}

std::string Padded(std::uint64_t value, int width, std::string_view digits) {
  std::string text(static_cast<std::size_t>(width), digits[0]);
  for (auto i = static_cast<std::size_t>(width); i-- > 0 && value > 0;) {
    text[i] = digits[value % digits.size()];
    value /= digits.size();
  }
  return text;
}

std::optional<int> Width(std::string_view text, int most) {
  int width = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
  if (error != std::errc() || end != text.data() + text.size() || width < 1 || width > most)
    return std::nullopt;
  return width;
}

}  // namespace

std::optional<char> CheckCharacter(CheckKind kind, std::string_view body) {
  if (body.empty() || kind == CheckKind::None || !InCheckAlphabet(kind, body))
    return std::nullopt;
  if (kind == CheckKind::Luhn) {
    int sum = 0;
    bool doubled = true;  // the digit next to the check digit is doubled
    for (auto c = body.rbegin(); c != body.rend(); ++c, doubled = !doubled) {
      int digit = *c - '0';
      if (doubled)
        digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
      sum += digit;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
  }
  // ISO/IEC 7064's hybrid systems: MOD 11-10 over digits, MOD 37-36 over
  // 0-9 A-Z; the check character makes the last step's sum 1.
  const int modulus = kind == CheckKind::Mod1110 ? 10 : 36;
  int product = modulus;
  for (const char c : body) {
    const int value = static_cast<int>(kMod3736Digits.find(c));
    int sum = (product + value) % modulus;
    if (sum == 0)
      sum = modulus;
    product = (2 * sum) % (modulus + 1);
  }
  return kMod3736Digits[static_cast<std::size_t>((modulus + 1 - product) % modulus)];
}

bool HasValidCheckCharacter(CheckKind kind, std::string_view serial) {
  if (serial.size() < 2)
    return false;
  const std::optional<char> check = CheckCharacter(kind, serial.substr(0, serial.size() - 1));
  return check && *check == serial.back();
}

std::optional<SerialDate> ParseSerialDate(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-')
    return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t size) -> std::optional<int> {
    int value = 0;
    const std::string_view digits = text.substr(at, size);
    if (!std::all_of(digits.begin(), digits.end(), IsDigit))
      return std::nullopt;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
  };
  const std::optional<int> year = number(0, 4);
  const std::optional<int> month = number(5, 2);
  const std::optional<int> day = number(8, 2);
  if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1 ||
      *day > DaysInMonth(*year, *month))
    return std::nullopt;
  return SerialDate{*year, *month, *day};
}

int IsoWeek(const SerialDate& date) {
  const int dayOfYear = static_cast<int>(DaysFromCivil(date.year, date.month, date.day) -
                                         DaysFromCivil(date.year, 1, 1)) +
                        1;
  const int week = (dayOfYear - IsoWeekday(date.year, date.month, date.day) + 10) / 7;
  if (week < 1)
    return IsoWeeksIn(date.year - 1);
  if (week > IsoWeeksIn(date.year))
    return 1;
  return week;
}

SerialTemplate::Parsed SerialTemplate::Parse(std::string_view text) {
  const auto refused = [&](std::string why) {
    return Parsed{std::nullopt,
                  Fill({"序列号模板 %1 有误：%2", "The serial template %1 is wrong: %2"},
                       {std::string("\"") + std::string(text) + "\"", why})};
  };
  SerialTemplate parsed;
  parsed.m_text = std::string(text);
  int sequences = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    if (parsed.m_check != CheckKind::None)
      return refused(std::string(Pick({"校验字符须在最后", "the check character must come last"})));
    const char c = text[at];
    if (c == '}')
      return refused(std::string(Pick({"多了一个 }", "a } without its {"})));
    if (c != '{') {
      if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7e)
        return refused(std::string(
            Pick({"字面文字只能是可见的 ASCII 字符", "literal text may only be visible ASCII"})));
      if (parsed.m_parts.empty() || parsed.m_parts.back().kind != PartKind::Literal)
        parsed.m_parts.push_back(Part{});
      parsed.m_parts.back().literal += c;
      ++at;
      continue;
    }
    const std::size_t close = text.find('}', at);
    if (close == std::string_view::npos)
      return refused(std::string(Pick({"一个 { 没有对应的 }", "a { without its }"})));
    const std::string_view field = text.substr(at + 1, close - at - 1);
    at = close + 1;
    const std::size_t colon = field.find(':');
    const std::string_view name = field.substr(0, colon);
    const std::string_view argument =
        colon == std::string_view::npos ? std::string_view() : field.substr(colon + 1);
    Part part;
    if (name == "check" && colon != std::string_view::npos) {
      if (argument == "luhn")
        parsed.m_check = CheckKind::Luhn;
      else if (argument == "mod11-10")
        parsed.m_check = CheckKind::Mod1110;
      else if (argument == "mod37-36")
        parsed.m_check = CheckKind::Mod3736;
      else
        return refused(Fill({"未知的校验方式 %1（可用 luhn、mod11-10、mod37-36）",
                             "unknown check %1 (luhn, mod11-10 or mod37-36)"},
                            {std::string(argument)}));
      continue;
    }
    if ((name == "seq" || name == "seq36") && colon != std::string_view::npos) {
      const bool base36 = name == "seq36";
      const std::optional<int> width = Width(argument, base36 ? kMaxSeq36Digits : kMaxSeqDigits);
      if (!width)
        return refused(
            Fill({"{%1:N} 的位数须在 1 到 %2 之间", "{%1:N} takes 1 to %2 digits"},
                 {std::string(name), std::to_string(base36 ? kMaxSeq36Digits : kMaxSeqDigits)}));
      part = Part{base36 ? PartKind::Seq36 : PartKind::Seq, "", *width};
      ++sequences;
    } else if (colon != std::string_view::npos) {
      return refused(Fill({"未知字段 {%1}", "unknown field {%1}"}, {std::string(field)}));
    } else if (name == "yy") {
      part = Part{PartKind::Year2, "", 2};
    } else if (name == "yyyy") {
      part = Part{PartKind::Year4, "", 4};
    } else if (name == "ww") {
      part = Part{PartKind::Week, "", 2};
    } else if (name == "mm") {
      part = Part{PartKind::Month, "", 2};
    } else if (name == "dd") {
      part = Part{PartKind::Day, "", 2};
    } else if (name == "lot") {
      part = Part{PartKind::Lot, "", 0};
    } else if (name == "station") {
      part = Part{PartKind::Station, "", 0};
    } else {
      return refused(Fill({"未知字段 {%1}", "unknown field {%1}"}, {std::string(field)}));
    }
    parsed.m_parts.push_back(part);
  }
  // Without a sequence every device of every batch would get one serial.
  if (sequences != 1)
    return refused(
        std::string(Pick({"须有且只有一个序号字段 {seq:N} 或 {seq36:N}",
                          "it needs exactly one sequence field, {seq:N} or {seq36:N}"})));
  for (const Part& part : parsed.m_parts) {
    if (part.kind == PartKind::Seq)
      parsed.m_capacity = 1;
    for (int i = 0; i < part.width && part.kind == PartKind::Seq; ++i)
      parsed.m_capacity *= 10;
    if (part.kind == PartKind::Seq36)
      parsed.m_capacity = 1;
    for (int i = 0; i < part.width && part.kind == PartKind::Seq36; ++i)
      parsed.m_capacity *= kSeq36Digits.size();
    const bool letters =
        part.kind == PartKind::Seq36 ||
        (part.kind == PartKind::Literal && !InCheckAlphabet(CheckKind::Luhn, part.literal));
    const bool digitsOnly =
        parsed.m_check == CheckKind::Luhn || parsed.m_check == CheckKind::Mod1110;
    if ((digitsOnly && letters) ||
        (part.kind == PartKind::Literal && !InCheckAlphabet(parsed.m_check, part.literal)))
      return refused(std::string(
          Pick({"校验字符之前只能是它所能校验的字符（luhn 与 mod11-10 只有数字，mod37-36 为 "
                "0-9 A-Z）",
                "only characters the check can take may come before it (luhn and mod11-10: "
                "digits; mod37-36: 0-9 A-Z)"})));
  }
  if (parsed.Length(SerialContext{}) > kMaxSerialLength)
    return refused(Fill({"序列号超过 %1 个字符", "a serial would be longer than %1 characters"},
                        {std::to_string(kMaxSerialLength)}));
  return Parsed{std::move(parsed), ""};
}

bool SerialTemplate::UsesLot() const {
  return std::any_of(m_parts.begin(), m_parts.end(),
                     [](const Part& part) { return part.kind == PartKind::Lot; });
}

bool SerialTemplate::UsesStation() const {
  return std::any_of(m_parts.begin(), m_parts.end(),
                     [](const Part& part) { return part.kind == PartKind::Station; });
}

std::size_t SerialTemplate::Length(const SerialContext& context) const {
  std::size_t length = m_check == CheckKind::None ? 0 : 1;
  for (const Part& part : m_parts) {
    length += part.kind == PartKind::Literal   ? part.literal.size()
              : part.kind == PartKind::Lot     ? context.lot.size()
              : part.kind == PartKind::Station ? context.station.size()
                                               : static_cast<std::size_t>(part.width);
  }
  return length;
}

std::string SerialTemplate::ContextRefusal(const SerialContext& context) const {
  const auto refusal = [&](std::string_view value, bool lot) -> std::string {
    const std::string which =
        std::string(lot ? Pick({"批号", "lot"}) : Pick({"工位名", "station"}));
    if (value.empty())
      return Fill({"序列号模板 %1 要用%2，但没有给出",
                   "The serial template %1 needs the %2, and none was given"},
                  {m_text, which});
    if (!std::all_of(value.begin(), value.end(), IsAsciiAlnum) || !InCheckAlphabet(m_check, value))
      return Fill({"%1 %2 不能写进序列号：只能是 ASCII 字母与数字，并是校验字符所能校验的字符",
                   "The %1 %2 cannot go into a serial: only ASCII letters and digits the check "
                   "character can take"},
                  {which, std::string(value)});
    return "";
  };
  if (UsesLot()) {
    if (std::string why = refusal(context.lot, true); !why.empty())
      return why;
  }
  if (UsesStation()) {
    if (std::string why = refusal(context.station, false); !why.empty())
      return why;
  }
  if (Length(context) > kMaxSerialLength)
    return Fill({"序列号超过 %1 个字符", "A serial would be longer than %1 characters"},
                {std::to_string(kMaxSerialLength)});
  return "";
}

std::string SerialTemplate::Render(const SerialContext& context, std::uint64_t seq) const {
  constexpr std::string_view kDecimal = "0123456789";
  std::string serial;
  serial.reserve(Length(context));
  for (const Part& part : m_parts) {
    switch (part.kind) {
      case PartKind::Literal:
        serial += part.literal;
        break;
      case PartKind::Year2:
        serial += Padded(static_cast<std::uint64_t>(context.date.year % 100), 2, kDecimal);
        break;
      case PartKind::Year4:
        serial += Padded(static_cast<std::uint64_t>(context.date.year), 4, kDecimal);
        break;
      case PartKind::Week:
        serial += Padded(static_cast<std::uint64_t>(IsoWeek(context.date)), 2, kDecimal);
        break;
      case PartKind::Month:
        serial += Padded(static_cast<std::uint64_t>(context.date.month), 2, kDecimal);
        break;
      case PartKind::Day:
        serial += Padded(static_cast<std::uint64_t>(context.date.day), 2, kDecimal);
        break;
      case PartKind::Lot:
        serial += context.lot;
        break;
      case PartKind::Station:
        serial += context.station;
        break;
      case PartKind::Seq:
        serial += Padded(seq, part.width, kDecimal);
        break;
      case PartKind::Seq36:
        serial += Padded(seq, part.width, kSeq36Digits);
        break;
    }
  }
  if (m_check != CheckKind::None)
    serial += CheckCharacter(m_check, serial).value_or('?');
  return serial;
}

}  // namespace quillmark::serial
