#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/file_conditions.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::read_file;
using testing::run_command;
using testing::TempDir;
using testing::write_file;

const std::string kConvert = REFLOOM_CONVERT_PATH;

class RefloomConvert : public ::testing::Test {
 protected:
  std::string input(std::string_view name, std::string_view content) {
    const std::string path = dir_.file(name);
    write_file(path, content);
    return path;
  }
  TempDir dir_;
};

TEST_F(RefloomConvert, WritesTheDatabaseToStandardOutput) {
  const auto in = input("a.bib", "@Article{7,\n  title = {T},\n author = \"A\"\n}\n");
  const auto result = run_command(kConvert, {in});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "@Article{7,\nauthor     = \"A\",\ntitle      = \"T\",\n}\n\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(RefloomConvert, ReaderMessagesGoToStandardErrorByteForByte) {
  const auto in = input("a.bib", "@article{1,\r\ntitle = {T},\r\ndoi = {x\ty}\r\nyear = 1999,\n}\n");
  const auto result = run_command(kConvert, {in});
  EXPECT_EQ(result.exit_status, 0);
  // The carriage return before a line feed belongs to the line end; one
  // inside a line would be printed as it stands.
  EXPECT_EQ(result.err,
            "unknown field: doi = {x\ty} skip this line! \n"
            "BibTeX file corrupted in reference 1 ! \n"
            "year must start with either >> { << or >> \" << \n");
  EXPECT_EQ(result.out, "@article{1,\ntitle      = \"T\",\n}\n\n");
}

TEST_F(RefloomConvert, LaterInputsAreRenumberedAgainstEverythingBefore) {
  const auto a = input("a.bib", "@misc{1,\n}\n@misc{5,\n}\n");
  const auto b = input("b.bib", "@misc{1,\n}\n@misc{2,\n}\n");
  const auto result = run_command(kConvert, {a, b, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out,
            "@misc{1,\n}\n\n@misc{5,\n}\n\n@misc{2,\n}\n\n@misc{3,\n}\n\n@misc{4,\n}\n\n@misc{6,\n}\n\n");
}

TEST_F(RefloomConvert, FirstInputKeepsDuplicateKeys) {
  const auto a = input("a.bib", "@misc{3,\n}\n@misc{3,\n}\n");
  EXPECT_EQ(run_command(kConvert, {a}).out, "@misc{3,\n}\n\n@misc{3,\n}\n\n");
}

TEST_F(RefloomConvert, MissingInputGivesStatusOneButTheRestIsWritten) {
  const auto a = input("a.bib", "@misc{4,\n}\n");
  const std::string out = dir_.file("out.bib");
  const auto result = run_command(kConvert, {"-o", out, dir_.file("missing.bib"), a});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot open file: " + dir_.file("missing.bib") + "\n");
  EXPECT_EQ(read_file(out), "@misc{4,\n}\n\n");
}

TEST_F(RefloomConvert, UnwritableOutputGivesStatusOne) {
  const auto a = input("a.bib", "@misc{4,\n}\n");
  const std::string out = dir_.file("no/such/dir.bib");
  const auto result = run_command(kConvert, {"-o", out, a});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot open file: " + out + "\n");
}

TEST_F(RefloomConvert, OutputsReachedThroughLinksToPipesAndDevicesAreWrittenDirectly) {
  const auto a = input("a.bib", "@misc{4,\n}\n");
  const std::string bib = "@misc{4,\n}\n\n";
  const std::string link = dir_.file("out.bib");
  ASSERT_EQ(symlink("/dev/stdout", link.c_str()), 0);
  // Standard output is a pipe into cat; /dev/stdout, /dev/fd/1 and the link
  // lead to it.
  const auto piped = [&](const std::vector<std::string>& args) {
    std::vector<std::string> sh_args = {"-c", "\"$0\" \"$@\" | cat", kConvert};
    sh_args.insert(sh_args.end(), args.begin(), args.end());
    return run_command("/bin/sh", sh_args);
  };
  for (const std::string& out : {std::string("/dev/stdout"), std::string("/dev/fd/1"), link}) {
    const auto result = piped({"-o", out, a});
    EXPECT_EQ(result.exit_status, 0) << out;
    EXPECT_EQ(result.err, "") << out;
    EXPECT_EQ(result.out, bib) << out;
  }
  auto result = piped({"-o", link, "-l", "/dev/stdout", a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, bib +
                            "\\documentclass[12pt]{article} \n\\begin{document} \n\\nocite{4} \n"
                            "\\bibliography{" + dir_.file("out") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");
  struct stat status;
  ASSERT_EQ(lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  const std::string null_link = dir_.file("null.bib");
  ASSERT_EQ(symlink("/dev/null", null_link.c_str()), 0);
  result = run_command(kConvert, {"-o", null_link, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(RefloomConvert, LongestValidOutputNamesAreWritten) {
  const auto a = input("a.bib", "@misc{4,\n}\n");
  const std::string out = dir_.file(std::string(251, 'o') + ".bib");
  const std::string tex = dir_.file(std::string(251, 'l') + ".tex");
  const auto result = run_command(kConvert, {"-o", out, "-l", tex, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(read_file(out), "@misc{4,\n}\n\n");
  EXPECT_TRUE(read_file(tex).starts_with("\\documentclass"));
}

TEST_F(RefloomConvert, FailingWritesLeaveTheOldOutputsByteForByte) {
  std::string big;
  for (int i = 1; i <= 300; ++i) big += "@misc{" + std::to_string(i) + ",\n  title = {A title long enough},\n}\n";
  const auto a = input("a.bib", big);
  const std::string out = dir_.file("out.bib");
  const std::string tex = dir_.file("out.tex");
  const std::string old_bib("old\0bib\n", 8);
  write_file(out, old_bib);
  write_file(tex, "old tex\n");
  const std::string linked = dir_.file("linked.bib");
  ASSERT_EQ(link(out.c_str(), linked.c_str()), 0);  // rewritten in place
  testing::CommandResult result;
  {
    testing::FileSizeLimit limit(2048);
    result = run_command(kConvert, {"-o", out, "-l", tex, a});
  }
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot write file: " + out + "\nCannot write LaTeX file! \n");
  EXPECT_EQ(read_file(out), old_bib);
  EXPECT_EQ(read_file(linked), old_bib);
  EXPECT_EQ(read_file(tex), "old tex\n");
}

TEST_F(RefloomConvert, BadUsageGivesStatusTwoWithAReasonAndTheUsage) {
  const auto a = input("a.bib", "");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"-x", a}, {"-f", "endnote", a}, {"-o"}, {"-f"}}) {
    const auto result = run_command(kConvert, args);
    EXPECT_EQ(result.exit_status, 2);
    EXPECT_EQ(result.out, "");
    ASSERT_TRUE(result.err.starts_with("refloom-convert: ")) << result.err;
    const auto first_line_end = result.err.find('\n');
    EXPECT_TRUE(result.err.substr(first_line_end + 1).starts_with("usage: refloom-convert ")) << result.err;
  }
}

TEST_F(RefloomConvert, HelpPrintsTheUsage) {
  const auto result = run_command(kConvert, {"--help"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_TRUE(result.out.starts_with("usage: refloom-convert ")) << result.out;
  EXPECT_EQ(result.err, "");
}

TEST_F(RefloomConvert, OutputFileIsWrittenInTheFixedLayout) {
  const auto a = input("a.bib", "@book{2,\nyear={2001}, title = \"Say {\"}hi{\"}\", note={x \"y\" z}\n}\n");
  const std::string out = dir_.file("out.bib");
  const auto result = run_command(kConvert, {"-f", "bibtex", a, "-o", out});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_file(out),
            "@book{2,\n"
            "note       = {x \"y\" z},\n"
            "title      = \"Say {\"}hi{\"}\",\n"
            "year       = \"2001\",\n"
            "}\n\n");
}

TEST_F(RefloomConvert, LatexDocumentCitesEveryReferenceAndNamesTheOutput) {
  const auto a = input("a.bib", "@misc{12,\n}\n@misc{7,\n}\n");
  const std::string out = dir_.file("refs.bib");
  const std::string tex = dir_.file("refs.tex");
  auto result = run_command(kConvert, {"-l", tex, "-o", out, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_file(tex),
            "\\documentclass[12pt]{article} \n\\begin{document} \n\\nocite{12} \n\\nocite{7} \n"
            "\\bibliography{" + dir_.file("refs") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");

  result = run_command(kConvert, {"-l", tex, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(read_file(tex).find("\\bibliography{} \n"), std::string::npos);

  result = run_command(kConvert, {"-l", dir_.file("no/dir.tex"), a});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot open LaTeX file for output! \n");
}

TEST_F(RefloomConvert, SearchKeepsTheMatchingReferences) {
  const auto a = input("a.bib",
                       "@article{1,\n author = {Smith},\n}\n@book{2,\n author = {Jones},\n}\n"
                       "@misc{3,\n title = {SMITHERY},\n}\n@inbook{4,\n}\n");
  auto result = run_command(kConvert, {"-s", "smith", a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out,
            "@article{1,\nauthor     = \"Smith\",\n}\n\n@misc{3,\ntitle      = \"SMITHERY\",\n}\n\n");
  result = run_command(kConvert, {"-c", "-s", "smith", a});
  EXPECT_EQ(result.out, "");
  result = run_command(kConvert, {"-s", "book", "-c", a});  // the entry type is searched too
  EXPECT_EQ(result.out, "@book{2,\nauthor     = \"Jones\",\n}\n\n@inbook{4,\n}\n\n");
  result = run_command(kConvert, {"-s", "", a});  // every reference with some field
  EXPECT_NE(result.out.find("@inbook{4,"), std::string::npos);
}

}  // namespace
}  // namespace refloom
