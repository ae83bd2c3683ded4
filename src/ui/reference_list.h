#pragma once

#include <cstddef>
#include <vector>

namespace refloom::ui {

// Makes the given ascending database indices the listed references: the
// list shows their lines and the message line their count.
void fill_list(std::vector<std::size_t> indices);
// Lists every reference of the database.
void list_all_references();

// Single-line changes for the edit commands (positions count from 1).
void append_list_line(std::size_t index);
void replace_list_line(std::size_t position, std::size_t index);
void delete_list_line(std::size_t position);

}  // namespace refloom::ui
