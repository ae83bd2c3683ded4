#pragma once

// Text rules of today's exports (.nbib, RIS): the text is plain UTF-8, not
// TeX, so what TeX or BibTeX would misread is escaped, and names come in
// full ("Smith, John A", "John A. Smith") rather than as initials.

#include <cstddef>
#include <string>
#include <string_view>

namespace refloom {

// Appends `text` with the characters TeX would misread written as TeX
// commands: & % $ # _ as \& \% \$ \# \_, braces, ~, ^ and the backslash as
// \textbraceleft{} ... \textbackslash{} (a plain \{ would still count as a
// brace for BibTeX), and the double quote as {"} so that it cannot end a
// quoted value. Every other byte, non-ASCII UTF-8 included, is kept.
void append_tex_escaped(std::string_view text, std::string& out);
std::string tex_escaped(std::string_view text);

// A line without the carriage return of a CRLF file and without trailing
// blanks and tabs.
std::string_view trim_line_end(std::string_view line);
std::string_view trim_blanks(std::string_view text);

// "Smith, John A" -> "Smith, John A.": the given names after the comma,
// single letters and runs of up to three capitals ("JA") as initials with
// full stops, a trailing Jr/Sr/II/III/IV/2nd/3rd as BibTeX's middle part
// ("Smith, Jr., John"). Without a comma the name is read as "Smith JA".
std::string full_name_to_bibtex(std::string_view name);

// "Smith JA" (family name, then initials without stops) -> "Smith, J. A.";
// non-ASCII initials ("Ødegård Å") are kept whole.
std::string initials_name_to_bibtex(std::string_view name);

// RIS names: "Last, First" as it is, "First Middle Last" turned into
// "Last, First Middle" (lower-case particles such as "van der" and a
// trailing "Jr." go with the family name as BibTeX expects).
std::string ris_name_to_bibtex(std::string_view name);

// The four-digit year at the start of a date ("2019 Mar 15", "2019/03/15/"),
// or the first run of four digits anywhere in it.
std::string_view year_of(std::string_view date);

// The English three-letter month name ("Jan".."Dec") of 1..12.
std::string_view month_abbreviation(int month);

// Cuts what LineReader delivers into the lines of a today's export: a UTF-8
// byte order mark at the start of the file is skipped, and a carriage
// return ends a line too (CRLF files, and the CR-only files of old
// Macintosh programs).
class ExportLines {
 public:
  template <class OneLine>
  void feed(std::string_view line, OneLine&& one_line) {
    if (first_line_) {
      first_line_ = false;
      if (line.substr(0, kByteOrderMark.size()) == kByteOrderMark) line.remove_prefix(kByteOrderMark.size());
    }
    for (std::size_t cr = line.find('\r'); cr != std::string_view::npos; cr = line.find('\r')) {
      one_line(line.substr(0, cr));
      line.remove_prefix(cr + 1);
      if (line.empty()) return;
    }
    one_line(line);
  }

 private:
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  bool first_line_ = true;
};

}  // namespace refloom
