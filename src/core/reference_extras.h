#pragma once

// What a reference read from a BibTeX file carries beyond its 29 texts, so
// that a save gives the file back as it was read: the citation key, the
// fields outside the 28 (doi, url, ...) in file order, the source form of
// fields that used macros or "#", and which fields were only filled in
// from another name (journaltitle, location, date, keywords) and so are
// not the file's own.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"

namespace refloom {

// A field outside the 28: its name as written, its expanded text, and its
// source form when it used a macro or "#" (empty otherwise).
struct OtherField {
  std::string name;
  std::string text;
  std::string source;
  friend bool operator==(const OtherField&, const OtherField&) = default;
};

// The extras unpacked, for building and editing.
struct ExtrasData {
  std::string citation_key;  // empty: none, the RefId is the key
  std::vector<OtherField> other_fields;
  std::array<std::string, kSlotCount> slot_sources;  // source form by slot, empty for none
  std::uint32_t derived = 0;                         // bit s: slot s was filled from another name

  bool empty() const;
  void clear();
  friend bool operator==(const ExtrasData&, const ExtrasData&) = default;
};

// The extras packed into one allocation (nothing at all for a reference
// without any: every import and every reference typed in).
class ReferenceExtras {
 public:
  class Builder;

  ReferenceExtras() = default;
  explicit ReferenceExtras(const ExtrasData& data);
  ReferenceExtras(const ReferenceExtras& other);
  ReferenceExtras& operator=(const ReferenceExtras& other);
  ReferenceExtras(ReferenceExtras&&) noexcept = default;
  ReferenceExtras& operator=(ReferenceExtras&&) noexcept = default;

  bool empty() const { return !data_; }
  std::string_view citation_key() const;
  std::string_view slot_source(int slot) const;
  bool derived(int slot) const;
  bool has_other_fields() const;
  // Every slot's source form (empty for none) in one pass; returns the
  // slots filled from another name, as bits.
  std::uint32_t slot_sources(std::array<std::string_view, kSlotCount>& sources) const;
  // Calls f(name, text, source) for each field outside the 28, in order.
  template <class F>
  void for_each_other_field(F&& f) const {
    for (Record record = first(); record.kind != 0; record = next(record)) {
      if (record.kind == kOtherField) f(record.strings[0], record.strings[1], record.strings[2]);
    }
  }
  ExtrasData unpack() const;

  friend bool operator==(const ReferenceExtras& a, const ReferenceExtras& b);

 private:
  static constexpr char kKey = 'K';
  static constexpr char kOtherField = 'F';
  static constexpr char kSlotSource = 'S';
  static constexpr char kDerived = 'D';

  struct Record {
    char kind = 0;  // 0: past the end
    int slot = 0;
    std::array<std::string_view, 3> strings;
    std::size_t end = 0;  // offset of the next record
  };
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };

  std::uint32_t size() const;
  static Record read_at(const char* bytes, std::size_t size, std::size_t offset);
  Record read(std::size_t offset) const { return data_ ? read_at(data_.get(), size(), offset) : Record(); }
  Record first() const { return read(sizeof(std::uint32_t)); }
  Record next(const Record& record) const { return read(record.end); }

  // Its size, then the records in one order whatever built them: the key,
  // the fields outside the 28, then by slot its source form and whether it
  // was filled in, so that equal extras have equal bytes. malloc'ed, so
  // that a builder's buffer is taken over without a copy.
  std::unique_ptr<char, Free> data_;
};

// Gathers the extras of one reference as a reader meets them, in the one
// buffer the reference then takes over: a reference of a million fields
// costs those fields once, not twice.
class ReferenceExtras::Builder {
 public:
  Builder() = default;
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  void clear();
  void set_citation_key(std::string_view key) { key_.assign(key); }
  void add_other_field(std::string_view name, std::string_view text, std::string_view source);
  // Whether a field outside the 28 of that name (without regard to case)
  // was added.
  bool has_other_field(std::string_view name) const;
  bool has_other_fields() const { return fields_ > 0; }
  void set_slot_source(int slot, std::string source);
  void clear_slot_source(int slot);
  void set_derived(int slot) { derived_ |= 1U << slot; }
  std::uint32_t derived() const { return derived_; }
  // Calls f(name, text, source) for each field outside the 28 added.
  template <class F>
  void for_each_other_field(F&& f) const {
    for (Record record = read_at(buffer_.get(), size_, kHeader); record.kind != 0;
         record = read_at(buffer_.get(), size_, record.end)) {
      f(record.strings[0], record.strings[1], record.strings[2]);
    }
  }
  // The extras, taking the buffer over; the builder is empty afterwards.
  ReferenceExtras build();

 private:
  static constexpr std::size_t kHeader = sizeof(std::uint32_t);
  void reserve(std::size_t more);
  void put(const void* bytes, std::size_t count);
  void put_string(std::string_view text);
  std::string_view name_at(std::uint32_t offset) const;
  void index_field(std::uint32_t offset);

  std::unique_ptr<char, Free> buffer_;  // the header's room, then the records of other fields
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t fields_ = 0;
  std::string key_;
  std::array<std::string, kSlotCount> sources_;
  std::uint32_t with_source_ = 0;
  std::uint32_t derived_ = 0;
  // For entries of many fields, the records by their name's hash (offset
  // plus one; 0 for a free place), so that a repeat is found at once.
  std::vector<std::uint32_t> index_;
};

}  // namespace refloom
