#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace refloom {

// A converted line never grows beyond this many characters.
inline constexpr std::size_t kConvertedLineMax = 2999;

// Turns export text into text that is safe inside a BibTeX value: the code
// page 437 letters the exports use become TeX accents, the double quote
// becomes {"} and the percent sign \%. A line feed or carriage return ends
// the text; once more than 2994 characters stand, the rest is dropped.
// Every other byte, NUL included, is kept as it is.
void convert_text(std::string_view line, std::string& converted);

// Converts `line` in place and returns its text from `offset` characters
// on (empty when the converted line is shorter).
std::string_view convert_line(std::string& line, std::size_t offset);

// A name as the exports write it ("Smith JA", "van der Berg AB",
// "Smith JA Jr") in BibTeX form ("Smith, J. A.", "van der Berg, A. B.",
// "Smith, Jr., J. A."). The word groups have no length limit.
std::string convert_name(std::string_view name);
void convert_name(std::string_view name, std::string& converted);

// The integer that starts a text, read as atoi reads it (white space, an
// optional sign, digits; 0 without digits), as signed decimal text. Values
// beyond the range of int are held at its ends.
std::string leading_integer_text(std::string_view text);

}  // namespace refloom
