#include "import/load.h"

#include <sys/stat.h>

#include <array>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "core/numbering.h"
#include "import/importers.h"

namespace refloom {

namespace {

struct FormatInfo {
  FileType file_type;
  std::string_view label;
  std::string_view name;
};

constexpr std::array<FormatInfo, 8> kFormats = {{
    {kBibtexFile, "BibTeX", "bibtex"},
    {kMedlineOvidFile, "Medline Ovid", "ovid"},
    {kMedlineSpirsFile, "Medline Spirs", "spirs"},
    {kMedlinePubmedFile, "Medline PubMed", "pubmed"},
    {kInspecFile, "Inspec", "inspec"},
    {kBibtexAnyFile, "BibTeX (any style)", "bibtex-any"},
    {kNbibFile, "PubMed / MEDLINE (.nbib)", "nbib"},
    {kRisFile, "RIS", "ris"},
}};

// Every imported record is an article: its source line names a journal.
constexpr std::string_view kImportedEntryType = "article";

int read_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages,
              bool& todays_bibtex) {
  switch (file_type) {
    case kBibtexFile:
      return read_bibtex(database, path, messages, todays_bibtex);
    case kMedlineOvidFile:
      return import_medline_ovid(database, path, kImportedEntryType, messages);
    case kMedlineSpirsFile:
      return import_medline_spirs(database, path, kImportedEntryType, messages);
    case kMedlinePubmedFile:
      return import_medline_pubmed(database, path, kImportedEntryType, messages);
    case kInspecFile:
      return import_inspec(database, path, kImportedEntryType, messages);
    case kBibtexAnyFile:
      return read_bibtex_any(database, path, messages);
    case kNbibFile:
      return import_nbib(database, path, kImportedEntryType, messages);
    case kRisFile:
      return import_ris(database, path, kImportedEntryType, messages);
    default:
      return 0;
  }
}

bool has_content(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

}  // namespace

std::string_view file_type_label(FileType file_type) {
  for (const FormatInfo& format : kFormats) {
    if (format.file_type == file_type) return format.label;
  }
  return {};
}

std::string_view file_type_name(FileType file_type) {
  for (const FormatInfo& format : kFormats) {
    if (format.file_type == file_type) return format.name;
  }
  return {};
}

std::vector<FileType> file_types() {
  std::vector<FileType> types;
  for (const FormatInfo& format : kFormats) types.push_back(format.file_type);
  return types;
}

std::optional<FileType> file_type_from_name(std::string_view name) {
  for (const FormatInfo& format : kFormats) {
    if (format.name == name) return format.file_type;
  }
  return std::nullopt;
}

int load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages) {
  FormatHints hints;
  return load_file(database, path, file_type, messages, hints);
}

int load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages,
              FormatHints& hints) {
  hints = FormatHints();
  const std::size_t before = database.ref_count();
  const int result = read_file(database, path, file_type, messages, hints.todays_bibtex);
  if (before > 0 && database.ref_count() > before) renumber_loaded(database, before);
  make_loaded_keys_unique(database, before, messages);
  // A read error is said already; the format is not to blame then.
  hints.no_reference = result == 0 && database.ref_count() == before && has_content(path);
  return result;
}

}  // namespace refloom
