// The tagged-line Medline formats, Ovid and PubMed: a two-letter tag starts
// a line, its text begins in the seventh column, and lines that begin with
// two blanks continue the field of the last tag. The two formats differ
// only in their tag tables and in how a record starts.

#include <array>
#include <span>

#include "import/import_common.h"

namespace refloom {

namespace {

constexpr std::size_t kTaggedTextOffset = 6;
// Continuation lines may grow an abstract up to this length.
constexpr std::size_t kAbstractContinuationMax = 2998;

enum class TagAction {
  kRecordStart,
  kAuthor,
  kEditor,
  kTitle,
  kBooktitle,
  kInstitution,
  kComment,
  kAbstract,
  kKeyword,
  kSource,
};

struct TagRule {
  std::string_view tag;
  TagAction action;
};

struct TaggedFormat {
  bool (*starts_record)(std::string_view line);
  // PubMed's "UI" line becomes the current tag, so that continuation lines
  // right after it go nowhere; Ovid's record start leaves the tag alone.
  bool record_start_is_tag;
  std::span<const TagRule> rules;
};

constexpr std::array<TagRule, 8> kOvidRules = {{
    {"AU", TagAction::kAuthor},
    {"ED", TagAction::kEditor},
    {"TI", TagAction::kTitle},
    {"BK", TagAction::kBooktitle},
    {"IN", TagAction::kInstitution},
    {"AB", TagAction::kAbstract},
    {"MH", TagAction::kKeyword},
    {"SO", TagAction::kSource},
}};

constexpr std::array<TagRule, 14> kPubmedRules = {{
    {"AU", TagAction::kAuthor},
    {"ED", TagAction::kEditor},
    {"TI", TagAction::kTitle},
    {"BK", TagAction::kBooktitle},
    {"IN", TagAction::kInstitution},
    {"AD", TagAction::kComment},
    {"AB", TagAction::kAbstract},
    {"MH", TagAction::kKeyword},
    {"LA", TagAction::kKeyword},
    {"PT", TagAction::kKeyword},
    {"DP", TagAction::kKeyword},
    {"IS", TagAction::kKeyword},
    {"CY", TagAction::kKeyword},
    {"SO", TagAction::kSource},
}};

// All tags are two letters; compared by hand, as every line is tested
// against every tag.
bool starts_with_tag(std::string_view line, std::string_view tag) {
  return line.size() >= 2 && line[0] == tag[0] && line[1] == tag[1];
}

bool ovid_starts_record(std::string_view line) { return !line.empty() && is_ascii_digit(line[0]); }
bool pubmed_starts_record(std::string_view line) { return starts_with_tag(line, "UI"); }

constexpr TaggedFormat kOvid = {ovid_starts_record, false, kOvidRules};
constexpr TaggedFormat kPubmed = {pubmed_starts_record, true, kPubmedRules};

// "J Biol Chem 1995;270(9):4563-9": the journal runs up to the digits just
// before the first ";", which are the year; the volume follows the ";", the
// pages the first ":".
template <class Target>
void split_source(Target& target, std::string_view source) {
  const std::size_t size = source.size();
  std::size_t semicolon = source.find(';');
  if (semicolon == std::string_view::npos) semicolon = size;

  const std::size_t year = last_digit_run_start(source, semicolon);
  std::size_t journal = year;
  while (journal > 0 && journal <= size && source[journal - 1] == ' ') --journal;
  target.set_journal_n(source, journal < 1 ? 1 : journal);
  target.set_year_from_text(source.substr(year < size ? year : size));

  if (semicolon < size) target.set_volume_before_colon(source.substr(semicolon + 1));
  const std::size_t colon = source.find(':');
  if (colon != std::string_view::npos) target.set_pages(source.substr(colon + 1));
}

template <class Target>
class TaggedImport {
 public:
  TaggedImport(const TaggedFormat& format, Target& target) : format_(format), target_(target) {}

  void line(std::string_view line) {
    if (format_.starts_record(line)) {
      target_.start_record();
      if (format_.record_start_is_tag) current_ = TagAction::kRecordStart;
      return;
    }
    // Before the first record there is nothing to write to, nor a tag to
    // continue.
    if (!target_.has_record()) return;

    for (const TagRule& rule : format_.rules) {
      if (!starts_with_tag(line, rule.tag)) continue;
      current_ = rule.action;
      abstract_refused_ = false;
      if (const auto text = field_text(line, kTaggedTextOffset, converted_)) apply(rule.action, *text);
      return;
    }
    if (starts_with_tag(line, "  ")) continuation(line);
  }

 private:
  void apply(TagAction action, std::string_view text) {
    switch (action) {
      case TagAction::kRecordStart:
        break;
      case TagAction::kAuthor:
        target_.append_author(text);
        break;
      case TagAction::kEditor:
        target_.append_editor(text);
        break;
      case TagAction::kTitle:
        target_.set_title(text);
        break;
      case TagAction::kBooktitle:
        target_.set_booktitle(text);
        break;
      case TagAction::kInstitution:
        target_.set_institution(text);
        break;
      case TagAction::kComment:
        target_.set_comment(text);
        break;
      case TagAction::kAbstract:
        target_.set_abstract(text);
        break;
      case TagAction::kKeyword:
        target_.append_keyword(text);
        break;
      case TagAction::kSource:
        split_source(target_, text);
        break;
    }
  }

  void continuation(std::string_view line) {
    if (!current_) return;
    FieldSlot slot;
    switch (*current_) {
      case TagAction::kTitle:
        slot = kTitle;
        break;
      case TagAction::kBooktitle:
        slot = kBooktitle;
        break;
      case TagAction::kInstitution:
        slot = kInstitution;
        break;
      case TagAction::kComment:
        slot = kComment;
        break;
      case TagAction::kAbstract:
        slot = kAbstract;
        break;
      default:
        return;
    }
    const auto text = field_text(line, kTaggedTextOffset, converted_);
    if (!text) return;
    if (slot == kAbstract) {
      // Once a line would make the abstract too long, the rest of it is
      // dropped as well, so that it does not go on with a gap.
      const auto old = target_.field_size(kAbstract);
      const std::size_t grown = old ? *old + 1 + text->size() : text->size();
      if (abstract_refused_ || grown > kAbstractContinuationMax) {
        abstract_refused_ = true;
        return;
      }
      abstract_refused_ = false;
    }
    // A field that is still absent starts with the continuation's text.
    target_.append_field(slot, *text);
  }

  const TaggedFormat& format_;
  Target& target_;
  std::optional<TagAction> current_;
  bool abstract_refused_ = false;
  std::string converted_;
};

void import_tagged(const TaggedFormat& format, ReferenceDatabase& database, std::FILE* stream,
                   std::string_view entry_type, RecordStorage storage) {
  with_target(database, entry_type, storage, [&](auto& target) {
    TaggedImport import(format, target);
    read_converted_lines(stream, import);
  });
}

}  // namespace

void import_medline_ovid(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                         RecordStorage storage) {
  import_tagged(kOvid, database, stream, entry_type, storage);
}

void import_medline_pubmed(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                           RecordStorage storage) {
  import_tagged(kPubmed, database, stream, entry_type, storage);
}

ReadResult import_medline_ovid(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                               std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_medline_ovid));
}

ReadResult import_medline_pubmed(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                                 std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_medline_pubmed));
}

}  // namespace refloom
