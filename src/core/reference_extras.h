#pragma once

// What a reference read from a BibTeX file carries beyond its 29 texts, so
// that a save gives the file back as it was read: the citation key, the
// fields outside the 28 (doi, url, ...) in file order, the source form of
// fields that used macros or "#", and which fields were only filled in
// from another name (journaltitle, location, date, keywords) and so are
// not the file's own.

#include <array>
#include <cstdint>
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
  ReferenceExtras() = default;
  explicit ReferenceExtras(const ExtrasData& data);
  // From its parts, as a reader gathers them: the fields outside the 28 as
  // records made by append_other_field.
  ReferenceExtras(std::string_view citation_key, std::string_view other_field_records,
                  const std::array<std::string, kSlotCount>& slot_sources, std::uint32_t derived);

  // Appends the record of a field outside the 28 to `records`.
  static void append_other_field(std::string& records, std::string_view name, std::string_view text,
                                 std::string_view source);
  // Calls f(name, text, source) for each record made by append_other_field.
  template <class F>
  static void for_each_other_field_in(std::string_view records, F&& f) {
    for (Record record = read_at(records.data(), records.size(), 0); record.kind != 0;
         record = read_at(records.data(), records.size(), record.end)) {
      f(record.strings[0], record.strings[1], record.strings[2]);
    }
  }
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
  std::uint32_t size() const;
  static Record read_at(const char* bytes, std::size_t size, std::size_t offset);
  Record read(std::size_t offset) const { return data_ ? read_at(data_.get(), size(), offset) : Record(); }
  Record first() const { return read(sizeof(std::uint32_t)); }
  Record next(const Record& record) const { return read(record.end); }

  std::unique_ptr<char[]> data_;  // its size, then the records
};

}  // namespace refloom
