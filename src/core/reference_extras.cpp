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

ReferenceExtras::ReferenceExtras(const ExtrasData& data) {
  if (data.empty()) return;
  std::string records(sizeof(std::uint32_t), '\0');
  if (!data.citation_key.empty()) {
    records.push_back(kKey);
    put_string(records, data.citation_key);
  }
  for (const OtherField& field : data.other_fields) {
    records.push_back(kOtherField);
    put_string(records, field.name);
    put_string(records, field.text);
    put_string(records, field.source);
  }
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const std::string& source = data.slot_sources[static_cast<std::size_t>(slot)];
    if (!source.empty()) {
      records.push_back(kSlotSource);
      records.push_back(static_cast<char>(slot));
      put_string(records, source);
    }
    if ((data.derived >> slot) & 1U) {
      records.push_back(kDerived);
      records.push_back(static_cast<char>(slot));
    }
  }
  if (records.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("reference text too large");
  const auto total = static_cast<std::uint32_t>(records.size());
  std::memcpy(records.data(), &total, sizeof total);
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

ReferenceExtras::Record ReferenceExtras::read(std::size_t offset) const {
  Record record;
  if (!data_ || offset >= size()) return record;
  const char* bytes = data_.get();
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
