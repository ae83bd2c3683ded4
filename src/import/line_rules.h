#pragma once

// The formats whose lines stand alone, each with its tag in front: SPIRS,
// and Inspec once its continuation lines are joined on. Rule tables give
// each tag its field; keyword lines have tags of their own, and their text
// falls into keywords. What differs by format beyond the tables is how the
// author and source lines are split.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "core/fields.h"
#include "import/import_common.h"

namespace refloom {

// The fields that the lines fill, one line each.
enum class LineField { kAuthors, kTitle, kAbstract, kKeywords, kSource, kComment, kAnnote };

// A line that starts with `tag` fills `field` with its text from
// `text_offset` on.
struct LineRule {
  std::string_view tag;
  LineField field;
  std::size_t text_offset;
};

// The first rule whose tag starts the line, or null.
inline const LineRule* find_line_rule(std::span<const LineRule> rules, std::string_view line) {
  for (const LineRule& rule : rules) {
    if (line.starts_with(rule.tag)) return &rule;
  }
  return nullptr;
}

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

struct LineFormat {
  // A line that starts with this tag starts a record.
  std::string_view record_tag;
  // Whether the record start's own text is kept as the record's first
  // keywords (Inspec's accession number).
  bool record_text_is_keyword;
  std::span<const LineRule> rules;
  // Keyword lines are taken only where no rule's tag starts the line.
  KeywordTags keyword_tags;
  std::size_t keyword_text_offset;
};

// Reads the lines of a format into `target`. `parts` splits the author
// line (`parts.authors(target, text)`) and the source line
// (`parts.source(target, text)`) as the format writes them.
template <class Target, class Parts>
class LineRuleImport {
 public:
  LineRuleImport(const LineFormat& format, Target& target, Parts parts)
      : format_(format), target_(target), parts_(std::move(parts)) {}

  void line(std::string_view line) {
    if (line.starts_with(format_.record_tag)) {
      target_.start_record();
      if (format_.record_text_is_keyword) apply(LineField::kKeywords, format_.keyword_text_offset, line);
      return;
    }
    // Before the first record there is nothing to write to.
    if (!target_.has_record()) return;

    if (const LineRule* rule = find_line_rule(format_.rules, line)) {
      apply(rule->field, rule->text_offset, line);
    } else if (is_keyword_line(line, format_.keyword_tags)) {
      apply(LineField::kKeywords, format_.keyword_text_offset, line);
    }
  }

 private:
  void apply(LineField field, std::size_t text_offset, std::string_view line) {
    const auto text = field_text(line, text_offset, converted_);
    if (!text) return;
    switch (field) {
      case LineField::kAuthors:
        parts_.authors(target_, *text);
        break;
      case LineField::kTitle:
        target_.set_title(*text);
        break;
      case LineField::kAbstract:
        target_.set_abstract(*text);
        break;
      case LineField::kKeywords:
        append_keyword_pieces(target_, *text);
        break;
      case LineField::kSource:
        parts_.source(target_, *text);
        break;
      case LineField::kComment:
        target_.append_field(kComment, *text);
        break;
      case LineField::kAnnote:
        target_.append_field(kAnnote, *text);
        break;
    }
  }

  const LineFormat& format_;
  Target& target_;
  Parts parts_;
  std::string converted_;
};

}  // namespace refloom
