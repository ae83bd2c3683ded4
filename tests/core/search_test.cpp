#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include <random>

#include "core/search.h"

namespace refloom {
namespace {

std::vector<std::size_t> all_of(const ReferenceDatabase& db) {
  std::vector<std::size_t> all(db.ref_count());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  return all;
}

struct Ref {
  RefId id;
  std::vector<std::pair<int, std::string>> slots;
};

ReferenceDatabase make(const std::vector<Ref>& refs) {
  ReferenceDatabase db;
  for (const Ref& r : refs) {
    db.add_reference();
    db.reference(db.ref_count() - 1).set_ref_id(r.id);
    for (const auto& [slot, text] : r.slots) db.reference(db.ref_count() - 1).set_text(slot, text);
  }
  return db;
}

std::vector<std::size_t> all_fields(SearchMode mode, const ReferenceDatabase& db,
                                    const std::vector<std::size_t>& listed, std::string_view text, bool fold = true) {
  return search_all_fields(mode, db, listed, text, fold);
}

std::vector<std::size_t> by_form(SearchMode mode, const ReferenceDatabase& db, const std::vector<std::size_t>& listed,
                                 const EditBuffer& buffer, bool fold = true) {
  return search_by_form(mode, db, listed, buffer, fold);
}

using Indices = std::vector<std::size_t>;

TEST(ContainsText, FoldsOnlyAToZ) {
  EXPECT_TRUE(contains_text("Smith, J.", "smith", true));
  EXPECT_TRUE(contains_text("SMITH", "smith", true));
  EXPECT_FALSE(contains_text("Smith", "smith", false));
  EXPECT_TRUE(contains_text("smith", "smith", false));
  EXPECT_FALSE(contains_text("\xE9t\xE9", "\xC9T\xC9", true));  // bytes above 127 match only themselves
  EXPECT_TRUE(contains_text("\xE9t\xE9", "\xE9T", true));
  EXPECT_FALSE(contains_text("[", "{", true));  // '{' and '[' differ by the case bit but are no letters
  EXPECT_TRUE(contains_text("", "", true));
  EXPECT_TRUE(contains_text("abc", "", false));
  EXPECT_FALSE(contains_text("ab", "abc", true));
  EXPECT_TRUE(contains_text("line one\nline two", "one\nLINE", true));
}

TEST(ContainsText, AgreesWithAPlainFoldedSearch) {
  std::mt19937 rng(3);
  const std::string alphabet = "aAbB{[\xE9\xC9z";
  auto random_text = [&](int max) {
    std::string s(static_cast<std::size_t>(rng() % static_cast<unsigned>(max + 1)), ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  };
  auto fold = [](std::string s) {
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string text = random_text(30);
    const std::string pattern = random_text(4);
    const bool fold_case = i % 2 == 0;
    const bool expected =
        fold_case ? fold(text).find(fold(pattern)) != std::string::npos : text.find(pattern) != std::string::npos;
    ASSERT_EQ(contains_text(text, pattern, fold_case), expected) << text << " / " << pattern;
  }
}

TEST(AllFieldsSearch, EmptyTextMatchesEveryReferenceWithSomeField) {
  const ReferenceDatabase db = make({{1, {{kEntryTypeSlot, "article"}}}, {2, {}}, {3, {{kNote, ""}}}});
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, all_of(db), ""), (Indices{0, 2}));
  EXPECT_EQ(all_fields(SearchMode::kOr, db, {}, ""), (Indices{0, 2}));
  EXPECT_EQ(all_fields(SearchMode::kNot, db, all_of(db), ""), (Indices{1}));
}

TEST(AllFieldsSearch, SearchesTheEntryTypeAndReprintButNotTheRefId) {
  const ReferenceDatabase db = make({
      {1, {{kEntryTypeSlot, "booklet"}}},
      {2, {{kEntryTypeSlot, "inbook"}}},
      {3, {{kEntryTypeSlot, "article"}, {kReprint, "NOT IN FILE"}}},
      {4, {{kEntryTypeSlot, "article"}, {kReprint, "IN FILE"}}},
      {77, {{kEntryTypeSlot, "misc"}}},
  });
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, all_of(db), "book"), (Indices{0, 1}));
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, all_of(db), "IN FILE"), (Indices{2, 3}));
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, all_of(db), "77"), Indices{});
}

TEST(AllFieldsSearch, CombinesWithTheListedSet) {
  const ReferenceDatabase db = make({
      {1, {{kAuthor, "Smith"}}},
      {2, {{kAuthor, "Jones"}}},
      {3, {{kTitle, "SMITHERY"}}},
      {4, {{kAuthor, "Brown"}}},
  });
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, {1, 2, 3}, "smith"), (Indices{2}));
  EXPECT_EQ(all_fields(SearchMode::kAnd, db, {1, 2, 3}, "smith", false), Indices{});
  EXPECT_EQ(all_fields(SearchMode::kOr, db, {3}, "smith"), (Indices{0, 2, 3}));
  EXPECT_EQ(all_fields(SearchMode::kNot, db, {0, 1, 2}, "smith"), (Indices{1}));
  EXPECT_EQ(all_fields(static_cast<SearchMode>(0), db, {1, 3}, "smith"), (Indices{1, 3}));  // no mode: unchanged
}

TEST(FormSearch, ReprintIsComparedExactly) {
  const ReferenceDatabase db = make({
      {1, {{kReprint, "NOT IN FILE"}}},
      {2, {{kReprint, "IN FILE"}}},
      {3, {}},
      {4, {{kReprint, "in file"}}},
  });
  EditBuffer buffer;
  buffer.text(kReprint) = "NOT IN FILE";
  EXPECT_EQ(by_form(SearchMode::kAnd, db, all_of(db), buffer), (Indices{0}));
  buffer.text(kReprint) = "IN FILE";
  EXPECT_EQ(by_form(SearchMode::kAnd, db, all_of(db), buffer), (Indices{1}));
}

TEST(FormSearch, EntryTypeIsASubstringCriterion) {
  const ReferenceDatabase db = make({
      {1, {{kEntryTypeSlot, "inproceedings"}}},
      {2, {{kEntryTypeSlot, "proceedings"}}},
      {3, {{kEntryTypeSlot, "book"}}},
      {4, {{kEntryTypeSlot, "booklet"}}},
      {5, {{kEntryTypeSlot, "inbook"}}},
  });
  EditBuffer buffer;
  buffer.text(kEntryTypeSlot) = "proceedings";
  EXPECT_EQ(by_form(SearchMode::kAnd, db, all_of(db), buffer), (Indices{0, 1}));
  buffer.text(kEntryTypeSlot) = "book";
  EXPECT_EQ(by_form(SearchMode::kAnd, db, all_of(db), buffer), (Indices{2, 3, 4}));
}

TEST(FormSearch, RefIdCriterion) {
  const ReferenceDatabase db = make({{5, {}}, {7, {}}, {9, {}}});
  EditBuffer buffer;
  buffer.ref_id = 7;
  EXPECT_EQ(by_form(SearchMode::kAnd, db, {0, 1, 2}, buffer), (Indices{1}));
  EXPECT_EQ(by_form(SearchMode::kAnd, db, {0, 2}, buffer), Indices{});
  EXPECT_EQ(by_form(SearchMode::kNot, db, {0, 1, 2}, buffer), (Indices{0, 2}));
  EXPECT_EQ(by_form(SearchMode::kOr, db, {2}, buffer), (Indices{1, 2}));
}

TEST(FormSearch, NotDropsAHitEvenWhenOtherCriteriaFail) {
  const ReferenceDatabase db = make({
      {1, {{kJournal, "Nature"}}},    // journal hit, no year
      {2, {{kTitle, "no journal"}}},  // no journal field: stays
      {3, {{kJournal, "Science"}, {kYear, "1990"}}},
  });
  EditBuffer buffer;
  buffer.text(kJournal) = "nat";
  buffer.text(kYear) = "2001";
  EXPECT_EQ(by_form(SearchMode::kNot, db, all_of(db), buffer), (Indices{1, 2}));
  // AND needs both criteria.
  EXPECT_EQ(by_form(SearchMode::kAnd, db, all_of(db), buffer), Indices{});
}

TEST(FormSearch, EmptyFormKeepsTheListingForAndAndNotAndListsAllForOr) {
  const ReferenceDatabase db = make({{1, {}}, {2, {{kTitle, "t"}}}, {3, {}}});
  const EditBuffer empty;
  EXPECT_EQ(by_form(SearchMode::kAnd, db, {0, 2}, empty), (Indices{0, 2}));
  EXPECT_EQ(by_form(SearchMode::kNot, db, {0, 2}, empty), (Indices{0, 2}));
  EXPECT_EQ(by_form(SearchMode::kOr, db, {2}, empty), (Indices{0, 1, 2}));
}

TEST(FormSearch, AndThenOrListsTheMatchesOfTheWholeDatabase) {
  const ReferenceDatabase db =
      make({{1, {{kAuthor, "Smith"}}}, {2, {{kAuthor, "Doe"}}}, {3, {{kAuthor, "smithson"}}}, {4, {}}});
  EditBuffer buffer;
  buffer.text(kAuthor) = "SMITH";
  const Indices after_and = by_form(SearchMode::kAnd, db, {1, 3}, buffer);
  EXPECT_EQ(after_and, Indices{});  // no hits among the listed
  EXPECT_EQ(by_form(SearchMode::kNot, db, after_and, buffer), Indices{});
  EXPECT_EQ(by_form(SearchMode::kOr, db, after_and, buffer), (Indices{0, 2}));
  EXPECT_EQ(by_form(SearchMode::kAnd, db, {0, 1, 2}, buffer, false), Indices{});
}

}  // namespace
}  // namespace refloom

namespace refloom {
namespace {

// The program's locale for the length of a test.
class InLocale {
 public:
  explicit InLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) { ok_ = std::setlocale(LC_ALL, name); }
  ~InLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

// Folding in a UTF-8 locale makes every letter equal to its other case;
// in the C locale only a to z fold, as always.
TEST(Folding, InAUtf8LocaleEveryLetterFolds) {
  {
    InLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    EXPECT_TRUE(contains_text("\xC5\xA0koda Auto", "\xC5\xA1koda", true));  // Škoda, škoda
    EXPECT_TRUE(contains_text("\xC5\xA0KODA", "\xC5\xA1koda", true));
    EXPECT_TRUE(contains_text("M\xC3\x9CLLER", "m\xC3\xBCller", true));  // MÜLLER, müller
    EXPECT_TRUE(contains_text("\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "\xCE\xB1\xCE\xB8", true));  // Greek
    EXPECT_TRUE(contains_text("Caf\xC9", "caf\xC3\xA9", true));  // Latin-1 É, as the display shows it
    EXPECT_FALSE(contains_text("\xC5\xA0koda", "\xC5\xA1koda", false));
    EXPECT_FALSE(contains_text("Skoda", "\xC5\xA1koda", true));
    EXPECT_TRUE(contains_text("smith", "SMITH", true));
  }
  InLocale c("C");
  ASSERT_TRUE(c.ok());
  EXPECT_FALSE(contains_text("\xC5\xA0koda", "\xC5\xA1koda", true));
  EXPECT_TRUE(contains_text("\xC5\xA1koda", "\xC5\xA1KODA", true));  // the a to z still fold
}

}  // namespace
}  // namespace refloom
