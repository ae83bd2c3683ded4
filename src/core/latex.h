#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// The bibliography a document names: the path of the current BibTeX file
// without its last dot and everything after it (whole when it has none).
std::string bibliography_name(std::string_view current_file);

// What a document cites: the keys a save writes for the references, in
// their order, and whether any of them holds \url, which needs the url
// package.
struct Citations {
  std::vector<std::string> keys;
  bool uses_url = false;
};
Citations citations(const ReferenceDatabase& database, const std::vector<std::size_t>& indices);

// A LaTeX document that cites each key in order (\nocite) and names the
// bibliography, so that LaTeX and BibTeX print those references; with the
// url package loaded when a cited reference holds \url.
std::string latex_document(const Citations& cited, std::string_view bibliography);

// Writes the document to `path`. Fails after reporting "Cannot open LaTeX
// file for output! \n" (cannot be opened) or "Cannot write LaTeX file! \n"
// (writing or closing failed) on `messages`.
WriteResult write_latex(const std::string& path, const Citations& cited, std::string_view bibliography,
                        std::ostream& messages);

}  // namespace refloom
