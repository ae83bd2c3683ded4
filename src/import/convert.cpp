#include "import/convert.h"

#include <array>
#include <climits>
#include <cstdint>

namespace refloom {

namespace {

enum ByteKind : std::uint8_t { kPlain, kEndsLine, kReplaced };

struct ConversionTable {
  std::array<ByteKind, 256> kind{};
  std::array<std::string_view, 256> replacement{};
};

constexpr ConversionTable make_table() {
  ConversionTable table;
  table.kind['\n'] = kEndsLine;
  table.kind['\r'] = kEndsLine;
  const auto replace = [&table](unsigned char byte, std::string_view text) {
    table.kind[byte] = kReplaced;
    table.replacement[byte] = text;
  };
  replace(0x81, "{\\\"u}");
  replace(0x82, "{\\'e}");
  replace(0x84, "{\\\"a}");
  replace(0x8A, "{\\`e}");
  replace(0x8E, "{\\\"A}");
  replace(0x94, "{\\\"o}");
  replace(0x9A, "{\\\"U}");
  replace(0xE1, "{\\ss}");
  replace('"', "{\"}");
  replace('%', "\\%");
  return table;
}

constexpr ConversionTable kTable = make_table();

// Output grows only while at most this many characters stand, so that even
// a five-character replacement keeps it within kConvertedLineMax.
constexpr std::size_t kLastProducingSize = kConvertedLineMax - 5;

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_separator(char c) { return c == ' ' || c == ',' || c == '.'; }

bool equals_ignoring_case(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = is_upper(word[i]) ? static_cast<char>(word[i] - 'A' + 'a') : word[i];
    if (c != lower[i]) return false;
  }
  return true;
}

bool is_particle(std::string_view word) {
  for (std::string_view particle : {"de", "von", "van", "du", "la"}) {
    if (equals_ignoring_case(word, particle)) return true;
  }
  return false;
}

}  // namespace

void convert_text(std::string_view line, std::string& converted) {
  converted.clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  std::size_t i = 0;
  while (i < line.size() && converted.size() <= kLastProducingSize) {
    // Plain bytes go over in runs; each adds one character, so a run may
    // go on until the limit is passed.
    const std::size_t room = kLastProducingSize + 1 - converted.size();
    const std::size_t limit = line.size() - i < room ? line.size() : i + room;
    std::size_t end = i;
    while (end < limit && kTable.kind[bytes[end]] == kPlain) ++end;
    converted.append(line.data() + i, end - i);
    i = end;
    if (i == line.size() || converted.size() > kLastProducingSize) break;
    if (kTable.kind[bytes[i]] == kEndsLine) break;
    if (kTable.kind[bytes[i]] == kReplaced) {
      converted.append(kTable.replacement[bytes[i]]);
      ++i;
    }
  }
}

std::string_view convert_line(std::string& line, std::size_t offset) {
  std::string converted;
  convert_text(line, converted);
  line = std::move(converted);
  if (offset >= line.size()) return {};
  return std::string_view(line).substr(offset);
}

void convert_name(std::string_view name, std::string& converted) {
  std::string particles;
  std::string last_name;
  std::string junior;
  std::string initials;
  bool last_name_taken = false;

  std::size_t pos = 0;
  while (pos < name.size()) {
    while (pos < name.size() && is_name_separator(name[pos])) ++pos;
    std::size_t end = pos;
    while (end < name.size() && !is_name_separator(name[end])) ++end;
    if (end == pos) break;
    const std::string_view word = name.substr(pos, end - pos);
    pos = end;

    if (is_particle(word)) {
      particles.append(word).push_back(' ');
    } else if (equals_ignoring_case(word, "jr")) {
      junior.append(word).push_back(' ');
    } else if (word == "Th") {
      initials.append("Th. ");
    } else if (is_lower(word[0])) {
      particles.append(word).push_back(' ');
    } else if (is_upper(word[0]) && !last_name_taken) {
      last_name.append(word).push_back(' ');
      last_name_taken = true;
    } else if (is_upper(word[0])) {
      if (word.size() == 1) {
        initials.push_back(word[0]);
        initials.append(". ");
      } else if (is_lower(word[1])) {
        last_name.append(word).push_back(' ');
      } else if (is_upper(word[1])) {
        for (char c : word) {
          initials.push_back(c);
          initials.append(". ");
        }
      }
      // Anything else ("J-P") is no part of a name we can read.
    }
    // Words starting with a digit, a brace, a hyphen ... are dropped.
  }

  converted.assign(particles);
  if (!last_name.empty()) {
    converted.append(last_name);
    if (!initials.empty() || !junior.empty()) {
      converted.back() = ',';
      converted.push_back(' ');
    }
  }
  if (!junior.empty()) converted.append(initials.empty() ? "Jr." : "Jr., ");
  if (!initials.empty()) converted.append(initials, 0, initials.size() - 1);
}

std::string convert_name(std::string_view name) {
  std::string converted;
  convert_name(name, converted);
  return converted;
}

std::string leading_integer_text(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Held at one beyond INT_MAX, which is exactly -INT_MIN.
  constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
  long long value = 0;
  for (; pos < text.size() && is_digit(text[pos]); ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > kCap) value = kCap;
  }
  if (negative) {
    value = -value;
  } else if (value > INT_MAX) {
    value = INT_MAX;
  }
  return std::to_string(value);
}

}  // namespace refloom
