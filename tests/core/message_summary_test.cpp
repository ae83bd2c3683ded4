// What the window shows of a command's messages, and that the stream the
// messages go to still gets every byte.

#include "core/message_summary.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_reader.h"
#include "core/message_stream.h"
#include "core/reference_database.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::TempDir;

std::string numbered_lines(int first, int last) {
  std::string text;
  for (int i = first; i <= last; ++i) text += "message " + std::to_string(i) + "\n";
  return text;
}

TEST(MessageSummary, HeadingCountsMessagesAndWhatALoadRead) {
  MessageSummary summary;
  EXPECT_TRUE(summary.empty());
  summary.add("Cannot open file: /tmp/x.bib\n");
  EXPECT_FALSE(summary.empty());
  EXPECT_EQ(summary.heading(), "1 message:");
  summary.add("second\nthird\n");
  EXPECT_EQ(summary.heading(), "3 messages:");

  summary.set_load(3000, "/data/refs.bib");
  EXPECT_EQ(summary.heading(), "3000 references read from /data/refs.bib; 3 messages:");
  summary.clear();
  summary.add("one\n");
  summary.set_load(1, "/a b/one.bib");
  EXPECT_EQ(summary.heading(), "1 reference read from /a b/one.bib; 1 message:");
  summary.set_load(0, "empty.bib");
  EXPECT_EQ(summary.heading(), "0 references read from empty.bib; 1 message:");
}

TEST(MessageSummary, FormatHintsComeFirstOnScreenAndAreNoMessages) {
  MessageSummary summary;
  summary.set_load(0, "/data/refs.bib");
  summary.set_format_hints(FormatHints{false, true}, "PubMed / MEDLINE (.nbib)");
  EXPECT_FALSE(summary.empty());
  EXPECT_EQ(summary.message_count(), 0U);
  EXPECT_EQ(summary.heading(), "0 references read from /data/refs.bib.");
  EXPECT_EQ(summary.text(),
            "No reference found in this file with the format \"PubMed / MEDLINE (.nbib)\": it may be in another "
            "format.");

  summary.clear();
  summary.set_load(2, "/data/today.bib");
  summary.set_format_hints(FormatHints{true, false}, "BibTeX");
  summary.add("unknown field: doi = {10.1/x}, skip this line! \n");
  EXPECT_EQ(summary.heading(), "2 references read from /data/today.bib; 1 message:");
  EXPECT_EQ(summary.text(),
            "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n"
            "unknown field: doi = {10.1/x}, skip this line! ");

  // Both at once, in this order.
  summary.set_format_hints(FormatHints{true, true}, "BibTeX");
  EXPECT_EQ(summary.text(),
            "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n"
            "No reference found in this file with the format \"BibTeX\": it may be in another format.\n"
            "unknown field: doi = {10.1/x}, skip this line! ");

  // No hint: as before; and clear forgets them.
  summary.set_format_hints(FormatHints{}, "BibTeX");
  EXPECT_EQ(summary.text(), "unknown field: doi = {10.1/x}, skip this line! ");
  summary.set_format_hints(FormatHints{true, false}, "BibTeX");
  summary.clear();
  EXPECT_TRUE(summary.empty());
  EXPECT_EQ(summary.text(), "");
}

TEST(MessageSummary, KeepsMessagesAsWrittenInPieces) {
  MessageSummary summary;
  summary.add("BibTeX file corrupted in reference ");
  summary.add("1");
  summary.add(" ! \nyear must start with either >> { << or >> \" << \n");
  summary.add("\n");  // an empty line is a message of its own
  summary.add("last without a line feed");
  EXPECT_EQ(summary.message_count(), 4U);
  EXPECT_EQ(summary.text(),
            "BibTeX file corrupted in reference 1 ! \nyear must start with either >> { << or >> \" << \n\n"
            "last without a line feed");
  summary.add("\n");
  EXPECT_EQ(summary.message_count(), 4U);
}

TEST(MessageSummary, KeepsTheFirstTwoHundredAndCountsTheRest) {
  MessageSummary summary;
  summary.add(numbered_lines(1, 200));
  EXPECT_EQ(summary.text(), numbered_lines(1, 199) + "message 200");
  EXPECT_EQ(summary.heading(), "200 messages:");

  summary.add("message 201\n");
  EXPECT_EQ(summary.text(), numbered_lines(1, 200) + "... and 1 more (every message is on standard output)");
  // Pieces of lines beyond the kept ones, a last one without its line feed.
  summary.add("message ");
  summary.add("202\nmessage 203\nmess");
  summary.add("age 204");
  EXPECT_EQ(summary.message_count(), 204U);
  EXPECT_EQ(summary.heading(), "204 messages:");
  EXPECT_EQ(summary.text(), numbered_lines(1, 200) + "... and 4 more (every message is on standard output)");
  summary.add("\n\n");
  EXPECT_EQ(summary.message_count(), 205U);

  summary.clear();
  EXPECT_TRUE(summary.empty());
  EXPECT_EQ(summary.text(), "");
  summary.add("fresh\n");
  EXPECT_EQ(summary.heading(), "1 message:");
  EXPECT_EQ(summary.text(), "fresh");
}

TEST(MessageSummary, CutsALongMessageWithoutSplittingACharacter) {
  MessageSummary summary;
  summary.add(std::string(500, 'a') + "\n");
  summary.add(std::string(501, 'b') + "\n");
  // The long one written a few bytes at a time.
  for (int i = 0; i < 300; ++i) summary.add("cc");
  summary.add("\n");
  // "é" (C3 A9) across the limit: bytes 500 and 501.
  summary.add(std::string(499, 'd') + "\xC3\xA9" + "tail\n");
  EXPECT_EQ(summary.text(), std::string(500, 'a') + "\n" + std::string(500, 'b') + "...\n" + std::string(500, 'c') +
                                "...\n" + std::string(499, 'd') + "...");
  EXPECT_EQ(summary.message_count(), 4U);
}

TEST(MessageCollector, PassesEveryByteOnUnchanged) {
  std::ostringstream target;
  MessageCollector collector(target);
  collector << "Ref. ID " << 8U << " was taken meanwhile, reference stored as " << 11ULL << " \n";
  collector << 'x' << std::string("\0y", 2) << '\n';
  collector.write("partial", 7);
  collector.flush();
  EXPECT_EQ(target.str(), std::string("Ref. ID 8 was taken meanwhile, reference stored as 11 \nx\0y\npartial", 66));
  EXPECT_EQ(collector.summary().message_count(), 3U);
  EXPECT_EQ(collector.summary().text(),
            std::string("Ref. ID 8 was taken meanwhile, reference stored as 11 \nx\0y\npartial", 66));

  // Another target from now on; what was written before goes to the old
  // one, and the summary goes on.
  collector << " end";
  std::ostringstream other;
  collector.set_target(other);
  collector << "\nmore\n";
  collector.flush();
  EXPECT_TRUE(target.str().ends_with("partial end"));
  EXPECT_EQ(other.str(), "\nmore\n");
  EXPECT_EQ(collector.summary().message_count(), 4U);
}

TEST(MessageCollector, AReaderWritesTheSameBytesThroughItAsWithout) {
  TempDir dir;
  const std::string path = dir.file("odd.bib");
  std::string content;
  for (int i = 1; i <= 300; ++i) {
    content += "@misc{" + std::to_string(i) + ",\n  colour = {red},\n  title = {T}\n}\n\n";
  }
  content += "@article{301,\nyear = 1999,\n}\n";
  testing::write_file(path, content);

  std::ostringstream plain;
  ReferenceDatabase first;
  read_bibtex(first, path, plain);

  // Through the buffered stream to a file, as the program writes them.
  const std::string out = dir.file("out.txt");
  std::FILE* file = std::fopen(out.c_str(), "w");
  ASSERT_NE(file, nullptr);
  {
    MessageStream standard_output(file);
    MessageCollector collector(standard_output);
    ReferenceDatabase second;
    read_bibtex(second, path, collector);
    collector.flush();
    EXPECT_EQ(testing::read_file(out), plain.str());
    EXPECT_EQ(collector.summary().message_count(), 302U);
    EXPECT_EQ(collector.summary().text(),
              plain.str().substr(0, 200 * std::string("unknown field: colour = {red}, skip this line! \n").size()) +
                  "... and 102 more (every message is on standard output)");
  }
  std::fclose(file);
  ASSERT_GT(plain.str().size(), 0U);
  EXPECT_TRUE(plain.str().starts_with("unknown field: colour = {red}, skip this line! \n"));
}

TEST(MessageCollector, ManyMessagesKeepMemoryBounded) {
  // The heap as glibc counts it (large blocks are mapped on their own); a
  // sanitizer's allocator reports nothing.
  const auto in_use = [] {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
  };
  {
    const std::size_t before = in_use();
    std::vector<char> probe(1 << 20, 'x');
    volatile char* kept = probe.data();
    kept[0] = 'y';
    if (in_use() - before < (1 << 20)) GTEST_SKIP() << "the allocator does not report its use";
  }
  std::FILE* null_device = std::fopen("/dev/null", "w");
  ASSERT_NE(null_device, nullptr);
  {
    MessageStream standard_output(null_device);
    MessageCollector collector(standard_output);
    const std::size_t before = in_use();
    const std::string line = "unknown field: colour = {red}, skip this line! \n";
    for (int i = 0; i < 150000; ++i) collector << line;  // 7.2 MB
    const std::size_t grown = in_use() - before;
    EXPECT_LT(grown, 512U * 1024) << "bytes held after 150,000 messages";
    EXPECT_EQ(collector.summary().message_count(), 150000U);
    EXPECT_EQ(collector.summary().heading(), "150000 messages:");
  }
  std::fclose(null_device);
}

}  // namespace
}  // namespace refloom
