#pragma once

// Fitting windows on the screen: whether the reference form fits as it is,
// how large its scrolled window is when it does not, and where a window
// goes so that all of it, the window manager's frame included, is on the
// screen. Sizes and places in pixels.

namespace refloom {

struct Extent {
  int width = 0;
  int height = 0;
  bool operator==(const Extent&) const = default;
};

struct Place {
  int x = 0;
  int y = 0;
  bool operator==(const Place&) const = default;
};

// The room a window has on a screen inside a window manager's frame that
// is `decorations` larger than the window. A frame of half the screen or
// more is taken for none: no window manager's frame is that large, but a
// virtual desktop found as the window's ancestor below the root is.
Extent room_inside_frame(Extent screen, Extent decorations);

// Whether a window of `size` fits in `room` in both directions.
bool fits(Extent size, Extent room);

// The scroll bars and margins of a scrolled window, as its widgets have them.
struct ScrollChrome {
  // The vertical bar's width and the horizontal bar's height, each with
  // the spacing between it and the viewed area.
  Extent bars;
  // The margins and shadows around the viewed area, both sides together.
  Extent frame;
};

// The size of a scrolled window that shows `content` within `room`: the
// whole width or height of the content where the room has it (plus the
// bar that the other direction needs), else the room's.
Extent scrolled_size(Extent content, Extent room, const ScrollChrome& chrome);

// Where a window of `size` (its frame included) goes when asked for at
// `wanted`: moved as little as can be so that it lies on a screen of
// `screen`; its top-left corner stays on the screen when it is larger.
Place keep_on_screen(Place wanted, Extent size, Extent screen);

}  // namespace refloom
