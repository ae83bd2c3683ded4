// The Inspec export format (the IET's database): a
// record starts at an "AN" line; a field runs on over lines that begin with
// a blank, which are joined to it before anything else; markers of three
// asterisks are removed.

#include <array>
#include <cstring>

#include "core/line_reader.h"
#include "import/import_common.h"
#include "import/line_rules.h"

namespace refloom {

namespace {

constexpr std::size_t kInspecTextOffset = 5;
constexpr std::size_t kCommentTextOffset = 7;
constexpr std::array<LineRule, 5> kInspecRules = {{
    {"AU", LineField::kAuthors, kInspecTextOffset},
    {"TI", LineField::kTitle, kInspecTextOffset},
    {"AB", LineField::kAbstract, kInspecTextOffset},
    {"SO", LineField::kSource, kInspecTextOffset},
    {"CM", LineField::kComment, kCommentTextOffset},
}};
// The accession number is kept as the first keyword.
constexpr LineFormat kInspec = {
    .record_tag = "AN",
    .record_text_is_keyword = true,
    .rules = kInspecRules,
    .keyword_tags = KeywordTags::kInspec,
    .keyword_text_offset = kInspecTextOffset,
};
// A continuation line's first four characters are its indentation.
constexpr std::size_t kContinuationIndent = 4;

// Removes every occurrence of `pattern`, looking again from the start after
// each removal. Done in one pass: text is copied down, and an occurrence is
// dropped as soon as its last character has been copied, which removes the
// same occurrences as searching from the start again each time.
void remove_all(std::string& line, std::string_view pattern) {
  if (line.find(pattern) == std::string::npos) return;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[kept++] = line[i];
    if (kept >= pattern.size() &&
        std::memcmp(line.data() + kept - pattern.size(), pattern.data(), pattern.size()) == 0) {
      kept -= pattern.size();
    }
  }
  line.resize(kept);
}

void remove_markers(std::string& line) {
  remove_all(line, "  ***");
  remove_all(line, "***  ");
  remove_all(line, "***");
}

// "Smith, J.; Doe, B. (Univ. of X, UK)": names up to each ";", and the
// parenthesised text apart, for the annotation.
template <class Target>
void author_line(Target& target, std::string_view text, std::string& name, std::string& in_parentheses) {
  name.clear();
  in_parentheses.clear();
  bool inside = false;
  for (std::size_t i = 0; i < text.size() && text[i] != '\n'; ++i) {
    const char c = text[i];
    if (c == '(') {
      inside = true;
    } else if (c == ')') {
      inside = false;
    }
    (inside ? in_parentheses : name).push_back(c);
    if (i + 1 < text.size() && text[i + 1] == ';') {
      target.append_author(name);
      name.clear();
    }
  }
  if (!name.empty()) target.append_author(name);
  // A line without parentheses leaves the annotation alone.
  if (!in_parentheses.empty()) target.append_field(kAnnote, in_parentheses);
}

// The characters of `text` from `start` up to the first one for which
// `stops(position)` holds; empty when `start` lies beyond the text.
template <class Stops>
std::string_view value_from(std::string_view text, std::size_t start, Stops stops) {
  if (start >= text.size()) return {};
  std::size_t end = start;
  while (end < text.size() && text[end] != '\n' && !stops(end)) ++end;
  return text.substr(start, end - start);
}

// "IEEE Trans. Magn. (Sept. 1995) vol.31, no.5, p.3456-8": the journal up
// to the "(", then each value found by its own search from the start.
template <class Target>
void split_source(Target& target, std::string_view source) {
  const std::size_t journal = source.find_first_of("(\n");
  target.set_journal_n(source, journal == std::string_view::npos ? source.size() : journal);
  if (source.empty()) return;

  const auto is_any_of = [&source](std::string_view stops) {
    return [source, stops](std::size_t i) { return stops.find(source[i]) != std::string_view::npos; };
  };
  constexpr auto npos = std::string_view::npos;

  if (const std::size_t at = source.find("vol"); at != npos) {
    const auto volume = value_from(source, at + 4, is_any_of(",."));
    if (!volume.empty()) target.set_volume_before_colon(volume);
  }
  if (const std::size_t at = source.find(" p."); at != npos) {
    const auto pages = value_from(source, at + 3, is_any_of(",."));
    if (!pages.empty()) target.set_pages(pages);
  }
  if (const std::size_t at = source.find(") "); at != npos) {
    // The year is the four characters before the ")"; nearer the start of
    // the text it is what stands before the ")".
    const auto year = value_from(source, at >= 4 ? at - 4 : 0, is_any_of("),"));
    if (!year.empty()) target.set_year_from_text(year);
  }
  if (const std::size_t at = source.find('('); at != npos) {
    // "(Sept. 1995)": the month ends at a blank, or where only the year is
    // left before the ")".
    const auto month = value_from(source, at + 1, [&source](std::size_t i) {
      return source[i] == ' ' || (i + 4 < source.size() && source[i + 4] == ')');
    });
    if (!month.empty() && month[0] != '1') target.set_month(month);
  }
  if (const std::size_t at = source.find("no."); at != npos) {
    const auto number = value_from(source, at + 3, is_any_of(",."));
    if (!number.empty()) target.set_number_from_text(number);
  }
}

// How Inspec writes its author and source lines.
struct InspecParts {
  template <class Target>
  void authors(Target& target, std::string_view text) {
    author_line(target, text, name_, in_parentheses_);
  }
  template <class Target>
  void source(Target& target, std::string_view text) {
    split_source(target, text);
  }

  std::string name_;
  std::string in_parentheses_;
};

template <class Target>
void read_inspec(Target& target, std::FILE* stream) {
  LineRuleImport import(kInspec, target, InspecParts());
  LineReader lines(stream);
  std::string_view physical;
  if (!lines.next(physical)) return;
  std::string logical(physical);
  for (;;) {
    bool more = lines.next(physical);
    while (more && !physical.empty() && physical[0] == ' ') {
      // The carriage return that ends a line of a CRLF file would cut the
      // logical line at the join: drop it there.
      if (!logical.empty() && logical.back() == '\r') logical.pop_back();
      if (physical.size() > kContinuationIndent) logical.append(physical.substr(kContinuationIndent));
      more = lines.next(physical);
    }
    remove_markers(logical);
    import.line(logical);
    // The last line counts even without a line feed after it.
    if (!more) return;
    logical.assign(physical);
  }
}

}  // namespace

void import_inspec(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type, RecordStorage storage) {
  with_target(database, entry_type, storage, [&](auto& target) { read_inspec(target, stream); });
}

ReadResult import_inspec(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                         std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_inspec));
}

}  // namespace refloom
