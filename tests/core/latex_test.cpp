#include <gtest/gtest.h>

#include <sstream>

#include "core/latex.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

TEST(Latex, DocumentCitesInListOrder) {
  EXPECT_EQ(latex_document({{"12", "7"}}, "/home/u/refs"),
            "\\documentclass[12pt]{article} \n"
            "\\begin{document} \n"
            "\\nocite{12} \n"
            "\\nocite{7} \n"
            "\\bibliography{/home/u/refs} \n"
            "\\bibliographystyle{plain} \n"
            "\\end{document} \n");
}

TEST(Latex, TheUrlPackageOnlyForACitedReferenceThatHoldsAUrl) {
  EXPECT_EQ(latex_document({{"smith2020"}, true}, "refs"),
            "\\documentclass[12pt]{article} \n"
            "\\usepackage{url} \n"
            "\\begin{document} \n"
            "\\nocite{smith2020} \n"
            "\\bibliography{refs} \n"
            "\\bibliographystyle{plain} \n"
            "\\end{document} \n");

  ReferenceDatabase db;
  for (int i = 0; i < 3; ++i) db.add_reference();
  db.set_ref_id(1, 4);
  db.set_ref_id(2, 5);
  db.set_ref_id(3, 6);
  db.set_title(1, "See \\url{http://x.org}");
  ExtrasData extras;
  extras.citation_key = "Doe99";
  extras.other_fields.push_back({"howto", "at \\url{http://y.org}", ""});
  db.reference(2).set_extras(ReferenceExtras(extras));
  EXPECT_TRUE(citations(db, {0}).uses_url);
  EXPECT_FALSE(citations(db, {1}).uses_url);
  const Citations third = citations(db, {2, 1});
  EXPECT_TRUE(third.uses_url);  // in a field outside the 28
  EXPECT_EQ(third.keys, (std::vector<std::string>{"Doe99", "5"}));
}

TEST(Latex, NoCitationsAndNoBibliography) {
  EXPECT_EQ(latex_document({}, ""),
            "\\documentclass[12pt]{article} \n"
            "\\begin{document} \n"
            "\\bibliography{} \n"
            "\\bibliographystyle{plain} \n"
            "\\end{document} \n");
}

TEST(Latex, BibliographyNameCutsAtTheLastDot) {
  EXPECT_EQ(bibliography_name("/home/u/refs.bib"), "/home/u/refs");
  EXPECT_EQ(bibliography_name("/home/u/refs.old.bib"), "/home/u/refs.old");
  EXPECT_EQ(bibliography_name("/home/u.v/refs"), "/home/u");
  EXPECT_EQ(bibliography_name("refs"), "refs");
  EXPECT_EQ(bibliography_name(""), "");
  const std::string long_path = "/" + std::string(400, 'd') + "/refs.bib";
  EXPECT_EQ(bibliography_name(long_path), long_path.substr(0, long_path.size() - 4));
}

TEST(Latex, WritesAndReplacesWithoutAsking) {
  testing::TempDir dir;
  const std::string path = dir.file("out.tex");
  testing::write_file(path, "old");
  std::ostringstream messages;
  EXPECT_EQ(write_latex(path, {{"18446744073709551615"}}, "b", messages), WriteResult::kDone);
  EXPECT_EQ(testing::read_file(path), latex_document({{"18446744073709551615"}}, "b"));
  EXPECT_EQ(messages.str(), "");
}

TEST(Latex, UnopenableFileIsReported) {
  std::ostringstream messages;
  EXPECT_EQ(write_latex("/nonexistent/dir/out.tex", {{"1"}}, "b", messages), WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot open LaTeX file for output! \n");
}

}  // namespace
}  // namespace refloom
