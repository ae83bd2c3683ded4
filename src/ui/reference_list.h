#pragma once

#include <cstddef>

namespace refloom::ui {

// Shows the session's listed references: their lines in the list, their
// count in the message line.
void refill_list();

// Single-line changes for the edit commands (positions count from 1).
void append_list_line(std::size_t index);
void replace_list_line(std::size_t position, std::size_t index);
void delete_list_line(std::size_t position);

}  // namespace refloom::ui
