#include "core/latex.h"

#include "core/bibtex_writer.h"
#include "core/file_io.h"

namespace refloom {

std::string bibliography_name(std::string_view current_file) {
  return std::string(current_file.substr(0, current_file.rfind('.')));
}

namespace {

bool holds_url(const Reference& reference) {
  constexpr std::string_view kUrl = "\\url";
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const auto text = reference.text(slot);
    if (text && text->find(kUrl) != std::string_view::npos) return true;
  }
  bool found = false;
  reference.extras().for_each_other_field([&](std::string_view, std::string_view text, std::string_view) {
    found = found || text.find(kUrl) != std::string_view::npos;
  });
  return found;
}

}  // namespace

Citations citations(const ReferenceDatabase& database, const std::vector<std::size_t>& indices) {
  Citations cited;
  const WrittenKeys keys(database);
  cited.keys.reserve(indices.size());
  for (std::size_t index : indices) {
    cited.keys.push_back(keys.key(index));
    cited.uses_url = cited.uses_url || holds_url(database.reference(index));
  }
  return cited;
}

std::string latex_document(const Citations& cited, std::string_view bibliography) {
  std::string document = "\\documentclass[12pt]{article} \n";
  if (cited.uses_url) document.append("\\usepackage{url} \n");
  document.append("\\begin{document} \n");
  for (const std::string& key : cited.keys) document.append("\\nocite{").append(key).append("} \n");
  document.append("\\bibliography{").append(bibliography).append("} \n");
  document.append("\\bibliographystyle{plain} \n\\end{document} \n");
  return document;
}

WriteResult write_latex(const std::string& path, const Citations& cited, std::string_view bibliography,
                        std::ostream& messages) {
  auto file = SafeOutputFile::open(path);
  if (!file) {
    messages << "Cannot open LaTeX file for output! \n";
    return WriteResult::kFailed;
  }
  const std::string document = latex_document(cited, bibliography);
  const bool written = std::fwrite(document.data(), 1, document.size(), file->stream()) == document.size();
  if (!(written && file->commit())) {
    messages << "Cannot write LaTeX file! \n";
    return WriteResult::kFailed;
  }
  return WriteResult::kDone;
}

}  // namespace refloom
