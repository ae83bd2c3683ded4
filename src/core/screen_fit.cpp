#include "core/screen_fit.h"

#include <algorithm>

namespace refloom {

Extent room_inside_frame(Extent screen, Extent decorations) {
  const auto inside = [](int length, int frame) { return frame >= 0 && 2 * frame < length ? length - frame : length; };
  return {inside(screen.width, decorations.width), inside(screen.height, decorations.height)};
}

bool fits(Extent size, Extent room) { return size.width <= room.width && size.height <= room.height; }

Extent scrolled_size(Extent content, Extent room, const ScrollChrome& chrome) {
  const int width = content.width + chrome.frame.width;
  const int height = content.height + chrome.frame.height;
  bool horizontal = width > room.width;
  bool vertical = height > room.height;
  // Each bar takes room from the other direction, which may then need
  // its bar too; twice settles it.
  for (int pass = 0; pass < 2; ++pass) {
    horizontal = horizontal || width + (vertical ? chrome.bars.width : 0) > room.width;
    vertical = vertical || height + (horizontal ? chrome.bars.height : 0) > room.height;
  }
  return {std::min(width + (vertical ? chrome.bars.width : 0), room.width),
          std::min(height + (horizontal ? chrome.bars.height : 0), room.height)};
}

namespace {

int keep_within(int wanted, int size, int screen) { return std::max(0, std::min(wanted, screen - size)); }

}  // namespace

Place keep_on_screen(Place wanted, Extent size, Extent screen) {
  return {keep_within(wanted.x, size.width, screen.width), keep_within(wanted.y, size.height, screen.height)};
}

}  // namespace refloom
