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
  EXPECT_EQ(result.out, "@misc{1,\n}\n\n@misc{5,\n}\n\n@misc{2,\n}\n\n@misc{3,\n}\n\n@misc{4,\n}\n\n@misc{6,\n}\n\n");
}

// Both references keep RefId 3, but two entries of one key would make
// BibTeX drop the second: it is written under a key of its own, which the
// "BibTeX" format reads as 3 again.
TEST_F(RefloomConvert, FirstInputKeepsDuplicateRefIdsButWritesEveryKeyOnce) {
  const auto a = input("a.bib", "@misc{3,\n}\n@misc{3,\n}\n@misc{3,\n}\n");
  const auto result = run_command(kConvert, {a});
  EXPECT_EQ(result.out, "@misc{3,\n}\n\n@misc{3a,\n}\n\n@misc{3b,\n}\n\n");
  EXPECT_EQ(result.err, "key 3 held by 3 references, the later ones written as 3a to 3b \n");
  const auto saved = input("saved.bib", result.out);
  const auto again = run_command(kConvert, {saved});
  EXPECT_EQ(again.out, result.out);
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
                            "\\bibliography{" +
                            dir_.file("out") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");
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
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"-x", a}, {"-f", "endnote", a}, {"-o"}, {"-f"}}) {
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
            "\\bibliography{" +
                dir_.file("refs") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");

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
  EXPECT_EQ(result.out, "@article{1,\nauthor     = \"Smith\",\n}\n\n@misc{3,\ntitle      = \"SMITHERY\",\n}\n\n");
  result = run_command(kConvert, {"-c", "-s", "smith", a});
  EXPECT_EQ(result.out, "");
  result = run_command(kConvert, {"-s", "book", "-c", a});  // the entry type is searched too
  EXPECT_EQ(result.out, "@book{2,\nauthor     = \"Jones\",\n}\n\n@inbook{4,\n}\n\n");
  result = run_command(kConvert, {"-s", "", a});  // every reference with some field
  EXPECT_NE(result.out.find("@inbook{4,"), std::string::npos);
}

// One record per format, written from each format's rules: every reader
// must take it from a pipe exactly as from a file.
struct FormatSample {
  std::string name;
  std::string text;
};

const std::vector<FormatSample> kSamples = {
    {"bibtex", "@article{4,\n  title = {Pipes},\n  year = {1999},\n}\n"},
    {"ovid", "1\nAU  - Smith JA\nTI  - Pipes\nSO  - J Tests 1999 Jan;4(2):10-12\n"},
    {"spirs", "Rec 1\nAU:    Smith-JA\nTI:    Pipes\n"},
    {"pubmed", "UI  - 1\nAU  - Smith JA\nTI  - Pipes\n"},
    {"inspec", "AN   1\nAU   Smith, J.A.\nTI   Pipes\n"},
    {"bibtex-any",
     "@string{j = \"J. Tests\"}\n@Article(smith2020,\n\tTitle = \"Pipes\", journal = j # \" B\",\n\tdoi = {10.1/x})\n"},
    {"nbib", "PMID- 17\nTI  - Pipes\nFAU - Smith, Jane\nDP  - 1999 Jan\n"},
    {"ris", "TY  - JOUR\r\nTI  - Pipes\r\nAU  - Jane Smith\r\nPY  - 1999\r\nER  - \r\n"},
};

TEST_F(RefloomConvert, DashReadsStandardInputInEveryFormat) {
  for (const FormatSample& sample : kSamples) {
    SCOPED_TRACE(sample.name);
    const auto path = input("sample.txt", sample.text);
    const auto from_file = run_command(kConvert, {"-f", sample.name, path});
    ASSERT_EQ(from_file.exit_status, 0);
    ASSERT_NE(from_file.out.find("\"Pipes\""), std::string::npos) << from_file.out;
    const auto from_pipe = run_command(kConvert, {"-f", sample.name, "-"}, sample.text);
    EXPECT_EQ(from_pipe.exit_status, 0);
    EXPECT_EQ(from_pipe.out, from_file.out);
    EXPECT_EQ(from_pipe.err, from_file.err);
  }
}

TEST_F(RefloomConvert, DashTakesItsPlaceAmongTheInputs) {
  const auto a = input("a.bib", "@misc{1,\n}\n");
  const auto result = run_command(kConvert, {a, "-", a}, "@misc{1,\n note = {piped},\n}\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "@misc{1,\n}\n\n@misc{2,\nnote       = \"piped\",\n}\n\n@misc{3,\n}\n\n");
  // An empty pipe is an empty input, not an error.
  const auto empty = run_command(kConvert, {"-"}, "");
  EXPECT_EQ(empty.exit_status, 0);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, "");
}

TEST_F(RefloomConvert, DashAfterDoubleDashIsStillStandardInput) {
  const auto result = run_command(kConvert, {"--", "-"}, "@misc{8,\n}\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "@misc{8,\n}\n\n");
}

TEST_F(RefloomConvert, OutputDashIsStandardOutput) {
  const auto a = input("a.bib", "@misc{5,\n title = {T},\n}\n");
  const std::string tex = dir_.file("refs.tex");
  const auto result = run_command(kConvert, {"-o", "-", "-l", tex, a});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "@misc{5,\ntitle      = \"T\",\n}\n\n");
  EXPECT_EQ(result.err, "");
  // No file was named after it: the document names no bibliography file.
  EXPECT_NE(read_file(tex).find("\\bibliography{} \n"), std::string::npos);
  const auto piped = run_command(kConvert, {"-o", "-", "-"}, "@misc{6,\n}\n");
  EXPECT_EQ(piped.out, "@misc{6,\n}\n\n");
}

TEST_F(RefloomConvert, VersionPrintsTheProgramVersion) {
  const auto result = run_command(kConvert, {"--version"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "refloom-convert 1.7\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(RefloomConvert, QuietDropsTheReadersMessagesButNotTheirWork) {
  const std::string text = "@article{1,\n title = {T},\n url = {http://x},\n}\n@misc{2,\n year = 1999,\n}\n";
  const auto loud = run_command(kConvert, {"-"}, text);
  ASSERT_NE(loud.err, "");
  const auto quiet = run_command(kConvert, {"-q", "-"}, text);
  EXPECT_EQ(quiet.exit_status, loud.exit_status);
  EXPECT_EQ(quiet.out, loud.out);
  EXPECT_EQ(quiet.err, "");
  // Position does not matter, and the seed importers stay silent too.
  const auto later = run_command(kConvert, {"-", "-q"}, text);
  EXPECT_EQ(later.err, "");
  EXPECT_EQ(later.out, loud.out);
}

TEST_F(RefloomConvert, QuietStillReportsAnInputThatCannotBeOpened) {
  const auto a = input("a.bib", "@misc{4,\n}\n");
  const std::string missing = dir_.file("missing.bib");
  const auto result = run_command(kConvert, {"-q", missing, a});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot open file: " + missing + "\n");
  EXPECT_EQ(result.out, "@misc{4,\n}\n\n");
  // A file that opens but fails while it is read (this one at its first
  // byte) is reported as it is without -q.
  const std::string unreadable = "/proc/self/mem";
  const auto loud = run_command(kConvert, {unreadable});
  const auto quiet = run_command(kConvert, {"-q", unreadable});
  EXPECT_EQ(loud.err, "Cannot read file: " + unreadable + "\n");
  EXPECT_EQ(quiet.err, loud.err);
  EXPECT_EQ(quiet.exit_status, 1);
}

TEST_F(RefloomConvert, UsageNamesThePipeOptions) {
  const auto result = run_command(kConvert, {"--help"});
  for (const char* text : {"[-q]", "  -q ", "  --version ", "- for standard input", "(- is standard output)"}) {
    EXPECT_NE(result.out.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace refloom
