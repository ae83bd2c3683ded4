#include "core/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace refloom {
namespace {

std::vector<std::string> lines_of(std::string text, std::size_t limit = std::string::npos) {
  std::FILE* stream = fmemopen(text.data(), text.size(), "rb");
  EXPECT_NE(stream, nullptr);
  std::vector<std::string> lines;
  {
    LineReader reader(stream, limit);
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
  }
  std::fclose(stream);
  return lines;
}

TEST(LineReader, LinesOfAnyLengthAndTheLastWithoutALineFeed) {
  const std::string long_line(300000, 'a');
  EXPECT_EQ(lines_of("one\n\n" + long_line + "\nlast"), (std::vector<std::string>{"one", "", long_line, "last"}));
  EXPECT_EQ(lines_of(""), std::vector<std::string>{});
  EXPECT_EQ(lines_of("\r\n"), std::vector<std::string>{"\r"});
}

TEST(LineReader, WithALimitLongLinesAreCutAndTheRestPassedOver) {
  const std::string head(2999, 'h');
  const std::string rest(500000, 'r');
  EXPECT_EQ(lines_of("short\n" + head + rest + "\nnext\n" + head + "x\n" + head + "\n" + head + "y", 2999),
            (std::vector<std::string>{"short", head, "next", head, head, head}));
  // A cut line at the very end of the file, without a line feed.
  EXPECT_EQ(lines_of("a\n" + head + rest, 2999), (std::vector<std::string>{"a", head}));
}

}  // namespace
}  // namespace refloom
