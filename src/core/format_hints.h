#pragma once

namespace refloom {

// What a load noticed about the format chosen for a file. The window says
// it beside the messages; standard output gets the readers' messages alone,
// as before.
struct FormatHints {
  // The "BibTeX" format met BibTeX in today's style: keys that are no
  // numbers, @string, @preamble or @comment, entries in parentheses, fields
  // it does not know. "BibTeX (any style)" reads such a file whole.
  bool todays_bibtex = false;
  // A file with content gave no reference in the format chosen.
  bool no_reference = false;

  bool any() const { return todays_bibtex || no_reference; }
};

}  // namespace refloom
