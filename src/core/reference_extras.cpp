#include "core/reference_extras.h"

#include <cstring>
#include <limits>
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

// Records: a kind byte, for slot records the slot byte, then each string as
// a 32-bit length and its bytes.
void put_string(std::string& out, std::string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("reference text too large");
  const auto length = static_cast<std::uint32_t>(text.size());
  char bytes[sizeof length];
  std::memcpy(bytes, &length, sizeof length);
  out.append(bytes, sizeof bytes);
  out.append(text);
}

}  // namespace

void ReferenceExtras::append_other_field(std::string& records, std::string_view name, std::string_view text,
                                         std::string_view source) {
  records.push_back(kOtherField);
  put_string(records, name);
  put_string(records, text);
  put_string(records, source);
}

ReferenceExtras::ReferenceExtras(const ExtrasData& data) {
  if (data.empty()) return;
  std::string records;
  for (const OtherField& field : data.other_fields) append_other_field(records, field.name, field.text, field.source);
  *this = ReferenceExtras(data.citation_key, records, data.slot_sources, data.derived);
}

// The records in one order whatever built them: the key, the fields outside
// the 28, then by slot its source form and whether it was filled in, so
// that equal extras have equal bytes.
ReferenceExtras::ReferenceExtras(std::string_view citation_key, std::string_view other_field_records,
                                 const std::array<std::string, kSlotCount>& slot_sources, std::uint32_t derived) {
  std::size_t total = sizeof(std::uint32_t) + other_field_records.size();
  if (!citation_key.empty()) total += 1 + sizeof(std::uint32_t) + citation_key.size();
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const std::string& source = slot_sources[static_cast<std::size_t>(slot)];
    if (!source.empty()) total += 2 + sizeof(std::uint32_t) + source.size();
    if ((derived >> slot) & 1U) total += 2;
  }
  if (total == sizeof(std::uint32_t)) return;
  if (total > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("reference text too large");
  std::string records;
  records.reserve(total);
  records.append(sizeof(std::uint32_t), '\0');
  if (!citation_key.empty()) {
    records.push_back(kKey);
    put_string(records, citation_key);
  }
  records.append(other_field_records);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const std::string& source = slot_sources[static_cast<std::size_t>(slot)];
    if (!source.empty()) {
      records.push_back(kSlotSource);
      records.push_back(static_cast<char>(slot));
      put_string(records, source);
    }
    if ((derived >> slot) & 1U) {
      records.push_back(kDerived);
      records.push_back(static_cast<char>(slot));
    }
  }
  const auto size = static_cast<std::uint32_t>(records.size());
  std::memcpy(records.data(), &size, sizeof size);
  data_ = std::make_unique_for_overwrite<char[]>(records.size());
  std::memcpy(data_.get(), records.data(), records.size());
}

ReferenceExtras::ReferenceExtras(const ReferenceExtras& other) {
  if (!other.data_) return;
  data_ = std::make_unique_for_overwrite<char[]>(other.size());
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
  if (offset >= size) return record;
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
