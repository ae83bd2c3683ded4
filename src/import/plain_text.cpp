#include "import/plain_text.h"

#include <array>
#include <optional>
#include <vector>

namespace refloom {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_ascii_lower(char c) { return c >= 'a' && c <= 'z'; }

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !is_blank(text[end])) ++end;
    if (end > pos) words.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

std::string join(const std::vector<std::string_view>& words, std::size_t from, std::size_t to) {
  std::string joined;
  for (std::size_t i = from; i < to; ++i) {
    if (!joined.empty()) joined.push_back(' ');
    joined.append(words[i]);
  }
  return joined;
}

// "Jr", "Jr.", "Sr", "II", "III", "IV", "2nd", "3rd": written after the
// family name in BibTeX ("King, Jr., Martin").
std::optional<std::string> suffix_of(std::string_view word) {
  for (std::string_view plain : {"Jr", "Sr"}) {
    if (word == plain || (word.size() == 3 && word.substr(0, 2) == plain && word[2] == '.')) {
      return std::string(plain) + ".";
    }
  }
  for (std::string_view kept : {"II", "III", "IV", "2nd", "3rd"}) {
    if (word == kept) return std::string(kept);
  }
  return std::nullopt;
}

// Length of the UTF-8 character that starts at `at` (1 for a stray byte).
std::size_t character_length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xF0 && lead < 0xF8) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (at + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

std::size_t character_count(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); at += character_length(text, at)) ++count;
  return count;
}

// "JA" -> "J. A.", "J-P" -> "J.-P.".
std::string spelled_initials(std::string_view word) {
  std::string out;
  bool after_hyphen = false;
  for (std::size_t at = 0; at < word.size();) {
    const std::size_t length = character_length(word, at);
    if (word[at] == '-') {
      out.push_back('-');
      after_hyphen = true;
    } else if (word[at] != '.') {
      if (!out.empty() && !after_hyphen) out.push_back(' ');
      out.append(word.substr(at, length)).push_back('.');
      after_hyphen = false;
    }
    at += length;
  }
  return out;
}

// Initials as PubMed writes them: no lower-case letter, at most four
// characters ("J", "JA", "Å", "J-P").
bool looks_like_initials(std::string_view word) {
  if (word.empty() || character_count(word) > 4) return false;
  for (char c : word) {
    if (is_ascii_lower(c)) return false;
  }
  return word[0] != '-';
}

// A given name word of a full name: "A", "Å" and "JA" are initials.
std::string given_word(std::string_view word) {
  if (character_count(word) == 1 && !is_ascii_lower(word[0])) return spelled_initials(word);
  bool all_upper = word.size() <= 3;
  for (char c : word) all_upper = all_upper && is_ascii_upper(c);
  if (all_upper) return spelled_initials(word);
  return std::string(word);
}

std::string compose(std::string_view family, const std::optional<std::string>& suffix, std::string_view given) {
  std::string name(family);
  if (suffix) name.append(", ").append(*suffix);
  if (!given.empty()) name.append(", ").append(given);
  return tex_escaped(name);
}

}  // namespace

void append_tex_escaped(std::string_view text, std::string& out) {
  static constexpr auto kSpecial = [] {
    std::array<bool, 256> special{};
    for (unsigned char c : std::string_view("&%$#_{}~^\\\"")) special[c] = true;
    return special;
  }();
  out.reserve(out.size() + text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    // Plain characters go over in runs.
    std::size_t end = i;
    while (end < text.size() && !kSpecial[static_cast<unsigned char>(text[end])]) ++end;
    out.append(text.data() + i, end - i);
    if (end == text.size()) break;
    const char c = text[end];
    switch (c) {
      case '{':
        out.append("\\textbraceleft{}");
        break;
      case '}':
        out.append("\\textbraceright{}");
        break;
      case '~':
        out.append("\\textasciitilde{}");
        break;
      case '^':
        out.append("\\textasciicircum{}");
        break;
      case '\\':
        out.append("\\textbackslash{}");
        break;
      case '"':
        out.append("{\"}");
        break;
      default:  // & % $ # _
        out.push_back('\\');
        out.push_back(c);
    }
    i = end + 1;
  }
}

std::string tex_escaped(std::string_view text) {
  std::string out;
  append_tex_escaped(text, out);
  return out;
}

std::string_view trim_line_end(std::string_view line) {
  while (!line.empty() && (is_blank(line.back()) || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  return trim_line_end(text);
}

std::string full_name_to_bibtex(std::string_view name) {
  name = trim_blanks(name);
  const std::size_t comma = name.find(',');
  if (comma == std::string_view::npos) return initials_name_to_bibtex(name);
  const std::string_view family = trim_blanks(name.substr(0, comma));
  std::vector<std::string_view> words = split_words(name.substr(comma + 1));
  std::optional<std::string> suffix;
  if (words.size() > 1 || (words.size() == 1 && suffix_of(words[0]))) {
    suffix = suffix_of(words.back());
    if (suffix) words.pop_back();
  }
  std::string given;
  for (std::string_view word : words) {
    if (!given.empty()) given.push_back(' ');
    given.append(given_word(word));
  }
  return compose(family, suffix, given);
}

std::string initials_name_to_bibtex(std::string_view name) {
  const std::vector<std::string_view> all_words = split_words(name);
  std::vector<std::string_view> words = all_words;
  if (words.size() < 2) return tex_escaped(join(all_words, 0, all_words.size()));
  std::optional<std::string> suffix = suffix_of(words.back());
  if (suffix && words.size() > 2) {
    words.pop_back();
  } else {
    suffix.reset();
  }
  // Not "Smith JA": a name written some other way is kept as it is.
  if (!looks_like_initials(words.back())) return tex_escaped(join(all_words, 0, all_words.size()));
  return compose(join(words, 0, words.size() - 1), suffix, spelled_initials(words.back()));
}

std::string ris_name_to_bibtex(std::string_view name) {
  name = trim_blanks(name);
  if (name.find(',') != std::string_view::npos) return tex_escaped(name);
  std::vector<std::string_view> words = split_words(name);
  if (words.size() < 2) return tex_escaped(name);
  std::optional<std::string> suffix = suffix_of(words.back());
  if (suffix && words.size() > 2) {
    words.pop_back();
  } else {
    suffix.reset();
  }
  // The family name is the last word, with the lower-case particles
  // ("van der") just before it; the given names never become empty.
  std::size_t family = words.size() - 1;
  while (family > 1 && !words[family - 1].empty() && is_ascii_lower(words[family - 1][0])) --family;
  return compose(join(words, family, words.size()), suffix, join(words, 0, family));
}

std::string_view year_of(std::string_view date) {
  for (std::size_t at = 0; at + 4 <= date.size(); ++at) {
    bool digits = true;
    for (std::size_t i = at; i < at + 4; ++i) digits = digits && date[i] >= '0' && date[i] <= '9';
    if (digits) return date.substr(at, 4);
  }
  return {};
}

std::string_view month_abbreviation(int month) {
  static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return {};
  return kMonths[month - 1];
}

}  // namespace refloom
