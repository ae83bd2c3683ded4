#include "core/listed_references.h"

#include "core/display_text.h"

#include <algorithm>
#include <charconv>

namespace refloom {

bool ListedReferences::contains(std::size_t index) const {
  return std::binary_search(indices_.begin(), indices_.end(), index);
}

std::optional<std::size_t> ListedReferences::position_of(std::size_t index) const {
  const auto found = std::lower_bound(indices_.begin(), indices_.end(), index);
  if (found == indices_.end() || *found != index) return std::nullopt;
  return static_cast<std::size_t>(found - indices_.begin()) + 1;
}

void ListedReferences::assign(std::vector<std::size_t> ascending_indices) {
  indices_ = std::move(ascending_indices);
  indices_.shrink_to_fit();
}

void ListedReferences::list_all(std::size_t database_count) {
  indices_.resize(database_count);
  for (std::size_t i = 0; i < database_count; ++i) indices_[i] = i;
  indices_.shrink_to_fit();
}

void ListedReferences::append(std::size_t index) { indices_.push_back(index); }

void ListedReferences::remove_position(std::size_t position) {
  if (position == 0 || position > indices_.size()) return;
  for (std::size_t d = position; d < indices_.size(); ++d) indices_[d - 1] = indices_[d] - 1;
  indices_.pop_back();
}

void reduce_to_listed(ReferenceDatabase& database, ListedReferences& listed) {
  if (database.empty()) return;
  database.retain(listed.indices());
  listed.list_all(database.ref_count());
}

namespace {

// A byte count, never cutting a UTF-8 character in two.
void append_cut(std::string& line, const Reference& reference, int slot, std::size_t width) {
  std::string_view text = reference.text_or_empty(slot);
  text = text.substr(0, text.find('\0'));
  line.push_back(' ');
  line.append(text.substr(0, cut_before_split_character(text, width)));
}

// Characters as a UTF-8 display shows them, TeX accents as the letters.
void append_shown_cut(std::string& line, const Reference& reference, int slot, std::size_t width) {
  std::string_view text = reference.text_or_empty(slot);
  text = text.substr(0, text.find('\0'));
  // Only as much as the column can show is converted (a long abstract is
  // never in a list line, but a long title may be).
  const std::string shown = tex_for_display(text.substr(0, std::min(text.size(), width * 16)));
  line.push_back(' ');
  line.append(shown.substr(0, utf8_prefix_bytes(shown, width)));
}

template <class AppendCut>
std::string make_list_line(const Reference& reference, AppendCut append) {
  std::string line;
  line.reserve(88);
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, reference.ref_id());
  line.append(digits, result.ptr);
  append(line, reference, kAuthor, 15);
  append(line, reference, kTitle, 30);
  append(line, reference, kJournal, 15);
  append(line, reference, kYear, 4);
  return line;
}

}  // namespace

std::string list_line(const Reference& reference) { return make_list_line(reference, append_cut); }

std::string shown_list_line(const Reference& reference) { return make_list_line(reference, append_shown_cut); }

}  // namespace refloom
