// The SPIRS Medline format: a record starts at a "Rec" line, every other
// line stands alone with its tag in front and its text from the eighth
// column; several values of one field are separated by ";".

#include <array>

#include "import/import_common.h"
#include "import/line_rules.h"

namespace refloom {

namespace {

constexpr std::size_t kSpirsTextOffset = 7;

constexpr std::array<LineRule, 6> kSpirsRules = {{
    {"AU", LineField::kAuthors, kSpirsTextOffset},
    {"TI", LineField::kTitle, kSpirsTextOffset},
    {"AB", LineField::kAbstract, kSpirsTextOffset},
    {"SO", LineField::kSource, kSpirsTextOffset},
    {"CM", LineField::kComment, kSpirsTextOffset},
    {"AD", LineField::kAnnote, kSpirsTextOffset},
}};
constexpr LineFormat kSpirs = {
    .record_tag = "Rec",
    .record_text_is_keyword = false,
    .rules = kSpirsRules,
    .keyword_tags = KeywordTags::kSpirs,
    .keyword_text_offset = kSpirsTextOffset,
};

// "Smith-JA; Doe-B": each name has a hyphen between last name and
// initials, which becomes the comma the name conversion expects. A piece
// without a hyphen is converted as it stands.
template <class Target>
void append_author_pieces(Target& target, std::string_view text, std::string& piece) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    piece.assign(text.substr(start, end - start));
    const std::size_t hyphen = piece.rfind('-');
    if (hyphen != std::string::npos) piece[hyphen] = ',';
    target.append_author(piece);
    start = end + 1;
  }
}

// "J-Biol-Chem. 1995 Mar 3; 270(9): 4563-9": the journal ends with a full
// stop before the year; one or two digits right before the ";" are the day
// and are passed over; volume and pages start two characters after their
// separators. Starts that would lie beyond the text give empty values.
template <class Target>
void split_source(Target& target, std::string_view source) {
  const std::size_t size = source.size();
  std::size_t semicolon = source.find(';');
  if (semicolon == std::string_view::npos) semicolon = size;

  std::size_t day_digits = 0;
  while (semicolon - day_digits > 1 && is_ascii_digit(source[semicolon - day_digits - 1])) ++day_digits;
  // The scan for the year starts here and goes down; `scan_end` is one past
  // the first position examined.
  const std::size_t scan_end = day_digits < 3 ? semicolon - day_digits : semicolon + 1;

  const std::size_t year = last_digit_run_start(source, scan_end);
  std::size_t blanks = 0;
  while (year - blanks > 1 && year - blanks - 1 < size && source[year - blanks - 1] == ' ') ++blanks;
  const std::size_t journal = year - blanks >= 1 ? year - blanks - 1 : 0;
  target.set_journal_n(source, journal);
  target.set_year_from_text(source.substr(year < size ? year : size));

  const auto from = [&](std::size_t start) { return source.substr(start < size ? start : size); };
  if (semicolon < size) target.set_volume_before_colon(from(semicolon + 2));
  const std::size_t colon = source.find(':');
  if (colon != std::string_view::npos) target.set_pages(from(colon + 2));
}

// How SPIRS writes its author and source lines.
struct SpirsParts {
  template <class Target>
  void authors(Target& target, std::string_view text) {
    append_author_pieces(target, text, piece_);
  }
  template <class Target>
  void source(Target& target, std::string_view text) {
    split_source(target, text);
  }

  std::string piece_;
};

}  // namespace

void import_medline_spirs(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                          RecordStorage storage) {
  with_target(database, entry_type, storage, [&](auto& target) {
    LineRuleImport import(kSpirs, target, SpirsParts());
    read_converted_lines(stream, import);
  });
}

ReadResult import_medline_spirs(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                                std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_medline_spirs));
}

}  // namespace refloom
