#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// The importers of literature-database exports. Each reads the export file
// line by line and appends one reference per record, with its position in
// the database as RefId and `entry_type` as entry type. Lines before the
// first record and lines of no known kind are passed over silently, and
// lines of any length are read whole.
// Done once the file was opened, whatever it held; cut short by a read
// error (reported, as file_io.h says); or it cannot be opened, after
// "Cannot open file: <path>\n" on `messages` (the database is then
// unchanged).
ReadResult import_medline_ovid(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                               std::ostream& messages);
ReadResult import_medline_spirs(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                                std::ostream& messages);
ReadResult import_medline_pubmed(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                                 std::ostream& messages);
ReadResult import_inspec(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                         std::ostream& messages);
// Today's exports: PubMed's MEDLINE format (.nbib), whose records are
// `entry_type` unless their publication type names a book or a chapter,
// and RIS, whose records carry their own type (`entry_type` is not used).
// Their text is plain UTF-8 and is escaped for TeX.
ReadResult import_nbib(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                       std::ostream& messages);
ReadResult import_ris(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                      std::ostream& messages);

// How a record reaches the database: kept aside and stored once when it is
// complete (fast), or through the database setters line by line (the slow
// path the fast one must match; for tests).
enum class RecordStorage { kBuffered, kThroughSetters };

// The same from an open stream, read to its end.
void import_medline_ovid(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                         RecordStorage storage = RecordStorage::kBuffered);
void import_medline_spirs(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                          RecordStorage storage = RecordStorage::kBuffered);
void import_medline_pubmed(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                           RecordStorage storage = RecordStorage::kBuffered);
void import_inspec(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                   RecordStorage storage = RecordStorage::kBuffered);
// These two always keep the record aside; `storage` is not used.
void import_nbib(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                 RecordStorage storage = RecordStorage::kBuffered);
void import_ris(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type,
                RecordStorage storage = RecordStorage::kBuffered);

}  // namespace refloom
