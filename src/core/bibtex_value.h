#pragma once

// Values as BibTeX files write them: literal texts in braces or quotes, bare
// numbers and macro names, joined by "#". A value read from a file keeps
// this source form beside its expanded text, so that a save writes it back
// as it stood (month = nov stays a macro the style defines) for as long as
// the text is unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace refloom {

// Calls visit(i) for the index i of each brace (and, with `quotes`, each
// double quote) in data[from, size), in order, until visit returns false;
// returns where it stopped (`size` when it went through). Sixteen bytes at
// a time where the processor allows: most bytes of a value are none of
// these.
template <class Visit>
std::size_t for_each_brace(const char* data, std::size_t from, std::size_t size, bool quotes, Visit&& visit) {
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i open = _mm_set1_epi8('{');
  const __m128i close = _mm_set1_epi8('}');
  const __m128i quote = _mm_set1_epi8(quotes ? '"' : '{');
  for (; i + 16 <= size; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)),
                                      _mm_cmpeq_epi8(bytes, quote));
    for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (!visit(at)) return at;
    }
  }
#endif
  for (; i < size; ++i) {
    const char c = data[i];
    if ((c == '{' || c == '}' || (quotes && c == '"')) && !visit(i)) return i;
  }
  return size;
}

// What a value holds that decides how it can be written, found in one pass.
struct ValueShape {
  bool balanced = true;     // every closing brace closes an opening one, none left open
  bool fits_quotes = true;  // see fits_quotes
};
ValueShape value_shape(std::string_view value);

// Whether BibTeX and both of Refloom's BibTeX readers read the value back
// unchanged from double quotes: braces that balance, no double quote that
// any of them would take as the end (BibTeX ends at a quote outside braces,
// the "BibTeX" format at one not after a backslash and not enclosed as
// {"}), and no final backslash.
bool fits_quotes(std::string_view value);

// Whether every closing brace closes an opening one and none is left open.
bool braces_balance(std::string_view value);

// The value with its braces made to balance as little as possible apart: an
// opening brace before it for every closing one that closes nothing, a
// closing brace after it for every opening one left open. BibTeX cannot
// read a value whose braces do not balance, and the rest of the file with
// it.
std::string balance_braces(std::string_view value);

// Appends a value whose braces balance as a delimited literal: in double
// quotes when it fits them, else in braces.
void append_literal(std::string& out, std::string_view value);

// The macros a file defines with @string, and the months jan to dec that
// the standard styles define. Names are compared without regard to case.
class MacroTable {
 public:
  MacroTable();
  // The text of a macro; nullopt for a name nobody defined.
  const std::string* find(std::string_view name) const;
  void define(std::string_view name, std::string text);
  bool defines(std::string_view name) const { return find(name) != nullptr; }

 private:
  std::unordered_map<std::string, std::string> texts_;  // by lower-case name
  mutable std::string lowered_;
};

std::string lower_case(std::string_view text);

// The English name of a month 1..12, as the month macros give it.
std::string_view month_name(int month);

namespace detail {
// Bit 1: white space; bit 2: a character BibTeX takes in a name.
inline constexpr std::array<unsigned char, 256> kCharClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (int c = 1; c < 256; ++c) classes[static_cast<std::size_t>(c)] = 2;
  for (char c : std::string_view(" \t\n\r\f\v")) classes[static_cast<unsigned char>(c)] = 1;
  for (char c : std::string_view("\"#%'(),={}@")) classes[static_cast<unsigned char>(c)] = 0;
  return classes;
}();
}  // namespace detail

// Characters BibTeX takes in a name (entry types, field names, macro names):
// any but white space, NUL and "#%'(),={}@.
inline bool is_bibtex_name_char(char c) { return detail::kCharClasses[static_cast<unsigned char>(c)] == 2; }
inline bool is_bibtex_blank(char c) { return detail::kCharClasses[static_cast<unsigned char>(c)] == 1; }

// One value in source form parsed from text (the "Other fields" of the
// form, a kept source form): its expanded text, and the source form in
// Refloom's spelling when it used a macro or "#" (empty otherwise). An
// unknown macro expands to its name as written.
struct ParsedValue {
  std::string text;
  std::string source;
};

// Parses a value at `pos` (after any blanks), leaving `pos` after it. On a
// fault, returns nullopt with `error` saying what is wrong and `pos` where.
std::optional<ParsedValue> parse_value(std::string_view text, std::size_t& pos, const MacroTable& macros,
                                       std::string& error);

// The text a source form stands for with these macros; nullopt when it
// cannot be read.
std::optional<std::string> expand_source(std::string_view source, const MacroTable& macros);

// Notes the parts of a value while a reader takes it, and builds its source
// form afterwards when it needs one: a macro, or several parts. Literal
// parts are given as ranges of the expanded text, so that a value of one
// literal part (nearly all of them) costs no copy.
class SourceFormBuilder {
 public:
  void clear();
  void literal(std::size_t begin, std::size_t end);
  void number(std::size_t begin, std::size_t end);
  void macro(std::string_view name);
  bool needed() const { return macro_ || parts_.size() > 1; }
  // The source form for the value's expanded text, or empty when it needs
  // none or a literal part cannot be written again (its braces do not
  // balance).
  std::string build(std::string_view value) const;

 private:
  enum class Kind : unsigned char { kLiteral, kNumber, kMacro };
  struct Part {
    Kind kind;
    std::size_t begin;  // in the value, or in names_ for a macro
    std::size_t end;
  };
  std::vector<Part> parts_;
  std::string names_;
  bool macro_ = false;
};

}  // namespace refloom
