#include "core/form_layout.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace refloom {

namespace {

const std::array<FormField, 9> kBand = {{
    {"Howpublished:", kHowpublished, 35},
    {"Journal:", kJournal, 35},
    {"Volume:", kVolume, 12},
    {"Number:", kNumber, 8},
    {"Edition:", kEdition, 12},
    {"Month:", kMonth, 12},
    {"Chapter:", kChapter, 12},
    {"Pages:", kPages, 12},
    {"Year:", kYear, 8},
}};

const std::array<FormField, 12> kRows = {{
    {"Title:", kTitle, 0, 3, true},
    {"Booktitle:", kBooktitle, 0, 3, true},
    {"Series:", kSeries, 0, 1, false},
    {"Type:", kType, 0, 1, false},
    {"Author:", kAuthor, 0, 2, true},
    {"Institution:", kInstitution, 0, 1, true},
    {"Organization:", kOrganization, 0, 1, false},
    {"School:", kSchool, 0, 1, false},
    {"Editor:", kEditor, 0, 2, true},
    {"Publisher:", kPublisher, 0, 1, false},
    {"Address:", kAddress, 0, 1, false},
    {"Abstract:", kAbstract, 0, 8, true},
}};

struct TypeFields {
  std::initializer_list<FieldSlot> band;
  std::initializer_list<FieldSlot> rows;
};

// Month, Year, Title, Author and Abstract belong to every type.
const TypeFields kCommon = {{kMonth, kYear}, {kTitle, kAuthor, kAbstract}};

const std::array<TypeFields, 13> kTypes = {{
    // article
    {{kJournal, kVolume, kNumber, kMonth, kPages, kYear}, {kTitle, kAuthor, kAbstract}},
    // book
    {{kVolume, kNumber, kEdition, kMonth, kYear}, {kTitle, kSeries, kAuthor, kEditor, kPublisher, kAddress, kAbstract}},
    // booklet
    {{kHowpublished, kMonth, kYear}, {kTitle, kAuthor, kAddress, kAbstract}},
    // inbook
    {{kVolume, kNumber, kEdition, kMonth, kChapter, kPages, kYear},
     {kTitle, kSeries, kType, kAuthor, kEditor, kPublisher, kAddress, kAbstract}},
    // incollection
    {{kVolume, kNumber, kEdition, kMonth, kChapter, kPages, kYear},
     {kTitle, kBooktitle, kSeries, kType, kAuthor, kEditor, kPublisher, kAddress, kAbstract}},
    // inproceedings
    {{kVolume, kNumber, kMonth, kPages, kYear},
     {kTitle, kBooktitle, kSeries, kAuthor, kOrganization, kEditor, kPublisher, kAddress, kAbstract}},
    // manual
    {{kEdition, kMonth, kYear}, {kTitle, kAuthor, kOrganization, kAddress, kAbstract}},
    // mastersthesis
    {{kMonth, kYear}, {kTitle, kType, kAuthor, kSchool, kAddress, kAbstract}},
    // misc
    {{kHowpublished, kMonth, kYear}, {kTitle, kAuthor, kAbstract}},
    // phdthesis
    {{kMonth, kYear}, {kTitle, kType, kAuthor, kSchool, kAddress, kAbstract}},
    // proceedings
    {{kVolume, kNumber, kMonth, kYear}, {kTitle, kSeries, kAuthor, kEditor, kPublisher, kAddress, kAbstract}},
    // techreport
    {{kNumber, kMonth, kYear}, {kTitle, kType, kAuthor, kInstitution, kAddress, kAbstract}},
    // unpublished
    {{kMonth, kYear}, {kTitle, kAuthor, kAbstract}},
}};

const TypeFields& fields_of(EntryType type) {
  return type >= 0 && type < static_cast<EntryType>(kTypes.size()) ? kTypes[static_cast<std::size_t>(type)] : kCommon;
}

template <std::size_t N>
std::vector<FormField> select(const std::array<FormField, N>& all, std::initializer_list<FieldSlot> slots) {
  std::vector<FormField> selected;
  for (const FormField& field : all) {
    if (std::find(slots.begin(), slots.end(), field.slot) != slots.end()) selected.push_back(field);
  }
  return selected;
}

}  // namespace

std::vector<FormField> band_fields(EntryType type) { return select(kBand, fields_of(type).band); }

std::vector<FormField> row_fields(EntryType type) { return select(kRows, fields_of(type).rows); }

const std::vector<FormField>& bottom_fields() {
  static const std::vector<FormField> fields = {
      {"Keyword:", kKeyword, 45, 4, true},
      {"Note:", kNote, 0, 4, true},
      {"Annote:", kAnnote, 45, 4, true},
      {"Comment:", kComment, 0, 4, true},
  };
  return fields;
}

const std::vector<FormField>& key_and_other_fields() {
  static const std::vector<FormField> fields = {
      {"Citation key:", kCitationKeyText, 45, 0, false},
      {"Other fields:", kOtherFieldsText, 0, 4, true},
  };
  return fields;
}

const std::vector<FormField>& top_fields() {
  static const std::vector<FormField> fields = {
      {"Ref. ID:", kRefIdSlot, 8},
      {"Key:", kKey, 8},
      {"Crossref:", kCrossref, 8},
  };
  return fields;
}

std::string_view entry_type_for_button(int button) {
  if (button >= 1 && button < static_cast<int>(kEntryTypeNames.size())) {
    return kEntryTypeNames[static_cast<std::size_t>(button)];
  }
  return kEntryTypeNames[0];
}

std::string_view reprint_for_button(int button) { return kReprintValues[button == 0 ? 0 : 1]; }

int reprint_button(std::string_view reprint) { return reprint == kReprintValues[0] ? 0 : 1; }

std::string_view form_title(FormMode mode) {
  switch (mode) {
    case kEditMode:
      return "Edit reference";
    case kSearchMode:
      return "Search references";
    default:
      return "Add new reference";
  }
}

}  // namespace refloom
