#pragma once

// Word wrap in linear time for long paragraphs.
//
// Motif's text source finds the end of a line by looking at every character
// up to the next line end, and its word wrap asks for that end once for
// every wrapped line, starting anew at each. A paragraph of n characters
// wrapped into lines of w characters therefore costs n * n / w steps, every
// time the text is laid out: a one-megabyte abstract took minutes.

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <cstdint>

namespace refloom::ui {

// The Motif this was written for: 2.3 (2003 as xmUseVersion counts), whose
// string source keeps its characters in a gap buffer laid out as
// Xm/TextStrSoP.h declares it. With any other version the text widget is
// left to Motif, slower with long paragraphs but as Motif means it.
inline constexpr int kLineEndsMotifVersion = 2003;

// Lets an XmText's source answer the end of a line from its last answer
// while the text has not changed, and find it with a block search when it
// has, when `motif_version` (the running library's, by default) is the one
// above. Call before the widget is given a long value; answers stay
// exactly those of the toolkit's own search.
void speed_up_line_ends(Widget text, int motif_version = xmUseVersion);

// How many line-end searches the sped-up sources have answered by looking
// at characters (for the tests: a layout must not search once per line).
std::uint64_t line_end_searches();

}  // namespace refloom::ui
