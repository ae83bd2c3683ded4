// What the importers of today's exports (.nbib, RIS) must do with arbitrary
// bytes: read them to the end without fault, number the references by
// position, give one of the entry types they know, and leave every text
// safe for TeX: no carriage return, balanced braces, and each of & % $ # _
// after a backslash. UTF-8 input stays UTF-8.

#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/display_text.h"
#include "import/importers.h"

namespace refloom::fuzzing {

using StreamImport = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

inline bool is_tex_safe(std::string_view text) {
  long depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') return false;
    if (c == '{') ++depth;
    if (c == '}' && --depth < 0) return false;
    if ((c == '&' || c == '%' || c == '$' || c == '#' || c == '_') && (i == 0 || text[i - 1] != '\\')) return false;
  }
  return depth == 0;
}

inline int check_todays_import(StreamImport import, const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  ReferenceDatabase db;
  std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!stream) std::abort();
  import(db, stream, "article", RecordStorage::kBuffered);
  std::fclose(stream);
  const bool utf8_input = is_valid_utf8(std::string_view(reinterpret_cast<const char*>(data), size));
  constexpr std::array<std::string_view, 7> kTypes = {"article",   "book",       "incollection", "inproceedings",
                                                      "phdthesis", "techreport", "misc"};
  for (std::size_t i = 0; i < db.ref_count(); ++i) {
    const Reference& reference = db.reference(i);
    if (reference.ref_id() != i + 1) std::abort();
    bool known_type = false;
    for (std::string_view type : kTypes) {
      known_type = known_type || reference.text(kEntryTypeSlot) == type;
    }
    if (!known_type) std::abort();
    for (int slot = 2; slot < kSlotCount; ++slot) {
      const std::string_view text = reference.text_or_empty(slot);
      if (!is_tex_safe(text)) std::abort();
      if (utf8_input && !is_valid_utf8(text)) std::abort();
    }
  }
  return 0;
}

}  // namespace refloom::fuzzing
