#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_hints.h"
#include "core/reference_database.h"

namespace refloom {

// The formats of the Load dialog, by their 1-based position in its list.
enum FileType : int {
  kBibtexFile = 1,
  kMedlineOvidFile = 2,
  kMedlineSpirsFile = 3,
  kMedlinePubmedFile = 4,
  kInspecFile = 5,
  kBibtexAnyFile = 6,
  kNbibFile = 7,
  kRisFile = 8,
};

// The label of a format in the Load dialog ("BibTeX", "Medline Ovid", ...).
std::string_view file_type_label(FileType file_type);

// Every format, in the order of the Load dialog's list.
std::vector<FileType> file_types();

// The short command-line name of a format (bibtex, ovid, ...).
std::string_view file_type_name(FileType file_type);

// A format by its short command-line name (bibtex, ovid, spirs, pubmed,
// inspec, bibtex-any, nbib, ris), if it is one that can be read.
std::optional<FileType> file_type_from_name(std::string_view name);

// Adds the references of one file to the database, as File > Load does:
// the reader of the format appends them (reporting on `messages`), and when
// the database held references before, every reference read in gets a new
// RefId, numbered against all those before it. Returns the reader's result
// (-1 when the file cannot be opened, 1 when a read error cut it short);
// unknown formats read nothing.
int load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages);
// The same, also telling what the load noticed about the format: BibTeX in
// today's style read with the "BibTeX" format, or a file with content that
// gave no reference (only when it was read to its end).
int load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages,
              FormatHints& hints);

}  // namespace refloom
