#include <gtest/gtest.h>

#include "core/edit_target.h"

namespace refloom {
namespace {

TEST(EditTarget, FollowsDeletionsBeforeIt) {
  EditTarget target;
  target.start(5);
  target.deleted(7);
  EXPECT_EQ(target.index(), 5U);
  target.deleted(2);
  EXPECT_EQ(target.index(), 4U);
  target.deleted(4);
  EXPECT_EQ(target.index(), std::nullopt);
}

TEST(EditTarget, FollowsAReduction) {
  EditTarget target;
  target.start(5);
  target.retained({1, 5, 9});
  EXPECT_EQ(target.index(), 1U);
  target.retained({0, 2});
  EXPECT_EQ(target.index(), std::nullopt);
  target.start(3);
  target.cleared();
  EXPECT_EQ(target.index(), std::nullopt);
}

}  // namespace
}  // namespace refloom
