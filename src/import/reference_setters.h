#pragma once

// The importers' setters that convert as they store, by 1-based reference
// number like the database's own setters; a number that names no
// reference changes nothing.

#include <cstddef>
#include <string_view>

#include "core/reference_database.h"

namespace refloom {

// Append the converted name to the author (editor) field of the reference,
// after " and " when the field already holds a text.
void append_author(ReferenceDatabase& database, std::size_t number, std::string_view name);
void append_editor(ReferenceDatabase& database, std::size_t number, std::string_view name);

// Store leading_integer_text(text) as the year (number) of the reference.
void set_year_from_text(ReferenceDatabase& database, std::size_t number, std::string_view text);
void set_number_from_text(ReferenceDatabase& database, std::size_t number, std::string_view text);

}  // namespace refloom
