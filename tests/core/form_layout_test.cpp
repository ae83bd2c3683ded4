// The reference form's layout, checked by what it promises rather than
// against a copy of its tables: which fields each entry type shows, that
// each shows up once and looks the same wherever it does, and what the form
// builder relies on (the band ends with the year, the rows with the
// abstract). Exact values are checked only where users see them as such.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "core/form_layout.h"

namespace refloom {
namespace {

using Labels = std::vector<std::string>;

constexpr EntryType kTypeCount = static_cast<EntryType>(kEntryTypeNames.size());

std::string type_name(EntryType type) { return std::string(kEntryTypeNames[static_cast<std::size_t>(type)]); }

Labels labels(const std::vector<FormField>& fields) {
  Labels result;
  for (const FormField& field : fields) result.emplace_back(field.label);
  return result;
}

std::vector<FieldSlot> slots(const std::vector<FormField>& fields) {
  std::vector<FieldSlot> result;
  for (const FormField& field : fields) result.push_back(field.slot);
  return result;
}

bool shows(const std::vector<FormField>& fields, FieldSlot slot) {
  return std::any_of(fields.begin(), fields.end(), [slot](const FormField& field) { return field.slot == slot; });
}

// Every text field of a type's form, in the order the form makes them.
std::vector<FormField> whole_form(EntryType type) {
  std::vector<FormField> all = top_fields();
  for (const auto& part : {band_fields(type), row_fields(type), bottom_fields(), key_and_other_fields()}) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// The entry types to look at: the 13, and indices outside them.
std::vector<EntryType> every_type_and_beyond() {
  std::vector<EntryType> types = {-1, kTypeCount, 100};
  for (EntryType type = 0; type < kTypeCount; ++type) types.push_back(type);
  return types;
}

TEST(FormLayout, NoFormShowsASlotOrALabelTwice) {
  for (EntryType type : every_type_and_beyond()) {
    SCOPED_TRACE(type);
    std::set<FieldSlot> seen_slots;
    std::set<std::string> seen_labels;
    for (const FormField& field : whole_form(type)) {
      EXPECT_TRUE(seen_slots.insert(field.slot).second) << "slot " << field.slot << " twice";
      EXPECT_TRUE(seen_labels.insert(std::string(field.label)).second) << field.label << " twice";
    }
  }
}

// Every text of the edit buffer can be typed into in some entry type's
// form; the entry type and the reprint field have their menus instead.
TEST(FormLayout, EverySlotOfTheEditBufferIsReachable) {
  std::set<int> reachable;
  for (EntryType type = 0; type < kTypeCount; ++type) {
    for (const FormField& field : whole_form(type)) {
      EXPECT_NE(field.slot, kEntryTypeSlot) << type_name(type);
      EXPECT_NE(field.slot, kReprint) << type_name(type);
      EXPECT_GE(field.slot, 0);
      EXPECT_LT(field.slot, kEditTextCount);
      reachable.insert(field.slot);
    }
  }
  reachable.insert(kEntryTypeSlot);
  reachable.insert(kReprint);
  for (int slot = 0; slot < kEditTextCount; ++slot) EXPECT_EQ(reachable.count(slot), 1U) << "slot " << slot;
}

// The fields that BibTeX's standard styles require of each entry type
// (btxdoc): a form without one could not make a complete entry.
TEST(FormLayout, EveryEntryTypeShowsTheFieldsBibtexRequiresOfIt) {
  struct Required {
    std::string_view type;
    std::vector<FieldSlot> all_of;
    std::vector<FieldSlot> one_of;
  };
  const std::vector<Required> required = {
      {"article", {kAuthor, kTitle, kJournal, kYear}, {}},
      {"book", {kTitle, kPublisher, kYear}, {kAuthor, kEditor}},
      {"booklet", {kTitle}, {}},
      {"inbook", {kTitle, kPublisher, kYear}, {kAuthor, kEditor}},
      {"inbook", {}, {kChapter, kPages}},
      {"incollection", {kAuthor, kTitle, kBooktitle, kPublisher, kYear}, {}},
      {"inproceedings", {kAuthor, kTitle, kBooktitle, kYear}, {}},
      {"manual", {kTitle}, {}},
      {"mastersthesis", {kAuthor, kTitle, kSchool, kYear}, {}},
      {"misc", {}, {}},
      {"phdthesis", {kAuthor, kTitle, kSchool, kYear}, {}},
      {"proceedings", {kTitle, kYear}, {}},
      {"techreport", {kAuthor, kTitle, kInstitution, kYear}, {}},
      {"unpublished", {kAuthor, kTitle, kNote}, {}},
  };
  for (const Required& fields : required) {
    SCOPED_TRACE(fields.type);
    const EntryType type = entry_type_of(fields.type);
    ASSERT_GE(type, 0);
    const std::vector<FormField> form = whole_form(type);
    for (FieldSlot slot : fields.all_of) EXPECT_TRUE(shows(form, slot)) << field_name(slot);
    if (!fields.one_of.empty()) {
      EXPECT_TRUE(std::any_of(fields.one_of.begin(), fields.one_of.end(),
                              [&form](FieldSlot slot) { return shows(form, slot); }));
    }
  }
}

// What an index outside the 13 gets is what all 13 have in common, and
// every form shows that much.
TEST(FormLayout, TypesBeyondThe13GetTheFieldsCommonToAll) {
  for (EntryType beyond : {EntryType{-1}, kTypeCount, EntryType{100}}) {
    SCOPED_TRACE(beyond);
    for (const auto& fields_of : {band_fields, row_fields}) {
      std::vector<FieldSlot> common;
      for (FieldSlot slot : slots(fields_of(0))) {
        bool in_all = true;
        for (EntryType type = 1; type < kTypeCount; ++type) in_all = in_all && shows(fields_of(type), slot);
        if (in_all) common.push_back(slot);
      }
      EXPECT_FALSE(common.empty());
      EXPECT_EQ(slots(fields_of(beyond)), common);
    }
  }
}

// A field looks the same in every form that shows it, and its fields come
// in one order across all forms: switching the type moves nothing else.
TEST(FormLayout, AFieldLooksTheSameAndKeepsItsOrderInEveryType) {
  for (const auto& fields_of : {band_fields, row_fields}) {
    std::vector<FormField> first_seen;
    for (EntryType type = 0; type < kTypeCount; ++type) {
      SCOPED_TRACE(type_name(type));
      const std::vector<FormField> fields = fields_of(type);
      for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto same_slot = [&](const FormField& field) { return field.slot == fields[i].slot; };
        const auto seen = std::find_if(first_seen.begin(), first_seen.end(), same_slot);
        if (seen == first_seen.end()) {
          first_seen.push_back(fields[i]);
          continue;
        }
        EXPECT_EQ(seen->label, fields[i].label);
        EXPECT_EQ(seen->columns, fields[i].columns) << fields[i].label;
        EXPECT_EQ(seen->rows, fields[i].rows) << fields[i].label;
        EXPECT_EQ(seen->word_wrap, fields[i].word_wrap) << fields[i].label;
      }
      // Any two fields of this type stand in the order of any other type
      // that has them both.
      for (EntryType other = 0; other < type; ++other) {
        const std::vector<FieldSlot> theirs = slots(fields_of(other));
        FieldSlot last_position = -1;
        for (FieldSlot slot : slots(fields)) {
          const auto at = std::find(theirs.begin(), theirs.end(), slot);
          if (at == theirs.end()) continue;
          const auto position = static_cast<FieldSlot>(at - theirs.begin());
          EXPECT_GT(position, last_position) << field_name(slot) << " against " << type_name(other);
          last_position = position;
        }
      }
    }
  }
}

// The form builder attaches the rows below the band's last text and the
// bottom block below the last row; users find the year at the band's end
// and the abstract last above the bottom block.
TEST(FormLayout, TheBandEndsWithTheYearAndTheRowsWithTheAbstract) {
  for (EntryType type : every_type_and_beyond()) {
    SCOPED_TRACE(type);
    const std::vector<FormField> band = band_fields(type);
    ASSERT_FALSE(band.empty());
    EXPECT_EQ(band.back().slot, kYear);
    const std::vector<FormField> rows = row_fields(type);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().slot, kAbstract);
  }
}

// Single-line fields are as wide as their columns; multi-line fields are
// as high as their rows, and only they wrap words. The bottom block comes
// in pairs: the left one as wide as its columns, the right one up to the
// edge of the form.
TEST(FormLayout, FieldsHaveTheSizesTheirKindNeeds) {
  for (EntryType type : every_type_and_beyond()) {
    SCOPED_TRACE(type);
    for (const FormField& field : top_fields()) EXPECT_GT(field.columns, 0) << field.label;
    for (const FormField& field : band_fields(type)) {
      EXPECT_GT(field.columns, 0) << field.label;
      EXPECT_EQ(field.rows, 0) << field.label;
      EXPECT_FALSE(field.word_wrap) << field.label;
    }
    for (const FormField& field : row_fields(type)) {
      EXPECT_GT(field.rows, 0) << field.label;
      EXPECT_EQ(field.columns, 0) << field.label;
    }
  }
  const std::vector<FormField>& bottom = bottom_fields();
  ASSERT_EQ(bottom.size() % 2, 0U);
  for (std::size_t i = 0; i < bottom.size(); ++i) {
    EXPECT_GT(bottom[i].rows, 0) << bottom[i].label;
    if (i % 2 == 0) {
      EXPECT_GT(bottom[i].columns, 0) << bottom[i].label;
      // The left column is one column: the right one starts at one place.
      EXPECT_EQ(bottom[i].columns, bottom[0].columns) << bottom[i].label;
    } else {
      EXPECT_EQ(bottom[i].columns, 0) << bottom[i].label;
    }
  }
  const std::vector<FormField>& key_and_other = key_and_other_fields();
  ASSERT_EQ(key_and_other.size(), 2U);
  EXPECT_EQ(key_and_other[0].rows, 0);
  EXPECT_EQ(key_and_other[0].columns, 45);
  EXPECT_GT(key_and_other[1].rows, 0);
  EXPECT_EQ(key_and_other[1].columns, 0);
}

// A BibTeX field's label is its name, capitalised, with a colon; the
// others end with a colon too.
TEST(FormLayout, LabelsNameTheirFieldsAndEndWithAColon) {
  for (EntryType type : every_type_and_beyond()) {
    SCOPED_TRACE(type);
    for (const FormField& field : whole_form(type)) {
      ASSERT_FALSE(field.label.empty());
      EXPECT_EQ(field.label.back(), ':') << field.label;
      if (field.slot < kKeyword || field.slot >= kSlotCount) continue;
      std::string name(field_name(field.slot));
      name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
      EXPECT_EQ(field.label, name + ":");
    }
  }
}

// What users see of the article form, the first one shown, and the parts
// of every form that the layout names in order.
TEST(FormLayout, TheArticleFormAsUsersSeeIt) {
  EXPECT_EQ(labels(band_fields(entry_type_of("article"))),
            (Labels{"Journal:", "Volume:", "Number:", "Month:", "Pages:", "Year:"}));
  EXPECT_EQ(labels(row_fields(entry_type_of("article"))), (Labels{"Title:", "Author:", "Abstract:"}));
  EXPECT_EQ(labels(top_fields()), (Labels{"Ref. ID:", "Key:", "Crossref:"}));
  EXPECT_EQ(top_fields()[0].slot, kRefIdSlot);
  EXPECT_EQ(labels(bottom_fields()), (Labels{"Keyword:", "Note:", "Annote:", "Comment:"}));
  EXPECT_EQ(slots(key_and_other_fields()), (std::vector<FieldSlot>{kCitationKeyText, kOtherFieldsText}));
}

TEST(FormLayout, EveryMenuButtonStandsForItsEntryType) {
  for (int button = 0; button < kTypeCount; ++button) {
    EXPECT_EQ(entry_type_of(entry_type_for_button(button)), button);
  }
  for (int button : {-1, static_cast<int>(kTypeCount), 100}) EXPECT_EQ(entry_type_for_button(button), "article");
}

TEST(FormLayout, ReprintButtonsAndTextsAnswerEachOther) {
  for (int button : {0, 1}) EXPECT_EQ(reprint_button(reprint_for_button(button)), button);
  EXPECT_EQ(reprint_for_button(0), "IN FILE");
  EXPECT_EQ(reprint_for_button(7), "NOT IN FILE");
  EXPECT_EQ(reprint_button("in file"), 1);
  EXPECT_EQ(reprint_button(""), 1);
}

TEST(FormLayout, TitlesOfTheModes) {
  EXPECT_EQ(form_title(kAddMode), "Add new reference");
  EXPECT_EQ(form_title(kEditMode), "Edit reference");
  EXPECT_EQ(form_title(kSearchMode), "Search references");
}

}  // namespace
}  // namespace refloom
