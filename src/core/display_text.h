#pragma once

// Stored texts are bytes: UTF-8 in today's files, Latin-1 or code page 437
// in older ones. On a UTF-8 display every text must be valid UTF-8, or the
// toolkit shows nothing and warns; the stored bytes themselves are never
// changed by being shown.

#include <optional>
#include <string>
#include <string_view>

namespace refloom {

// Whether the text is well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool is_valid_utf8(std::string_view text);

// The text as a UTF-8 display shows it: well-formed UTF-8 sequences as they
// are, every other byte read as the Latin-1 character it would be (0xE9
// shows as "é", written C3 A9).
std::string utf8_for_display(std::string_view text);

// How many bytes of `text` its first `characters` characters take, counted
// as utf8_for_display shows them (a well-formed sequence or a single other
// byte is one character), so that a cut never splits a character.
std::size_t utf8_prefix_bytes(std::string_view text, std::size_t characters);

// TeX as a reader sees it, for a list line in a UTF-8 locale: the common
// accents and letters ({\"u}, \"{u}, \'e, \v{s}, \ss, \o, \'{\i}, ...) as
// their characters, -- and --- as dashes, ~ as a no-break space, \& and its
// kin as the character, grouping braces gone; anything else as written. The
// result is UTF-8, other bytes shown as utf8_for_display shows them.
std::string tex_for_display(std::string_view text);

// Where to cut a text after at most `bytes` bytes: before a well-formed
// UTF-8 character the cut would fall inside (a character cut in two takes
// the rest of a list line with it), elsewhere where it falls.
std::size_t cut_before_split_character(std::string_view text, std::size_t bytes);

// Whether the C library's current character encoding (set by setlocale) is
// UTF-8.
bool locale_is_utf8();

}  // namespace refloom
