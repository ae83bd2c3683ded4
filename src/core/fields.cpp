#include "core/fields.h"

#include <vector>

namespace refloom {

const std::array<FieldInfo, kFieldCount> kFieldOrder = {{
    {"abstract", kAbstract, "abstract   = \""},
    {"address", kAddress, "address    = \""},
    {"annote", kAnnote, "annote     = \""},
    {"author", kAuthor, "author     = \""},
    {"booktitle", kBooktitle, "booktitle  = \""},
    {"chapter", kChapter, "chapter    = \""},
    {"comment", kComment, "comment    = \""},
    {"crossref", kCrossref, "crossref   = \""},
    {"edition", kEdition, "edition    = \""},
    {"editor", kEditor, "editor     = \""},
    {"howpublished", kHowpublished, "howpublished  = \""},
    {"institution", kInstitution, "institution= \""},
    {"journal", kJournal, "journal    = \""},
    {"key", kKey, "key        = \""},
    {"keyword", kKeyword, "keyword    = \""},
    {"month", kMonth, "month      = \""},
    {"note", kNote, "note       = \""},
    {"number", kNumber, "number     = \""},
    {"organization", kOrganization, "organization = \""},
    {"pages", kPages, "pages      = \""},
    {"publisher", kPublisher, "publisher  = \""},
    {"reprint", kReprint, "reprint    = \""},
    {"school", kSchool, "school     = \""},
    {"series", kSeries, "series     = \""},
    {"title", kTitle, "title      = \""},
    {"type", kType, "type       = \""},
    {"volume", kVolume, "volume     = \""},
    {"year", kYear, "year       = \""},
}};

std::optional<FieldSlot> field_slot(std::string_view name) {
  // The fields by their first letter: every name of a file is looked up.
  static const std::array<std::vector<const FieldInfo*>, 26> by_letter = [] {
    std::array<std::vector<const FieldInfo*>, 26> table;
    for (const FieldInfo& field : kFieldOrder) table[static_cast<std::size_t>(field.name[0] - 'a')].push_back(&field);
    return table;
  }();
  if (name.empty() || name[0] < 'a' || name[0] > 'z') return std::nullopt;
  for (const FieldInfo* field : by_letter[static_cast<std::size_t>(name[0] - 'a')]) {
    if (field->name == name) return field->slot;
  }
  return std::nullopt;
}

std::string_view field_name(FieldSlot slot) {
  for (const FieldInfo& field : kFieldOrder) {
    if (field.slot == slot) return field.name;
  }
  return {};
}

EntryType entry_type_of(std::string_view name) {
  for (std::size_t i = 0; i < kEntryTypeNames.size(); ++i) {
    if (kEntryTypeNames[i] == name) return static_cast<EntryType>(i);
  }
  return -1;
}

}  // namespace refloom
