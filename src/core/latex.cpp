#include "core/latex.h"

#include <charconv>

#include "core/file_io.h"

namespace refloom {

std::string bibliography_name(std::string_view current_file) {
  return std::string(current_file.substr(0, current_file.rfind('.')));
}

std::string latex_document(const std::vector<RefId>& cited, std::string_view bibliography) {
  std::string document = "\\documentclass[12pt]{article} \n\\begin{document} \n";
  document.reserve(document.size() + cited.size() * 20 + bibliography.size() + 80);
  char digits[24];
  for (RefId id : cited) {
    const auto result = std::to_chars(digits, digits + sizeof digits, id);
    document.append("\\nocite{").append(digits, result.ptr).append("} \n");
  }
  document.append("\\bibliography{").append(bibliography).append("} \n");
  document.append("\\bibliographystyle{plain} \n\\end{document} \n");
  return document;
}

int write_latex(const std::string& path, const std::vector<RefId>& cited, std::string_view bibliography,
                std::ostream& messages) {
  auto file = SafeOutputFile::open(path);
  if (!file) {
    messages << "Cannot open LaTeX file for output! \n";
    return -1;
  }
  const std::string document = latex_document(cited, bibliography);
  const bool written = std::fwrite(document.data(), 1, document.size(), file->stream()) == document.size();
  if (!(written && file->commit())) {
    messages << "Cannot write LaTeX file! \n";
    return -1;
  }
  return 0;
}

}  // namespace refloom
