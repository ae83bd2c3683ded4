#include "core/search.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "core/display_text.h"

namespace refloom {

namespace {

constexpr unsigned char fold_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

namespace {

// Decodes UTF-8, a byte that is no UTF-8 as its Latin-1 character, and
// appends each character in lower case.
void append_folded(std::string_view text, std::string& out) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead >= 'A' && lead <= 'Z' ? lead - 'A' + 'a' : lead));
      ++at;
      continue;
    }
    // A well-formed sequence, or one byte that starts none (Latin-1).
    const std::size_t length = utf8_prefix_bytes(text.substr(at), 1);
    char32_t code = lead;
    if (length > 1) {
      code = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
      for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    at += length;
    append_utf8(static_cast<char32_t>(std::towlower(static_cast<wint_t>(code))), out);
  }
}

bool beyond_ascii(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

TextPattern::TextPattern(std::string_view pattern, bool fold) : pattern_(pattern), fold_(fold) {
  if (!fold_) return;
  if (beyond_ascii(pattern) && locale_is_utf8()) {
    unicode_ = true;
    pattern_.clear();
    append_folded(pattern, pattern_);
    return;
  }
  for (char& c : pattern_) c = static_cast<char>(fold_byte(static_cast<unsigned char>(c)));
  // Horspool's shift for every text byte, by its folded value.
  const std::size_t m = pattern_.size();
  std::array<std::size_t, 256> folded_skip;
  folded_skip.fill(m);
  for (std::size_t i = 0; i + 1 < m; ++i) folded_skip[static_cast<unsigned char>(pattern_[i])] = m - 1 - i;
  for (std::size_t c = 0; c < skip_.size(); ++c) skip_[c] = folded_skip[fold_byte(static_cast<unsigned char>(c))];
}

bool TextPattern::found_in(std::string_view text) const {
  const std::size_t m = pattern_.size();
  if (m == 0) return true;
  if (unicode_) {
    // A pattern beyond ASCII is not in a text that is all ASCII.
    if (!beyond_ascii(text)) return false;
    thread_local std::string folded;
    folded.clear();
    append_folded(text, folded);
    return memmem(folded.data(), folded.size(), pattern_.data(), m) != nullptr;
  }
  if (text.size() < m) return false;
  if (!fold_) return memmem(text.data(), text.size(), pattern_.data(), m) != nullptr;

  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = reinterpret_cast<const unsigned char*>(pattern_.data());
  const std::size_t last = m - 1;
  for (std::size_t pos = 0; pos + m <= text.size(); pos += skip_[t[pos + last]]) {
    if (fold_byte(t[pos + last]) != p[last]) continue;
    std::size_t j = last;
    while (j > 0 && fold_byte(t[pos + j - 1]) == p[j - 1]) --j;
    if (j == 0) return true;
  }
  return false;
}

bool contains_text(std::string_view field, std::string_view pattern, bool fold) {
  return TextPattern(pattern, fold).found_in(field);
}

namespace {

// Whether the pattern is in the name or the text of one of the fields
// outside the 28.
bool in_other_fields(const Reference& reference, const TextPattern& pattern, bool names_too) {
  bool found = false;
  reference.extras().for_each_other_field([&](std::string_view name, std::string_view text, std::string_view) {
    found = found || pattern.found_in(text) || (names_too && pattern.found_in(name));
  });
  return found;
}

}  // namespace

bool all_fields_match(const Reference& reference, const TextPattern& pattern) {
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const auto text = reference.text(slot);
    if (text && pattern.found_in(*text)) return true;
  }
  if (reference.extras().empty()) return false;
  const std::string_view key = reference.citation_key();
  return (!key.empty() && pattern.found_in(key)) || in_other_fields(reference, pattern, false);
}

FormCriteria::FormCriteria(const EditBuffer& buffer, bool fold) : ref_id_(buffer.ref_id) {
  for (int slot = 1; slot < kEditTextCount; ++slot) {
    const std::string& text = buffer.text(slot);
    if (text.empty()) continue;
    fields_.push_back({slot, slot == kReprint ? text : std::string(), TextPattern(text, fold)});
  }
}

bool FormCriteria::met(const FieldCriterion& criterion, const Reference& reference) const {
  if (criterion.slot == kCitationKeyText) {
    const std::string_view key = reference.citation_key();
    return !key.empty() && criterion.pattern.found_in(key);
  }
  if (criterion.slot == kOtherFieldsText) return in_other_fields(reference, criterion.pattern, true);
  const auto text = reference.text(criterion.slot);
  if (!text) return false;
  if (criterion.slot == kReprint) return *text == criterion.exact;
  return criterion.pattern.found_in(*text);
}

bool FormCriteria::matches(const Reference& reference) const {
  if (ref_id_ != 0 && reference.ref_id() != ref_id_) return false;
  for (const FieldCriterion& criterion : fields_) {
    if (!met(criterion, reference)) return false;
  }
  return true;
}

bool FormCriteria::hits(const Reference& reference) const {
  if (ref_id_ != 0 && reference.ref_id() == ref_id_) return true;
  for (const FieldCriterion& criterion : fields_) {
    if (met(criterion, reference)) return true;
  }
  return false;
}

std::vector<std::size_t> combine_search(SearchMode mode, const ReferenceDatabase& database,
                                        const std::vector<std::size_t>& listed,
                                        const std::function<bool(const Reference&)>& test) {
  std::vector<std::size_t> result;
  switch (mode) {
    case SearchMode::kAnd:
    case SearchMode::kNot: {
      const bool keep_matches = mode == SearchMode::kAnd;
      for (std::size_t index : listed) {
        if (test(database.reference(index)) == keep_matches) result.push_back(index);
      }
      break;
    }
    case SearchMode::kOr: {
      // Membership by a table, not by scanning the listed set for every index.
      std::vector<bool> is_listed(database.ref_count(), false);
      for (std::size_t index : listed) {
        if (index < is_listed.size()) is_listed[index] = true;
      }
      for (std::size_t index = 0; index < database.ref_count(); ++index) {
        if (is_listed[index] || test(database.reference(index))) result.push_back(index);
      }
      break;
    }
    default:
      result = listed;
      break;
  }
  return result;
}

std::vector<std::size_t> search_all_fields(SearchMode mode, const ReferenceDatabase& database,
                                           const std::vector<std::size_t>& listed, std::string_view text, bool fold) {
  const TextPattern pattern(text, fold);
  return combine_search(mode, database, listed,
                        [&pattern](const Reference& r) { return all_fields_match(r, pattern); });
}

std::vector<std::size_t> search_by_form(SearchMode mode, const ReferenceDatabase& database,
                                        const std::vector<std::size_t>& listed, const EditBuffer& criteria, bool fold) {
  const FormCriteria form(criteria, fold);
  if (mode == SearchMode::kNot) {
    return combine_search(mode, database, listed, [&form](const Reference& r) { return form.hits(r); });
  }
  return combine_search(mode, database, listed, [&form](const Reference& r) { return form.matches(r); });
}

}  // namespace refloom
