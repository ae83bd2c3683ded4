#include "import/formats.h"

#include <array>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "import/importers.h"

namespace refloom {

namespace {

// Every imported record is an article unless its format names its type:
// the old exports' source lines name a journal.
constexpr std::string_view kImportedEntryType = "article";

using PathImporter = ReadResult (*)(ReferenceDatabase&, const std::string&, std::string_view, std::ostream&);
using StreamImporter = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

// The importers in the readers' shape: articles by default, nothing to
// hint about the format.
template <PathImporter import>
ReadResult imported(ReferenceDatabase& database, const std::string& path, std::ostream& messages, FormatHints&) {
  return import(database, path, kImportedEntryType, messages);
}
template <StreamImporter import>
void imported_stream(ReferenceDatabase& database, std::FILE* stream, std::ostream&) {
  import(database, stream, kImportedEntryType, RecordStorage::kBuffered);
}

ReadResult bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages, FormatHints&) {
  return read_bibtex_any(database, path, messages);
}
void bibtex_stream(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  read_bibtex(database, stream, messages);
}
void bibtex_any_stream(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  read_bibtex_any(database, stream, messages);
}

// Row order is the Load dialog's order: a row's place is its FileType.
constexpr std::array kFormats = {
    Format{.type = FileType::kBibtex,
           .label = "BibTeX",
           .name = "bibtex",
           .description = "BibTeX as Refloom writes it (numeric keys, the 28 fields)",
           .read = read_bibtex,
           .read_stream = bibtex_stream,
           .fuzzer = "read_bibtex"},
    Format{.type = FileType::kMedlineOvid,
           .label = "Medline Ovid",
           .name = "ovid",
           .description = "Medline export in Ovid's tagged format",
           .read = imported<import_medline_ovid>,
           .read_stream = imported_stream<import_medline_ovid>,
           .fuzzer = "import_medline_ovid"},
    Format{.type = FileType::kMedlineSpirs,
           .label = "Medline Spirs",
           .name = "spirs",
           .description = "Medline export in the SPIRS format",
           .read = imported<import_medline_spirs>,
           .read_stream = imported_stream<import_medline_spirs>,
           .fuzzer = "import_medline_spirs"},
    Format{.type = FileType::kMedlinePubmed,
           .label = "Medline PubMed",
           .name = "pubmed",
           .description = "Medline export in PubMed's old tagged format",
           .read = imported<import_medline_pubmed>,
           .read_stream = imported_stream<import_medline_pubmed>,
           .fuzzer = "import_medline_pubmed"},
    Format{.type = FileType::kInspec,
           .label = "Inspec",
           .name = "inspec",
           .description = "Inspec export",
           .read = imported<import_inspec>,
           .read_stream = imported_stream<import_inspec>,
           .fuzzer = "import_inspec"},
    Format{.type = FileType::kBibtexAny,
           .label = "BibTeX (any style)",
           .name = "bibtex-any",
           .description = "BibTeX in any style: macros, other fields, non-numeric keys",
           .read = bibtex_any,
           .read_stream = bibtex_any_stream,
           .fuzzer = "read_bibtex_any"},
    Format{.type = FileType::kNbib,
           .label = "PubMed / MEDLINE (.nbib)",
           .name = "nbib",
           .description = "PubMed's MEDLINE format (.nbib)",
           .read = imported<import_nbib>,
           .read_stream = imported_stream<import_nbib>,
           .fuzzer = "import_nbib"},
    Format{.type = FileType::kRis,
           .label = "RIS",
           .name = "ris",
           .description = "RIS (Zotero, Mendeley, EndNote, publishers' sites)",
           .read = imported<import_ris>,
           .read_stream = imported_stream<import_ris>,
           .fuzzer = "import_ris"},
};

constexpr bool rows_in_list_order() {
  for (std::size_t i = 0; i < kFormats.size(); ++i) {
    if (static_cast<std::size_t>(kFormats[i].type) != i + 1) return false;
  }
  return true;
}
static_assert(rows_in_list_order(), "a format's FileType is its row's place in the Load dialog's list");

}  // namespace

std::span<const Format> formats() { return kFormats; }

const Format* format_of(FileType type) {
  const auto position = static_cast<std::size_t>(type);
  if (position < 1 || position > kFormats.size()) return nullptr;
  return &kFormats[position - 1];
}

const Format* format_named(std::string_view name) {
  for (const Format& format : kFormats) {
    if (format.name == name) return &format;
  }
  return nullptr;
}

std::string_view file_type_label(FileType file_type) {
  const Format* format = format_of(file_type);
  return format ? format->label : std::string_view();
}

std::string_view file_type_name(FileType file_type) {
  const Format* format = format_of(file_type);
  return format ? format->name : std::string_view();
}

std::optional<FileType> file_type_from_name(std::string_view name) {
  const Format* format = format_named(name);
  if (!format) return std::nullopt;
  return format->type;
}

}  // namespace refloom
