#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"

namespace refloom {

// The bibliography a document names: the path of the current BibTeX file
// without its last dot and everything after it (whole when it has none).
std::string bibliography_name(std::string_view current_file);

// A LaTeX document that cites each RefId in order (\nocite) and names the
// bibliography, so that LaTeX and BibTeX print those references.
std::string latex_document(const std::vector<RefId>& cited, std::string_view bibliography);

// Writes the document to `path`. Returns 0, or -1 after reporting
// "Cannot open LaTeX file for output! \n" (cannot be opened) or
// "Cannot write LaTeX file! \n" (writing or closing failed) on `messages`.
int write_latex(const std::string& path, const std::vector<RefId>& cited, std::string_view bibliography,
                std::ostream& messages);

}  // namespace refloom
