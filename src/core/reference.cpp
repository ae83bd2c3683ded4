#include "core/reference.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "core/large_memory.h"

namespace refloom {

namespace {

bool valid_text_slot(int slot) { return slot >= 1 && slot < kSlotCount; }

// Bits set in a byte; std::popcount is a library call on baseline x86-64.
constexpr std::array<std::uint8_t, 256> kBitCount = [] {
  std::array<std::uint8_t, 256> counts{};
  for (int i = 0; i < 256; ++i)
    counts[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(i)));
  return counts;
}();

int bit_count(std::uint32_t bits) {
  return kBitCount[bits & 0xFF] + kBitCount[(bits >> 8) & 0xFF] + kBitCount[(bits >> 16) & 0xFF] +
         kBitCount[bits >> 24];
}

}  // namespace

Reference::Reference(const Reference& other)
    : ref_id_(other.ref_id_), present_(other.present_), size_(other.size_), extras_(other.extras_) {
  if (other.data_) {
    data_ = std::make_unique_for_overwrite<char[]>(size_);
    std::memcpy(data_.get(), other.data_.get(), size_);
  }
}

Reference& Reference::operator=(const Reference& other) {
  if (this != &other) {
    Reference copy(other);
    *this = std::move(copy);
  }
  return *this;
}

int Reference::present_count() const { return bit_count(present_); }

std::uint32_t Reference::offset(int index) const {
  std::uint32_t value;
  std::memcpy(&value, data_.get() + static_cast<std::size_t>(index) * sizeof value, sizeof value);
  return value;
}

const char* Reference::text_area() const {
  return data_.get() + static_cast<std::size_t>(present_count() + 1) * sizeof(std::uint32_t);
}

bool Reference::has(int slot) const { return valid_text_slot(slot) && ((present_ >> slot) & 1U); }

std::optional<std::string_view> Reference::text(int slot) const {
  if (!has(slot)) return std::nullopt;
  const int index = bit_count(present_ & ((1U << slot) - 1U));
  const std::uint32_t begin = offset(index);
  const std::uint32_t end = offset(index + 1) - 1;  // the NUL after the text
  return std::string_view(text_area() + begin, end - begin);
}

std::string_view Reference::text_or_empty(int slot) const { return text(slot).value_or(std::string_view()); }

bool Reference::has_nonempty(int slot) const {
  const auto value = text(slot);
  return value && !value->empty();
}

std::array<std::optional<std::string_view>, kSlotCount> Reference::all_texts() const {
  std::array<std::optional<std::string_view>, kSlotCount> texts;
  for (int slot = 1; slot < kSlotCount; ++slot) texts[static_cast<std::size_t>(slot)] = text(slot);
  return texts;
}

namespace {

// Copies a text and, for a large one, gives the pages of the source back
// behind the copy (they read as zeros afterwards).
void copy_releasing(char* to, std::string_view from) {
  constexpr std::size_t kPiece = 1 << 21;
  if (from.size() < kLargeBuffer) {
    std::memcpy(to, from.data(), from.size());
    return;
  }
  for (std::size_t done = 0; done < from.size(); done += kPiece) {
    const std::size_t size = std::min(kPiece, from.size() - done);
    std::memcpy(to + done, from.data() + done, size);
    release_pages(from.data(), done + size);
  }
}

}  // namespace

void Reference::assign_texts(const std::array<std::optional<std::string_view>, kSlotCount>& texts,
                             bool release_sources) {
  std::uint32_t present = 0;
  std::size_t text_bytes = 0;
  int count = 0;
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (const auto& value = texts[static_cast<std::size_t>(slot)]) {
      present |= 1U << slot;
      text_bytes += value->size() + 1;
      ++count;
    }
  }
  if (count == 0) {
    present_ = 0;
    size_ = 0;
    data_.reset();
    return;
  }
  const std::size_t table_bytes = static_cast<std::size_t>(count + 1) * sizeof(std::uint32_t);
  if (text_bytes > std::numeric_limits<std::uint32_t>::max() - table_bytes) {
    throw std::length_error("reference text too large");
  }
  // Build the new block completely before releasing the old one: the new
  // texts may be views into it.
  auto data = std::make_unique_for_overwrite<char[]>(table_bytes + text_bytes);
  prefer_huge_pages(data.get(), table_bytes + text_bytes);
  char* area = data.get() + table_bytes;
  std::uint32_t position = 0;
  int index = 0;
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const auto& value = texts[static_cast<std::size_t>(slot)];
    if (!value) continue;
    std::memcpy(data.get() + static_cast<std::size_t>(index) * sizeof position, &position, sizeof position);
    if (release_sources) {
      copy_releasing(area + position, *value);
    } else if (!value->empty()) {
      std::memcpy(area + position, value->data(), value->size());
    }
    position += static_cast<std::uint32_t>(value->size());
    area[position++] = '\0';
    ++index;
  }
  std::memcpy(data.get() + static_cast<std::size_t>(index) * sizeof position, &position, sizeof position);
  present_ = present;
  size_ = static_cast<std::uint32_t>(table_bytes + text_bytes);
  data_ = std::move(data);
}

void Reference::set_text(int slot, std::optional<std::string_view> text) {
  if (!valid_text_slot(slot)) return;
  auto texts = all_texts();
  texts[static_cast<std::size_t>(slot)] = text;
  assign_texts(texts);
}

void Reference::append_text(int slot, std::string_view text) {
  if (!valid_text_slot(slot)) return;
  const auto old = this->text(slot);
  if (!old) {
    set_text(slot, text);
    return;
  }
  std::string joined;
  joined.reserve(old->size() + 1 + text.size());
  joined.append(*old).append(1, '\n').append(text);
  set_text(slot, joined);
}

bool operator==(const Reference& a, const Reference& b) {
  return a.ref_id_ == b.ref_id_ && a.present_ == b.present_ && a.size_ == b.size_ &&
         (a.size_ == 0 || std::memcmp(a.data_.get(), b.data_.get(), a.size_) == 0) && a.extras_ == b.extras_;
}

void ReferenceBuilder::clear() {
  for (int slot = 1; slot < kSlotCount; ++slot) texts_[static_cast<std::size_t>(slot)].clear();
  present_ = 0;
  ref_id = 0;
  if (!extras.empty()) extras.clear();
}

void ReferenceBuilder::set_text(int slot, std::string_view text) {
  if (!valid_text_slot(slot)) return;
  texts_[static_cast<std::size_t>(slot)].assign(text);
  present_ |= 1U << slot;
}

void ReferenceBuilder::append_text(int slot, std::string_view text) {
  if (!valid_text_slot(slot)) return;
  std::string& target = texts_[static_cast<std::size_t>(slot)];
  if (has(slot)) {
    target.append(1, '\n').append(text);
  } else {
    target.assign(text);
    present_ |= 1U << slot;
  }
}

void ReferenceBuilder::append_text(int slot, std::string&& text) {
  if (!valid_text_slot(slot)) return;
  if (has(slot)) {
    append_text(slot, std::string_view(text));
    return;
  }
  texts_[static_cast<std::size_t>(slot)].swap(text);
  present_ |= 1U << slot;
}

void ReferenceBuilder::remove(int slot) {
  if (!valid_text_slot(slot)) return;
  texts_[static_cast<std::size_t>(slot)].clear();
  present_ &= ~(1U << slot);
}

void ReferenceBuilder::store_into(Reference& reference) const {
  std::array<std::optional<std::string_view>, kSlotCount> texts;
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (has(slot)) texts[static_cast<std::size_t>(slot)] = texts_[static_cast<std::size_t>(slot)];
  }
  reference.set_ref_id(ref_id);
  reference.assign_texts(texts);
  reference.set_extras(ReferenceExtras(extras));
}

void ReferenceBuilder::move_into(Reference& reference) {
  constexpr std::size_t kLarge = 1 << 20;
  std::array<std::optional<std::string_view>, kSlotCount> texts;
  bool large = false;
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (!has(slot)) continue;
    texts[static_cast<std::size_t>(slot)] = texts_[static_cast<std::size_t>(slot)];
    large = large || texts_[static_cast<std::size_t>(slot)].size() >= kLarge;
  }
  reference.set_ref_id(ref_id);
  reference.assign_texts(texts, large);
  reference.set_extras(ReferenceExtras(extras));
  if (!large) return;
  // Their content is gone; so goes their storage.
  for (std::string& text : texts_) {
    if (text.capacity() >= kLarge) std::string().swap(text);
  }
  present_ = 0;
}

}  // namespace refloom
