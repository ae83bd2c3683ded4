#pragma once

// Text rules of today's exports (.nbib, RIS): the text is plain UTF-8, not
// TeX, so what TeX or BibTeX would misread is escaped, and names come in
// full ("Smith, John A", "John A. Smith") rather than as initials.

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

}  // namespace refloom
