#include "core/reference_extras.h"

#include "core/other_fields.h"

#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>

namespace refloom {

bool ExtrasData::empty() const {
  if (!citation_key.empty() || !other_fields.empty() || derived != 0) return false;
  for (const std::string& source : slot_sources) {
    if (!source.empty()) return false;
  }
  return true;
}

void ExtrasData::clear() {
  citation_key.clear();
  other_fields.clear();
  for (std::string& source : slot_sources) source.clear();
  derived = 0;
}

namespace {

std::uint32_t checked_length(std::size_t length) {
  if (length > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("reference text too large");
  return static_cast<std::uint32_t>(length);
}

// Below this many fields a repeat is looked for by walking the records.
constexpr std::size_t kIndexFrom = 16;

// The largest buffer a builder keeps between references.
constexpr std::size_t kKeptBuffer = std::size_t{64} << 10;

}  // namespace

void ReferenceExtras::Builder::clear() {
  if (buffer_) size_ = kHeader;
  fields_ = 0;
  key_.clear();
  for (int slot = 1; with_source_ != 0 && slot < kSlotCount; ++slot) {
    if ((with_source_ >> slot) & 1U) sources_[static_cast<std::size_t>(slot)].clear();
  }
  with_source_ = 0;
  derived_ = 0;
  index_.clear();
}

void ReferenceExtras::Builder::reserve(std::size_t more) {
  if (!buffer_) {
    const std::size_t capacity = std::max<std::size_t>(256, kHeader + more);
    buffer_.reset(static_cast<char*>(std::malloc(capacity)));
    if (!buffer_) throw std::bad_alloc();
    capacity_ = capacity;
    size_ = kHeader;
  }
  if (size_ + more <= capacity_) return;
  std::size_t capacity = capacity_;
  while (capacity < size_ + more) capacity *= 2;
  char* grown = static_cast<char*>(std::realloc(buffer_.get(), capacity));
  if (grown == nullptr) throw std::bad_alloc();
  (void)buffer_.release();
  buffer_.reset(grown);
  capacity_ = capacity;
}

void ReferenceExtras::Builder::put(const void* bytes, std::size_t count) {
  reserve(count);
  if (count > 0) std::memcpy(buffer_.get() + size_, bytes, count);
  size_ += count;
}

void ReferenceExtras::Builder::put_string(std::string_view text) {
  const std::uint32_t length = checked_length(text.size());
  put(&length, sizeof length);
  put(text.data(), text.size());
}

std::string_view ReferenceExtras::Builder::name_at(std::uint32_t offset) const {
  return read_at(buffer_.get(), size_, offset).strings[0];
}

void ReferenceExtras::Builder::index_field(std::uint32_t offset) {
  const std::size_t mask = index_.size() - 1;
  for (std::size_t at = KeyHash()(name_at(offset)) & mask;; at = (at + 1) & mask) {
    if (index_[at] == 0) {
      index_[at] = offset + 1;
      return;
    }
  }
}

void ReferenceExtras::Builder::add_other_field(std::string_view name, std::string_view text, std::string_view source) {
  reserve(1 + 3 * sizeof(std::uint32_t) + name.size() + text.size() + source.size());
  const auto offset = checked_length(size_);
  const char kind = kOtherField;
  put(&kind, 1);
  put_string(name);
  put_string(text);
  put_string(source);
  ++fields_;
  if (fields_ < kIndexFrom) return;
  // Kept at most half full; grown (and filled anew) by doubling.
  if (fields_ * 2 > index_.size()) {
    index_.assign(std::max<std::size_t>(64, index_.size() * 2), 0);
    for (Record record = read_at(buffer_.get(), size_, kHeader); record.kind != 0;
         record = read_at(buffer_.get(), size_, record.end)) {
      const std::size_t at = static_cast<std::size_t>(record.strings[0].data() - buffer_.get()) - 1 - 4;
      index_field(static_cast<std::uint32_t>(at));
    }
  } else {
    index_field(offset);
  }
}

bool ReferenceExtras::Builder::has_other_field(std::string_view name) const {
  if (fields_ == 0) return false;
  if (index_.empty()) {
    bool found = false;
    for_each_other_field(
        [&](std::string_view other, std::string_view, std::string_view) { found = found || same_key(other, name); });
    return found;
  }
  const std::size_t mask = index_.size() - 1;
  for (std::size_t at = KeyHash()(name) & mask; index_[at] != 0; at = (at + 1) & mask) {
    if (same_key(name_at(index_[at] - 1), name)) return true;
  }
  return false;
}

void ReferenceExtras::Builder::set_slot_source(int slot, std::string source) {
  sources_[static_cast<std::size_t>(slot)] = std::move(source);
  with_source_ |= 1U << slot;
}

void ReferenceExtras::Builder::clear_slot_source(int slot) {
  sources_[static_cast<std::size_t>(slot)].clear();
  with_source_ &= ~(1U << slot);
}

ReferenceExtras ReferenceExtras::Builder::build() {
  ReferenceExtras extras;
  if (key_.empty() && fields_ == 0 && with_source_ == 0 && derived_ == 0) {
    clear();
    return extras;
  }
  if (!buffer_) reserve(0);
  // The key comes first: the records of the fields move up to make room.
  if (!key_.empty()) {
    const std::size_t record = 1 + sizeof(std::uint32_t) + key_.size();
    reserve(record);
    std::memmove(buffer_.get() + kHeader + record, buffer_.get() + kHeader, size_ - kHeader);
    buffer_.get()[kHeader] = kKey;
    const std::uint32_t length = checked_length(key_.size());
    std::memcpy(buffer_.get() + kHeader + 1, &length, sizeof length);
    std::memcpy(buffer_.get() + kHeader + 1 + sizeof length, key_.data(), key_.size());
    size_ += record;
  }
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if ((with_source_ >> slot) & 1U) {
      const char head[2] = {kSlotSource, static_cast<char>(slot)};
      put(head, 2);
      put_string(sources_[static_cast<std::size_t>(slot)]);
    }
    if ((derived_ >> slot) & 1U) {
      const char head[2] = {kDerived, static_cast<char>(slot)};
      put(head, 2);
    }
  }
  const std::uint32_t total = checked_length(size_);
  std::memcpy(buffer_.get(), &total, sizeof total);
  // Copied into a block of its exact size, the builder keeping its buffer
  // for the next reference: shrinking the buffer in place left a small free
  // fragment behind every reference, which a load's allocations then
  // searched through. A buffer grown for a huge entry is shrunk and handed
  // over as it is instead, so that its text is never held twice.
  if (capacity_ > kKeptBuffer) {
    if (char* shrunk = static_cast<char*>(std::realloc(buffer_.get(), size_))) {
      (void)buffer_.release();
      buffer_.reset(shrunk);
    }
    extras.data_ = std::move(buffer_);
    capacity_ = 0;
  } else {
    char* fitted = static_cast<char*>(std::malloc(size_));
    if (fitted == nullptr) throw std::bad_alloc();
    std::memcpy(fitted, buffer_.get(), size_);
    extras.data_.reset(fitted);
  }
  size_ = 0;
  clear();
  return extras;
}

ReferenceExtras::ReferenceExtras(const ExtrasData& data) {
  if (data.empty()) return;
  Builder builder;
  builder.set_citation_key(data.citation_key);
  for (const OtherField& field : data.other_fields) builder.add_other_field(field.name, field.text, field.source);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const std::string& source = data.slot_sources[static_cast<std::size_t>(slot)];
    if (!source.empty()) builder.set_slot_source(slot, source);
    if ((data.derived >> slot) & 1U) builder.set_derived(slot);
  }
  *this = builder.build();
}

ReferenceExtras::ReferenceExtras(const ReferenceExtras& other) {
  if (!other.data_) return;
  data_.reset(static_cast<char*>(std::malloc(other.size())));
  if (!data_) throw std::bad_alloc();
  std::memcpy(data_.get(), other.data_.get(), other.size());
}

ReferenceExtras& ReferenceExtras::operator=(const ReferenceExtras& other) {
  if (this != &other) *this = ReferenceExtras(other);
  return *this;
}

std::uint32_t ReferenceExtras::size() const {
  if (!data_) return 0;
  std::uint32_t total;
  std::memcpy(&total, data_.get(), sizeof total);
  return total;
}

ReferenceExtras::Record ReferenceExtras::read_at(const char* bytes, std::size_t size, std::size_t offset) {
  Record record;
  if (bytes == nullptr || offset >= size) return record;
  record.kind = bytes[offset++];
  int strings = 0;
  switch (record.kind) {
    case kKey:
      strings = 1;
      break;
    case kOtherField:
      strings = 3;
      break;
    case kSlotSource:
      record.slot = static_cast<unsigned char>(bytes[offset++]);
      strings = 1;
      break;
    case kDerived:
      record.slot = static_cast<unsigned char>(bytes[offset++]);
      break;
    default:
      break;
  }
  for (int i = 0; i < strings; ++i) {
    std::uint32_t length;
    std::memcpy(&length, bytes + offset, sizeof length);
    offset += sizeof length;
    record.strings[static_cast<std::size_t>(i)] = std::string_view(bytes + offset, length);
    offset += length;
  }
  record.end = offset;
  return record;
}

std::string_view ReferenceExtras::citation_key() const {
  const Record record = first();
  return record.kind == kKey ? record.strings[0] : std::string_view();
}

std::string_view ReferenceExtras::slot_source(int slot) const {
  for (Record record = first(); record.kind != 0; record = next(record)) {
    if (record.kind == kSlotSource && record.slot == slot) return record.strings[0];
  }
  return {};
}

bool ReferenceExtras::derived(int slot) const {
  for (Record record = first(); record.kind != 0; record = next(record)) {
    if (record.kind == kDerived && record.slot == slot) return true;
  }
  return false;
}

std::uint32_t ReferenceExtras::slot_sources(std::array<std::string_view, kSlotCount>& sources) const {
  std::uint32_t derived = 0;
  for (Record record = first(); record.kind != 0; record = next(record)) {
    if (record.kind == kSlotSource) {
      sources[static_cast<std::size_t>(record.slot)] = record.strings[0];
    } else if (record.kind == kDerived) {
      derived |= 1U << record.slot;
    }
  }
  return derived;
}

bool ReferenceExtras::has_other_fields() const {
  for (Record record = first(); record.kind != 0; record = next(record)) {
    if (record.kind == kOtherField) return true;
  }
  return false;
}

ExtrasData ReferenceExtras::unpack() const {
  ExtrasData data;
  for (Record record = first(); record.kind != 0; record = next(record)) {
    switch (record.kind) {
      case kKey:
        data.citation_key.assign(record.strings[0]);
        break;
      case kOtherField:
        data.other_fields.push_back(
            {std::string(record.strings[0]), std::string(record.strings[1]), std::string(record.strings[2])});
        break;
      case kSlotSource:
        data.slot_sources[static_cast<std::size_t>(record.slot)].assign(record.strings[0]);
        break;
      case kDerived:
        data.derived |= 1U << record.slot;
        break;
      default:
        break;
    }
  }
  return data;
}

bool operator==(const ReferenceExtras& a, const ReferenceExtras& b) {
  const std::uint32_t size = a.size();
  return size == b.size() && (size == 0 || std::memcmp(a.data_.get(), b.data_.get(), size) == 0);
}

}  // namespace refloom
