#include "core/display_text.h"

#include <langinfo.h>

#include <cstring>

namespace refloom {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t sequence_length(std::string_view text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequence_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string utf8_for_display(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequence_length(text, at);
    if (length > 0) {
      shown.append(text.substr(at, length));
      at += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(text[at++]);
    shown.push_back(static_cast<char>(0xC0 | (byte >> 6)));
    shown.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
  }
  return shown;
}

std::size_t utf8_prefix_bytes(std::string_view text, std::size_t characters) {
  std::size_t at = 0;
  for (; characters > 0 && at < text.size(); --characters) {
    const std::size_t length = sequence_length(text, at);
    at += length > 0 ? length : 1;
  }
  return at;
}

namespace {

// An accent command, the letter it stands on (0x131 and 0x237 for \i and
// \j), and the precomposed character.
struct Accented {
  char accent;
  char32_t base;
  char32_t result;
};
constexpr Accented kAccented[] = {
    {'`', 0x61, 0xE0},    {'`', 0x65, 0xE8},    {'`', 0x69, 0xEC},    {'`', 0x6E, 0x1F9},   {'`', 0x6F, 0xF2},
    {'`', 0x75, 0xF9},    {'`', 0x77, 0x1E81},  {'`', 0x79, 0x1EF3},  {'`', 0x41, 0xC0},    {'`', 0x45, 0xC8},
    {'`', 0x49, 0xCC},    {'`', 0x4E, 0x1F8},   {'`', 0x4F, 0xD2},    {'`', 0x55, 0xD9},    {'`', 0x57, 0x1E80},
    {'`', 0x59, 0x1EF2},  {'`', 0x131, 0xEC},   {'\'', 0x61, 0xE1},   {'\'', 0x63, 0x107},  {'\'', 0x65, 0xE9},
    {'\'', 0x67, 0x1F5},  {'\'', 0x69, 0xED},   {'\'', 0x6B, 0x1E31}, {'\'', 0x6C, 0x13A},  {'\'', 0x6D, 0x1E3F},
    {'\'', 0x6E, 0x144},  {'\'', 0x6F, 0xF3},   {'\'', 0x70, 0x1E55}, {'\'', 0x72, 0x155},  {'\'', 0x73, 0x15B},
    {'\'', 0x75, 0xFA},   {'\'', 0x77, 0x1E83}, {'\'', 0x79, 0xFD},   {'\'', 0x7A, 0x17A},  {'\'', 0x41, 0xC1},
    {'\'', 0x43, 0x106},  {'\'', 0x45, 0xC9},   {'\'', 0x47, 0x1F4},  {'\'', 0x49, 0xCD},   {'\'', 0x4B, 0x1E30},
    {'\'', 0x4C, 0x139},  {'\'', 0x4D, 0x1E3E}, {'\'', 0x4E, 0x143},  {'\'', 0x4F, 0xD3},   {'\'', 0x50, 0x1E54},
    {'\'', 0x52, 0x154},  {'\'', 0x53, 0x15A},  {'\'', 0x55, 0xDA},   {'\'', 0x57, 0x1E82}, {'\'', 0x59, 0xDD},
    {'\'', 0x5A, 0x179},  {'\'', 0x131, 0xED},  {'^', 0x61, 0xE2},    {'^', 0x63, 0x109},   {'^', 0x65, 0xEA},
    {'^', 0x67, 0x11D},   {'^', 0x68, 0x125},   {'^', 0x69, 0xEE},    {'^', 0x6A, 0x135},   {'^', 0x6F, 0xF4},
    {'^', 0x73, 0x15D},   {'^', 0x75, 0xFB},    {'^', 0x77, 0x175},   {'^', 0x79, 0x177},   {'^', 0x7A, 0x1E91},
    {'^', 0x41, 0xC2},    {'^', 0x43, 0x108},   {'^', 0x45, 0xCA},    {'^', 0x47, 0x11C},   {'^', 0x48, 0x124},
    {'^', 0x49, 0xCE},    {'^', 0x4A, 0x134},   {'^', 0x4F, 0xD4},    {'^', 0x53, 0x15C},   {'^', 0x55, 0xDB},
    {'^', 0x57, 0x174},   {'^', 0x59, 0x176},   {'^', 0x5A, 0x1E90},  {'^', 0x131, 0xEE},   {'^', 0x237, 0x135},
    {'~', 0x61, 0xE3},    {'~', 0x65, 0x1EBD},  {'~', 0x69, 0x129},   {'~', 0x6E, 0xF1},    {'~', 0x6F, 0xF5},
    {'~', 0x75, 0x169},   {'~', 0x76, 0x1E7D},  {'~', 0x79, 0x1EF9},  {'~', 0x41, 0xC3},    {'~', 0x45, 0x1EBC},
    {'~', 0x49, 0x128},   {'~', 0x4E, 0xD1},    {'~', 0x4F, 0xD5},    {'~', 0x55, 0x168},   {'~', 0x56, 0x1E7C},
    {'~', 0x59, 0x1EF8},  {'~', 0x131, 0x129},  {'=', 0x61, 0x101},   {'=', 0x65, 0x113},   {'=', 0x67, 0x1E21},
    {'=', 0x69, 0x12B},   {'=', 0x6F, 0x14D},   {'=', 0x75, 0x16B},   {'=', 0x79, 0x233},   {'=', 0x41, 0x100},
    {'=', 0x45, 0x112},   {'=', 0x47, 0x1E20},  {'=', 0x49, 0x12A},   {'=', 0x4F, 0x14C},   {'=', 0x55, 0x16A},
    {'=', 0x59, 0x232},   {'=', 0x131, 0x12B},  {'u', 0x61, 0x103},   {'u', 0x65, 0x115},   {'u', 0x67, 0x11F},
    {'u', 0x69, 0x12D},   {'u', 0x6F, 0x14F},   {'u', 0x75, 0x16D},   {'u', 0x41, 0x102},   {'u', 0x45, 0x114},
    {'u', 0x47, 0x11E},   {'u', 0x49, 0x12C},   {'u', 0x4F, 0x14E},   {'u', 0x55, 0x16C},   {'u', 0x131, 0x12D},
    {'.', 0x61, 0x227},   {'.', 0x62, 0x1E03},  {'.', 0x63, 0x10B},   {'.', 0x64, 0x1E0B},  {'.', 0x65, 0x117},
    {'.', 0x66, 0x1E1F},  {'.', 0x67, 0x121},   {'.', 0x68, 0x1E23},  {'.', 0x6D, 0x1E41},  {'.', 0x6E, 0x1E45},
    {'.', 0x6F, 0x22F},   {'.', 0x70, 0x1E57},  {'.', 0x72, 0x1E59},  {'.', 0x73, 0x1E61},  {'.', 0x74, 0x1E6B},
    {'.', 0x77, 0x1E87},  {'.', 0x78, 0x1E8B},  {'.', 0x79, 0x1E8F},  {'.', 0x7A, 0x17C},   {'.', 0x41, 0x226},
    {'.', 0x42, 0x1E02},  {'.', 0x43, 0x10A},   {'.', 0x44, 0x1E0A},  {'.', 0x45, 0x116},   {'.', 0x46, 0x1E1E},
    {'.', 0x47, 0x120},   {'.', 0x48, 0x1E22},  {'.', 0x49, 0x130},   {'.', 0x4D, 0x1E40},  {'.', 0x4E, 0x1E44},
    {'.', 0x4F, 0x22E},   {'.', 0x50, 0x1E56},  {'.', 0x52, 0x1E58},  {'.', 0x53, 0x1E60},  {'.', 0x54, 0x1E6A},
    {'.', 0x57, 0x1E86},  {'.', 0x58, 0x1E8A},  {'.', 0x59, 0x1E8E},  {'.', 0x5A, 0x17B},   {'"', 0x61, 0xE4},
    {'"', 0x65, 0xEB},    {'"', 0x68, 0x1E27},  {'"', 0x69, 0xEF},    {'"', 0x6F, 0xF6},    {'"', 0x74, 0x1E97},
    {'"', 0x75, 0xFC},    {'"', 0x77, 0x1E85},  {'"', 0x78, 0x1E8D},  {'"', 0x79, 0xFF},    {'"', 0x41, 0xC4},
    {'"', 0x45, 0xCB},    {'"', 0x48, 0x1E26},  {'"', 0x49, 0xCF},    {'"', 0x4F, 0xD6},    {'"', 0x55, 0xDC},
    {'"', 0x57, 0x1E84},  {'"', 0x58, 0x1E8C},  {'"', 0x59, 0x178},   {'"', 0x131, 0xEF},   {'r', 0x61, 0xE5},
    {'r', 0x75, 0x16F},   {'r', 0x77, 0x1E98},  {'r', 0x79, 0x1E99},  {'r', 0x41, 0xC5},    {'r', 0x55, 0x16E},
    {'H', 0x6F, 0x151},   {'H', 0x75, 0x171},   {'H', 0x4F, 0x150},   {'H', 0x55, 0x170},   {'v', 0x61, 0x1CE},
    {'v', 0x63, 0x10D},   {'v', 0x64, 0x10F},   {'v', 0x65, 0x11B},   {'v', 0x67, 0x1E7},   {'v', 0x68, 0x21F},
    {'v', 0x69, 0x1D0},   {'v', 0x6A, 0x1F0},   {'v', 0x6B, 0x1E9},   {'v', 0x6C, 0x13E},   {'v', 0x6E, 0x148},
    {'v', 0x6F, 0x1D2},   {'v', 0x72, 0x159},   {'v', 0x73, 0x161},   {'v', 0x74, 0x165},   {'v', 0x75, 0x1D4},
    {'v', 0x7A, 0x17E},   {'v', 0x41, 0x1CD},   {'v', 0x43, 0x10C},   {'v', 0x44, 0x10E},   {'v', 0x45, 0x11A},
    {'v', 0x47, 0x1E6},   {'v', 0x48, 0x21E},   {'v', 0x49, 0x1CF},   {'v', 0x4B, 0x1E8},   {'v', 0x4C, 0x13D},
    {'v', 0x4E, 0x147},   {'v', 0x4F, 0x1D1},   {'v', 0x52, 0x158},   {'v', 0x53, 0x160},   {'v', 0x54, 0x164},
    {'v', 0x55, 0x1D3},   {'v', 0x5A, 0x17D},   {'v', 0x131, 0x1D0},  {'v', 0x237, 0x1F0},  {'c', 0x63, 0xE7},
    {'c', 0x64, 0x1E11},  {'c', 0x65, 0x229},   {'c', 0x67, 0x123},   {'c', 0x68, 0x1E29},  {'c', 0x6B, 0x137},
    {'c', 0x6C, 0x13C},   {'c', 0x6E, 0x146},   {'c', 0x72, 0x157},   {'c', 0x73, 0x15F},   {'c', 0x74, 0x163},
    {'c', 0x43, 0xC7},    {'c', 0x44, 0x1E10},  {'c', 0x45, 0x228},   {'c', 0x47, 0x122},   {'c', 0x48, 0x1E28},
    {'c', 0x4B, 0x136},   {'c', 0x4C, 0x13B},   {'c', 0x4E, 0x145},   {'c', 0x52, 0x156},   {'c', 0x53, 0x15E},
    {'c', 0x54, 0x162},   {'k', 0x61, 0x105},   {'k', 0x65, 0x119},   {'k', 0x69, 0x12F},   {'k', 0x6F, 0x1EB},
    {'k', 0x75, 0x173},   {'k', 0x41, 0x104},   {'k', 0x45, 0x118},   {'k', 0x49, 0x12E},   {'k', 0x4F, 0x1EA},
    {'k', 0x55, 0x172},   {'k', 0x131, 0x12F},  {'d', 0x61, 0x1EA1},  {'d', 0x62, 0x1E05},  {'d', 0x64, 0x1E0D},
    {'d', 0x65, 0x1EB9},  {'d', 0x68, 0x1E25},  {'d', 0x69, 0x1ECB},  {'d', 0x6B, 0x1E33},  {'d', 0x6C, 0x1E37},
    {'d', 0x6D, 0x1E43},  {'d', 0x6E, 0x1E47},  {'d', 0x6F, 0x1ECD},  {'d', 0x72, 0x1E5B},  {'d', 0x73, 0x1E63},
    {'d', 0x74, 0x1E6D},  {'d', 0x75, 0x1EE5},  {'d', 0x76, 0x1E7F},  {'d', 0x77, 0x1E89},  {'d', 0x79, 0x1EF5},
    {'d', 0x7A, 0x1E93},  {'d', 0x41, 0x1EA0},  {'d', 0x42, 0x1E04},  {'d', 0x44, 0x1E0C},  {'d', 0x45, 0x1EB8},
    {'d', 0x48, 0x1E24},  {'d', 0x49, 0x1ECA},  {'d', 0x4B, 0x1E32},  {'d', 0x4C, 0x1E36},  {'d', 0x4D, 0x1E42},
    {'d', 0x4E, 0x1E46},  {'d', 0x4F, 0x1ECC},  {'d', 0x52, 0x1E5A},  {'d', 0x53, 0x1E62},  {'d', 0x54, 0x1E6C},
    {'d', 0x55, 0x1EE4},  {'d', 0x56, 0x1E7E},  {'d', 0x57, 0x1E88},  {'d', 0x59, 0x1EF4},  {'d', 0x5A, 0x1E92},
    {'d', 0x131, 0x1ECB}, {'b', 0x62, 0x1E07},  {'b', 0x64, 0x1E0F},  {'b', 0x68, 0x1E96},  {'b', 0x6B, 0x1E35},
    {'b', 0x6C, 0x1E3B},  {'b', 0x6E, 0x1E49},  {'b', 0x72, 0x1E5F},  {'b', 0x74, 0x1E6F},  {'b', 0x7A, 0x1E95},
    {'b', 0x42, 0x1E06},  {'b', 0x44, 0x1E0E},  {'b', 0x4B, 0x1E34},  {'b', 0x4C, 0x1E3A},  {'b', 0x4E, 0x1E48},
    {'b', 0x52, 0x1E5E},  {'b', 0x54, 0x1E6E},  {'b', 0x5A, 0x1E94}};

// The letters TeX names by a control word.
struct NamedLetter {
  std::string_view name;
  char32_t character;
};
constexpr NamedLetter kNamedLetters[] = {{"ss", 0xDF},  {"o", 0xF8},   {"O", 0xD8},   {"ae", 0xE6},  {"AE", 0xC6},
                                         {"oe", 0x153}, {"OE", 0x152}, {"aa", 0xE5},  {"AA", 0xC5},  {"l", 0x142},
                                         {"L", 0x141},  {"i", 0x131},  {"j", 0x237},  {"dh", 0xF0},  {"DH", 0xD0},
                                         {"th", 0xFE},  {"TH", 0xDE},  {"ng", 0x14B}, {"NG", 0x14A}, {"SS", 0x1E9E}};

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The accents written as a control symbol (\'e) or as a control word
// followed by its argument (\v{s}, \v s).
bool is_symbol_accent(char c) { return std::strchr("`'^\"~=.", c) != nullptr && c != '\0'; }
bool is_word_accent(std::string_view name) { return name.size() == 1 && std::strchr("uvHckrdb", name[0]) != nullptr; }

std::optional<char32_t> accented(char accent, char32_t base) {
  for (const Accented& entry : kAccented) {
    if (entry.accent == accent && entry.base == base) return entry.result;
  }
  return std::nullopt;
}

class TexReader {
 public:
  explicit TexReader(std::string_view text) : text_(text) {}

  std::string run() {
    std::string out;
    out.reserve(text_.size());
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == '\\') {
        command(out);
      } else if (c == '{' || c == '}') {
        ++at_;  // grouping shows nothing
      } else if (c == '~') {
        append_utf8(0xA0, out);
        ++at_;
      } else if (c == '-' && text_.substr(at_, 3) == "---") {
        append_utf8(0x2014, out);
        at_ += 3;
      } else if (c == '-' && text_.substr(at_, 2) == "--") {
        append_utf8(0x2013, out);
        at_ += 2;
      } else {
        plain(out);
      }
    }
    return out;
  }

 private:
  // One character as it stands, a byte that is no UTF-8 read as Latin-1.
  void plain(std::string& out) {
    const std::size_t length = sequence_length(text_, at_);
    if (length > 0) {
      out.append(text_.substr(at_, length));
      at_ += length;
    } else {
      append_utf8(static_cast<unsigned char>(text_[at_++]), out);
    }
  }

  // The letter an accent stands on: x, {x}, \i, {\i}; nothing when it is
  // something else.
  std::optional<char32_t> argument() {
    std::size_t at = at_;
    const bool braced = at < text_.size() && text_[at] == '{';
    if (braced) ++at;
    char32_t base = 0;
    if (at + 1 < text_.size() && text_[at] == '\\' && (text_[at + 1] == 'i' || text_[at + 1] == 'j') &&
        (at + 2 >= text_.size() || !is_letter(text_[at + 2]))) {
      base = text_[at + 1] == 'i' ? 0x131 : 0x237;
      at += 2;
    } else if (at < text_.size() && is_letter(text_[at])) {
      base = static_cast<unsigned char>(text_[at]);
      ++at;
    } else {
      return std::nullopt;
    }
    if (braced) {
      if (at >= text_.size() || text_[at] != '}') return std::nullopt;
      ++at;
    }
    at_ = at;
    return base;
  }

  void accent(std::string& out, char accent, std::size_t command_start) {
    const std::size_t before = at_;
    if (const auto base = argument()) {
      if (const auto character = accented(accent, *base)) {
        append_utf8(*character, out);
        return;
      }
    }
    // An accent this table does not hold: as written.
    at_ = before;
    out.append(text_.substr(command_start, before - command_start));
  }

  void command(std::string& out) {
    const std::size_t start = at_++;
    if (at_ >= text_.size()) {
      out.push_back('\\');
      return;
    }
    const char next = text_[at_];
    if (is_symbol_accent(next)) {
      ++at_;
      accent(out, next, start);
      return;
    }
    if (std::strchr("&%$#_{}", next) != nullptr) {
      out.push_back(next);
      ++at_;
      return;
    }
    if (!is_letter(next)) {
      out.push_back('\\');
      return;
    }
    std::size_t end = at_;
    while (end < text_.size() && is_letter(text_[end])) ++end;
    const std::string_view name = text_.substr(at_, end - at_);
    at_ = end;
    // Blanks after a control word belong to it.
    std::size_t after = at_;
    while (after < text_.size() && text_[after] == ' ') ++after;
    if (is_word_accent(name)) {
      at_ = after;
      accent(out, name[0], start);
      return;
    }
    for (const NamedLetter& letter : kNamedLetters) {
      if (letter.name == name) {
        append_utf8(letter.character, out);
        at_ = after;
        return;
      }
    }
    out.append(text_.substr(start, at_ - start));
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::string tex_for_display(std::string_view text) { return TexReader(text).run(); }

void append_utf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::size_t cut_before_split_character(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text.size();
  // Back to the lead byte of the sequence the cut may fall in (at most three
  // continuation bytes back).
  std::size_t lead = bytes;
  while (lead > 0 && bytes - lead < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
  if (lead == bytes) return bytes;
  const std::size_t length = sequence_length(text, lead);
  return length > 0 && lead + length > bytes ? lead : bytes;
}

bool locale_is_utf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace refloom
