#include <gtest/gtest.h>

#include "core/screen_fit.h"

namespace refloom {
namespace {

// Bars 19 pixels thick with their spacing, 4 pixels of margins and shadows
// around the viewed area.
const ScrollChrome kChrome = {{19, 19}, {4, 4}};

TEST(ScreenFit, TheRoomIsTheScreenLessTheFrame) {
  EXPECT_EQ(room_inside_frame({1280, 1024}, {14, 31}), (Extent{1266, 993}));
  EXPECT_EQ(room_inside_frame({1024, 768}, {0, 0}), (Extent{1024, 768}));
}

// A virtual desktop taken for the frame would leave a form no room.
TEST(ScreenFit, AFrameOfHalfTheScreenOrMoreCountsAsNone) {
  EXPECT_EQ(room_inside_frame({1024, 768}, {1024, 31}), (Extent{1024, 737}));
  EXPECT_EQ(room_inside_frame({1024, 768}, {511, 384}), (Extent{513, 768}));
  EXPECT_EQ(room_inside_frame({1024, 768}, {4000, 3000}), (Extent{1024, 768}));
  EXPECT_EQ(room_inside_frame({1024, 768}, {-5, -5}), (Extent{1024, 768}));
}

TEST(ScreenFit, AWindowFitsUpToTheLastPixelInBothDirections) {
  EXPECT_TRUE(fits({1266, 579}, {1266, 993}));
  EXPECT_TRUE(fits({1266, 993}, {1266, 993}));
  EXPECT_FALSE(fits({1267, 579}, {1266, 993}));
  EXPECT_FALSE(fits({1207, 798}, {1010, 737}));
  EXPECT_FALSE(fits({800, 738}, {1010, 737}));
}

TEST(ScreenFit, TooWideOnlyScrollsAcrossAndKeepsItsHeightWithTheBarBelow) {
  EXPECT_EQ(scrolled_size({1266, 579}, {1010, 737}, kChrome), (Extent{1010, 579 + 4 + 19}));
}

TEST(ScreenFit, TooHighOnlyScrollsDownAndKeepsItsWidthWithTheBarBeside) {
  EXPECT_EQ(scrolled_size({700, 900}, {1010, 737}, kChrome), (Extent{700 + 4 + 19, 737}));
}

TEST(ScreenFit, TooLargeBothWaysTakesTheWholeRoom) {
  EXPECT_EQ(scrolled_size({1252, 798}, {1010, 737}, kChrome), (Extent{1010, 737}));
}

// The bar one direction needs takes the room the other had just enough of.
TEST(ScreenFit, ABarCanMakeTheOtherDirectionScrollToo) {
  // Wide: the horizontal bar leaves too little height.
  EXPECT_EQ(scrolled_size({1266, 720}, {1010, 737}, kChrome), (Extent{1010, 737}));
  // High: the vertical bar leaves too little width.
  EXPECT_EQ(scrolled_size({1000, 900}, {1010, 737}, kChrome), (Extent{1010, 737}));
  // Just enough room for the content and its bar.
  EXPECT_EQ(scrolled_size({1266, 714}, {1010, 737}, kChrome), (Extent{1010, 737}));
  EXPECT_EQ(scrolled_size({987, 900}, {1010, 737}, kChrome), (Extent{1010, 737}));
  EXPECT_EQ(scrolled_size({986, 900}, {1010, 737}, kChrome), (Extent{1009, 737}));
}

TEST(ScreenFit, AWindowIsMovedTheLeastThatPutsItOnTheScreen) {
  const Extent screen{1024, 768};
  EXPECT_EQ(keep_on_screen({17, 0}, {600, 431}, screen), (Place{17, 0}));
  EXPECT_EQ(keep_on_screen({640, 24}, {500, 300}, screen), (Place{524, 24}));
  EXPECT_EQ(keep_on_screen({48, 500}, {1024, 768}, screen), (Place{0, 0}));
  EXPECT_EQ(keep_on_screen({-30, -5}, {100, 100}, screen), (Place{0, 0}));
  EXPECT_EQ(keep_on_screen({1000, 700}, {100, 100}, screen), (Place{924, 668}));
}

TEST(ScreenFit, AWindowLargerThanTheScreenKeepsItsTopLeftCornerOnIt) {
  EXPECT_EQ(keep_on_screen({48, 72}, {1280, 900}, {1024, 768}), (Place{0, 0}));
}

}  // namespace
}  // namespace refloom
