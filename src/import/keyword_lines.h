#pragma once

// The keyword lines that SPIRS and Inspec exports share: which tags mark
// them, and how their text falls into keywords.

#include <string_view>

namespace refloom {

// Inspec knows three keyword tags more than SPIRS ("DT", "TC", "CY").
enum class KeywordTags { kSpirs, kInspec };

// Whether a line carries a keyword tag: "MESH", "*LHM", "*LHC", "MIME",
// "MJME" and "ISSN" in its first four characters, or one of the two-letter
// tags in its first two.
bool is_keyword_line(std::string_view line, KeywordTags tags);

// Passes each piece of a keyword text to target.append_keyword: a piece
// runs up to the next ";", and the next one starts two characters after it
// (past the ";" and the blank the exports put there). A ";" with fewer than
// two characters after it ends the text. Pieces are kept whole, however
// long.
template <class Target>
void append_keyword_pieces(Target& target, std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t semicolon = text.find(';', start);
    if (semicolon == std::string_view::npos) {
      target.append_keyword(text.substr(start));
      return;
    }
    target.append_keyword(text.substr(start, semicolon - start));
    start = semicolon + 2;
  }
}

}  // namespace refloom
