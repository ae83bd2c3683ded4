// What every importer must do with arbitrary bytes: read them to the end
// without fault, number its references by position with the given entry
// type, leave no carriage return or unconverted code page 437 letter in
// any text, keep continued abstracts within their limit, and give the same
// references whether a record is kept aside or goes through the setters.

#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "import/importers.h"

namespace refloom::fuzzing {

using StreamImport = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

inline ReferenceDatabase import_bytes(StreamImport import, const std::uint8_t* data, std::size_t size,
                                      RecordStorage storage) {
  ReferenceDatabase db;
  if (size == 0) return db;
  std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!stream) std::abort();
  import(db, stream, "article", storage);
  std::fclose(stream);
  return db;
}

inline bool has_unconverted_byte(std::string_view text) {
  for (const char byte : text) {
    switch (static_cast<unsigned char>(byte)) {
      case '\r':
      case 0x81:
      case 0x82:
      case 0x84:
      case 0x8A:
      case 0x8E:
      case 0x94:
      case 0x9A:
      case 0xE1:
        return true;
      default:
        break;
    }
  }
  return false;
}

inline int check_import(StreamImport import, const std::uint8_t* data, std::size_t size) {
  const ReferenceDatabase buffered = import_bytes(import, data, size, RecordStorage::kBuffered);
  const ReferenceDatabase through_setters = import_bytes(import, data, size, RecordStorage::kThroughSetters);
  if (buffered.ref_count() != through_setters.ref_count()) std::abort();
  for (std::size_t i = 0; i < buffered.ref_count(); ++i) {
    const Reference& reference = buffered.reference(i);
    if (!(reference == through_setters.reference(i))) std::abort();
    if (reference.ref_id() != i + 1) std::abort();
    if (reference.text(kEntryTypeSlot) != "article") std::abort();
    for (int slot = 2; slot < kSlotCount; ++slot) {
      if (has_unconverted_byte(reference.text_or_empty(slot))) std::abort();
    }
    if (reference.text_or_empty(kAbstract).size() > 2998) std::abort();
  }
  return 0;
}

}  // namespace refloom::fuzzing
