#pragma once

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// The keys a save writes: a reference's citation key, or its RefId in
// decimal when it has none. Two references are never written under one key
// (BibTeX compares keys without regard to case): a key that an earlier
// reference has already, or that some citation key is, gets the first free
// letters appended (12a, 12b, ..., 12z, 12aa, ...). The LaTeX document cites
// the same keys.
class WrittenKeys {
 public:
  explicit WrittenKeys(const ReferenceDatabase& database);

  std::string key(std::size_t index) const;

  // A key held by more than one reference: how many, and what the later
  // ones are written as (the first and the last of them).
  struct Repeat {
    std::string key;
    std::size_t holders = 1;
    std::string first_written;
    std::string last_written;
  };
  // In the order the keys first come in the database.
  const std::vector<Repeat>& repeats() const { return repeats_; }

 private:
  const ReferenceDatabase& database_;
  std::unordered_map<std::size_t, std::string> renamed_;  // by database index
  std::vector<Repeat> repeats_;
  std::unordered_map<std::string, std::size_t> repeat_of_;  // lower-case key -> index in repeats_
};

// Writes the database as BibTeX: the @preamble and @string blocks in their
// order, then every reference in database order in the fixed layout (a
// header line "@type{key,", one line per non-empty field in field order,
// the fields outside the 28 after them, "}" and a blank line), then the
// @comment blocks. A value whose source form still stands for its text is
// written in that form (month = nov); any other goes in double quotes when
// BibTeX and both BibTeX formats read it back unchanged from them, else in
// braces. A field filled in from another name (journal from journaltitle)
// is left out while it still holds that field's text.
//
// What the save had to change is said on `messages`: a key held twice, and
// a value whose braces do not balance, which no BibTeX value can hold; it
// is written with the missing braces added, so that BibTeX reads the rest
// of the file.
//
// Fails with "Cannot open file: <path>" when the file cannot be opened, or
// "Cannot write file: <path>" when writing or closing failed. An existing file is replaced only after the new
// one was written completely.
WriteResult write_bibtex(const ReferenceDatabase& database, const std::string& path, std::ostream& messages);

// The same to an open stream; false when a write failed.
bool write_bibtex(const ReferenceDatabase& database, std::FILE* stream, std::ostream& messages);

// The whole file as text, for tests and fuzzing.
std::string bibtex_text(const ReferenceDatabase& database, std::ostream& messages);

// The name = padding of a field outside the 28, as wide as the prefixes of
// the 28 (name, blanks to eleven characters, "= ").
std::string other_field_prefix(std::string_view name);

}  // namespace refloom
