#include <gtest/gtest.h>

#include "core/form_layout.h"

namespace refloom {
namespace {

std::vector<std::string> labels(const std::vector<FormField>& fields) {
  std::vector<std::string> result;
  for (const FormField& field : fields) result.emplace_back(field.label);
  return result;
}

using Labels = std::vector<std::string>;

TEST(FormLayout, EveryEntryTypeShowsItsFieldsInOrder) {
  struct Expected {
    Labels band;
    Labels rows;
  };
  const std::vector<Expected> expected = {
      {{"Journal:", "Volume:", "Number:", "Month:", "Pages:", "Year:"}, {"Title:", "Author:"}},
      {{"Volume:", "Number:", "Edition:", "Month:", "Year:"},
       {"Title:", "Series:", "Author:", "Editor:", "Publisher:", "Address:"}},
      {{"Howpublished:", "Month:", "Year:"}, {"Title:", "Author:", "Address:"}},
      {{"Volume:", "Number:", "Edition:", "Month:", "Chapter:", "Pages:", "Year:"},
       {"Title:", "Series:", "Type:", "Author:", "Editor:", "Publisher:", "Address:"}},
      {{"Volume:", "Number:", "Edition:", "Month:", "Chapter:", "Pages:", "Year:"},
       {"Title:", "Booktitle:", "Series:", "Type:", "Author:", "Editor:", "Publisher:", "Address:"}},
      {{"Volume:", "Number:", "Month:", "Pages:", "Year:"},
       {"Title:", "Booktitle:", "Series:", "Author:", "Organization:", "Editor:", "Publisher:", "Address:"}},
      {{"Edition:", "Month:", "Year:"}, {"Title:", "Author:", "Organization:", "Address:"}},
      {{"Month:", "Year:"}, {"Title:", "Type:", "Author:", "School:", "Address:"}},
      {{"Howpublished:", "Month:", "Year:"}, {"Title:", "Author:"}},
      {{"Month:", "Year:"}, {"Title:", "Type:", "Author:", "School:", "Address:"}},
      {{"Volume:", "Number:", "Month:", "Year:"}, {"Title:", "Series:", "Author:", "Editor:", "Publisher:", "Address:"}},
      {{"Number:", "Month:", "Year:"}, {"Title:", "Type:", "Author:", "Institution:", "Address:"}},
      {{"Month:", "Year:"}, {"Title:", "Author:"}},
  };
  for (EntryType type = 0; type < 13; ++type) {
    const Expected& e = expected[static_cast<std::size_t>(type)];
    Labels rows = e.rows;
    rows.push_back("Abstract:");
    EXPECT_EQ(labels(band_fields(type)), e.band) << kEntryTypeNames[static_cast<std::size_t>(type)];
    EXPECT_EQ(labels(row_fields(type)), rows) << kEntryTypeNames[static_cast<std::size_t>(type)];
  }
  EXPECT_EQ(labels(band_fields(-1)), (Labels{"Month:", "Year:"}));
  EXPECT_EQ(labels(row_fields(-1)), (Labels{"Title:", "Author:", "Abstract:"}));
  EXPECT_EQ(labels(band_fields(13)), (Labels{"Month:", "Year:"}));
}

TEST(FormLayout, FieldsShowTheirSlotsWithTheirSizes) {
  const auto band = band_fields(2);  // booklet
  EXPECT_EQ(band[0].slot, kHowpublished);
  EXPECT_EQ(band[0].columns, 35);
  const auto article = band_fields(0);
  EXPECT_EQ(article[2].slot, kNumber);
  EXPECT_EQ(article[2].columns, 8);
  const auto rows = row_fields(4);  // incollection
  EXPECT_EQ(rows[1].slot, kBooktitle);
  EXPECT_EQ(rows[1].rows, 3);
  EXPECT_TRUE(rows[1].word_wrap);
  EXPECT_EQ(rows[2].slot, kSeries);
  EXPECT_FALSE(rows[2].word_wrap);
  EXPECT_EQ(rows.back().rows, 8);
  EXPECT_EQ(labels(bottom_fields()), (Labels{"Keyword:", "Note:", "Annote:", "Comment:"}));
  EXPECT_EQ(labels(top_fields()), (Labels{"Ref. ID:", "Key:", "Crossref:"}));
}

TEST(FormLayout, EntryTypeButtons) {
  EXPECT_EQ(entry_type_for_button(0), "article");
  EXPECT_EQ(entry_type_for_button(1), "book");
  EXPECT_EQ(entry_type_for_button(12), "unpublished");
  EXPECT_EQ(entry_type_for_button(13), "article");
  EXPECT_EQ(entry_type_for_button(-1), "article");
}

TEST(FormLayout, TitlesOfTheModes) {
  EXPECT_EQ(form_title(kAddMode), "Add new reference");
  EXPECT_EQ(form_title(kEditMode), "Edit reference");
  EXPECT_EQ(form_title(kSearchMode), "Search references");
}

}  // namespace
}  // namespace refloom
