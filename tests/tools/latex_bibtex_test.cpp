// The files refloom-convert writes from today's exports must go through
// real LaTeX and BibTeX without an error: every case of the .nbib and RIS
// data pairs, saved as BibTeX with its LaTeX document, then latex, bibtex,
// latex.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "tools/tex_programs.h"

namespace refloom {
namespace {

namespace fs = std::filesystem;
using testing::run_command;

const std::string kConvert = REFLOOM_CONVERT_PATH;
const fs::path kDataDir = IMPORT_DATA_DIR;

class LatexBibtex : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { REFLOOM_NEED_TEX("latex", "bibtex"); }
};

TEST_P(LatexBibtex, SavedFilesAndTheLatexDocumentRunWithoutErrors) {
  const std::string format = GetParam();
  for (const auto& file : fs::directory_iterator(kDataDir / format)) {
    if (file.path().extension() != ".txt") continue;
    SCOPED_TRACE(file.path().string());
    testing::TempDir dir;
    const std::string bib = dir.file("refs.bib");
    const auto converted =
        run_command(kConvert, {"-f", format, file.path().string(), "-o", bib, "-l", dir.file("doc.tex")});
    ASSERT_EQ(converted.exit_status, 0) << converted.err;
    const std::string run = "cd " + testing::shell_quoted(dir.path()) +
                            " && latex -interaction=nonstopmode -halt-on-error doc.tex >/dev/null"
                            " && bibtex doc; status=$?; [ $status -le 1 ] || exit 10;"
                            " latex -interaction=nonstopmode -halt-on-error doc.tex >/dev/null || exit 11;"
                            " latex -interaction=nonstopmode -halt-on-error doc.tex >/dev/null || exit 12";
    const auto result = run_command("/bin/sh", {"-c", run});
    // bibtex exits 1 for warnings (an empty field a style wants), 2 for
    // errors; latex stops at its first error.
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err << testing::read_file(dir.file("doc.log"));
    EXPECT_EQ(result.out.find("error message"), std::string::npos) << result.out;
  }
}

INSTANTIATE_TEST_SUITE_P(TodaysExports, LatexBibtex, ::testing::Values("nbib", "ris"));

}  // namespace
}  // namespace refloom
