#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/reference_database.h"

namespace refloom {

// The references shown in the main window's list: their database indices
// in list order, distinct and ascending. List position p (1-based, as the
// list widget counts) shows the reference at index at_position(p).
class ListedReferences {
 public:
  std::size_t count() const { return indices_.size(); }
  std::size_t at_position(std::size_t position) const { return indices_[position - 1]; }
  const std::vector<std::size_t>& indices() const { return indices_; }
  bool contains(std::size_t index) const;
  // The list position that shows a database index, if it is listed.
  std::optional<std::size_t> position_of(std::size_t index) const;

  // Makes the given ascending indices the listed set.
  void assign(std::vector<std::size_t> ascending_indices);
  // Lists the whole database: 0 .. count-1.
  void list_all(std::size_t database_count);
  // Appends an index above every listed one (a new reference).
  void append(std::size_t index);
  // After the reference at list position p was deleted from the database:
  // drops position p and moves every later index down by one.
  void remove_position(std::size_t position);

 private:
  std::vector<std::size_t> indices_;
};

// Deletes every reference that is not listed, so that the database holds
// exactly the listed references; they become indices 0 .. n-1.
void reduce_to_listed(ReferenceDatabase& database, ListedReferences& listed);

// The list line of a reference: "%u %.15s %.30s %.15s %.4s" of RefId,
// author, title, journal and year. An absent field shows as nothing, and a
// text ends at a NUL byte as it would in the list widget. A cut never
// falls inside a UTF-8 character: it moves back before it.
std::string list_line(const Reference& reference);
// The same as a UTF-8 display shows it: the texts converted by
// tex_for_display (TeX accents as letters, bytes that are no UTF-8 as
// Latin-1), the widths counting characters, not bytes.
std::string shown_list_line(const Reference& reference);

}  // namespace refloom
