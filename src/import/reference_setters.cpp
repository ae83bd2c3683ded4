#include "import/reference_setters.h"

#include <string>

#include "import/convert.h"

namespace refloom {

namespace {

Reference* by_number(ReferenceDatabase& database, std::size_t number) {
  if (number == 0 || number > database.ref_count()) return nullptr;
  return &database.reference(number - 1);
}

void append_name(ReferenceDatabase& database, std::size_t number, int slot, std::string_view name) {
  Reference* reference = by_number(database, number);
  if (reference == nullptr) return;
  const std::string converted = convert_name(name);
  if (const auto old = reference->text(slot)) {
    std::string joined(*old);
    joined.append(" and ").append(converted);
    reference->set_text(slot, joined);
  } else {
    reference->set_text(slot, converted);
  }
}

void set_integer_field(ReferenceDatabase& database, std::size_t number, int slot, std::string_view text) {
  if (Reference* reference = by_number(database, number)) reference->set_text(slot, leading_integer_text(text));
}

}  // namespace

void append_author(ReferenceDatabase& database, std::size_t number, std::string_view name) {
  append_name(database, number, kAuthor, name);
}

void append_editor(ReferenceDatabase& database, std::size_t number, std::string_view name) {
  append_name(database, number, kEditor, name);
}

void set_year_from_text(ReferenceDatabase& database, std::size_t number, std::string_view text) {
  set_integer_field(database, number, kYear, text);
}

void set_number_from_text(ReferenceDatabase& database, std::size_t number, std::string_view text) {
  set_integer_field(database, number, kNumber, text);
}

}  // namespace refloom
