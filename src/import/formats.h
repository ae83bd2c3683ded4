#pragma once

// The formats File > Load and refloom-convert read, declared once: the
// Load dialog's list, load_file, refloom-convert's -f names and usage, the
// tests' format lists and the fuzz targets all come from this table. A new
// format is a reader, its data pairs and one row in formats.cpp.

#include <cstdio>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "core/format_hints.h"
#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// A format by its 1-based position in the Load dialog's list, which is the
// Load dialog's user data and the row's place in the table.
enum class FileType : int {
  kBibtex = 1,
  kMedlineOvid = 2,
  kMedlineSpirs = 3,
  kMedlinePubmed = 4,
  kInspec = 5,
  kBibtexAny = 6,
  kNbib = 7,
  kRis = 8,
};

// Every reader has this shape: it appends the file's references to the
// database (numbered by their position or by their keys, as its format
// says), reports on `messages` (a file that cannot be opened as
// "Cannot open file: <path>\n", leaving the database unchanged) and notes
// in `hints` what it can tell about the format.
using FormatReader = ReadResult (*)(ReferenceDatabase& database, const std::string& path, std::ostream& messages,
                                    FormatHints& hints);
// The same from an open stream read to its end, for tests and fuzzers.
using FormatStreamReader = void (*)(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages);

struct Format {
  FileType type;
  std::string_view label;        // in the Load dialog's list
  std::string_view name;         // refloom-convert -f NAME
  std::string_view description;  // for the usage texts
  FormatReader read;
  FormatStreamReader read_stream;
  std::string_view fuzzer;  // its fuzz target, fuzz/<fuzzer>_fuzzer.cpp
};

// Every format, in the order of the Load dialog's list.
std::span<const Format> formats();
// The format at a position of the list, if there is one.
const Format* format_of(FileType type);
// A format by its -f name, if there is one.
const Format* format_named(std::string_view name);

// Shortcuts over the table, for the window and messages.
std::string_view file_type_label(FileType file_type);
std::string_view file_type_name(FileType file_type);
std::optional<FileType> file_type_from_name(std::string_view name);

}  // namespace refloom
