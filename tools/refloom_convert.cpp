// refloom-convert: loads BibTeX files and literature-database exports the
// way File > Load does and writes the database as BibTeX, for scripts.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/bibtex_writer.h"
#include "core/latex.h"
#include "core/message_stream.h"
#include "import/load.h"
#include "session/session.h"

namespace {

// The formats' lines come from the format table.
std::string usage() {
  std::string text =
      "usage: refloom-convert [-q] [-f FORMAT] [-o OUTPUT.bib] [-l OUTPUT.tex] [-s TEXT] [-c] INPUT...\n"
      "  INPUT          a file to read, or - for standard input\n"
      "  -f FORMAT      format of the inputs that follow (bibtex by default):\n";
  for (const refloom::Format& format : refloom::formats()) {
    std::string name(format.name);
    name.resize(std::max<std::size_t>(name.size() + 1, 13), ' ');
    text.append("                   ").append(name).append(format.description).append("\n");
  }
  text +=
      "  -o OUTPUT.bib  write the database there instead of to standard output\n"
      "                 (- is standard output)\n"
      "  -l OUTPUT.tex  also write a LaTeX document citing every reference,\n"
      "                 naming OUTPUT.bib (without its extension) as bibliography\n"
      "  -s TEXT        keep only the references with TEXT in some field\n"
      "  -c             make -s case sensitive (it folds a-z to A-Z otherwise)\n"
      "  -q             quiet: no messages about the inputs' content (an input\n"
      "                 that cannot be opened or read is still reported)\n"
      "  --help         show this text\n"
      "  --version      show the version\n";
  return text;
}

// Standard input and output by name, so that the program fits in a pipe.
constexpr std::string_view kStandardStream = "-";
// Every reader takes a path; this one reads the standard input whatever
// the format.
constexpr const char* kStandardInputPath = "/dev/stdin";

struct Input {
  std::string path;
  refloom::FileType file_type;
};

struct Options {
  std::vector<Input> inputs;
  std::optional<std::string> output;
  std::optional<std::string> latex;
  std::optional<std::string> search;
  bool case_sensitive = false;
  bool quiet = false;
};

int usage_error(const std::string& reason) {
  std::cerr << "refloom-convert: " << reason << "\n" << usage();
  return 2;
}

// Parses the command line; returns an exit status when the run ends here.
std::optional<int> parse(int argc, char** argv, Options& options) {
  refloom::FileType file_type = refloom::FileType::kBibtex;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
      options.inputs.push_back({arg == kStandardStream ? kStandardInputPath : std::string(arg), file_type});
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << usage();
      return 0;
    } else if (arg == "--version") {
      std::cout << "refloom-convert " REFLOOM_VERSION "\n";
      return 0;
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "-c") {
      options.case_sensitive = true;
    } else if (arg == "-f" || arg == "-o" || arg == "-l" || arg == "-s") {
      if (i + 1 >= argc) return usage_error("option " + std::string(arg) + " needs a value");
      const std::string value = argv[++i];
      if (arg == "-f") {
        const auto type = refloom::file_type_from_name(value);
        if (!type) return usage_error("unknown format: " + value);
        file_type = *type;
      } else if (arg == "-o") {
        if (value == kStandardStream) {
          options.output.reset();
        } else {
          options.output = value;
        }
      } else if (arg == "-s") {
        options.search = value;
      } else {
        options.latex = value;
      }
    } else {
      return usage_error("unknown option: " + std::string(arg));
    }
  }
  if (options.inputs.empty()) return usage_error("no input file");
  return std::nullopt;
}

}  // namespace

int run(const Options& options);

int main(int argc, char** argv) {
  Options options;
  if (const auto status = parse(argc, argv, options)) return *status;
  // Every step catches running out of memory where it can undo its work;
  // anything else that runs out ends the program with one line, never with
  // an uncaught exception.
  try {
    return run(options);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::fflush(stdout);
  std::fputs("refloom-convert: not enough memory\n", stderr);
  return 1;
}

int run(const Options& options) {
  // The readers' messages go out in whole lines, flushed after each step,
  // not a few bytes at a time through the unbuffered standard error.
  refloom::MessageStream messages(stderr);
  // The same commands as the window's, one session: each load lists every
  // reference.
  int status = 0;
  refloom::Session session;
  std::ostream discarded(nullptr);  // no buffer: whatever is written goes nowhere
  for (const Input& input : options.inputs) {
    const refloom::Outcome result =
        session.load(input.path, input.file_type, options.quiet ? discarded : messages).result;
    if (result != refloom::Outcome::kDone) {
      // Quiet drops what the readers say about the content, not a file that failed.
      if (options.quiet) {
        if (result == refloom::Outcome::kOutOfMemory) {
          messages << "Not enough memory to load " << input.path << " \n";
        } else {
          messages << (result == refloom::Outcome::kCannotOpen ? "Cannot open file: " : "Cannot read file: ")
                   << input.path << "\n";
        }
      }
      status = 1;
    }
    messages.flush();
  }
  session.view_all();

  if (options.search) {
    // As "Search in all fields" with AND over the whole database, then
    // "Reduce to listed references".
    session.search_all_fields(refloom::SearchMode::kAnd, *options.search, !options.case_sensitive);
    session.reduce();
  }

  if (options.output) {
    if (session.save(*options.output, messages).result != refloom::Outcome::kDone) status = 1;
  } else if (!refloom::write_bibtex(session.database(), stdout, messages) || std::fflush(stdout) != 0) {
    // (Running out of memory here leaves what was written so far on the
    // standard output; main reports it.)
    messages << "refloom-convert: cannot write to standard output\n";
    status = 1;
  }
  messages.flush();

  if (options.latex) {
    // Cites the listed references, which are all of them after a reduce.
    const std::string bibliography = refloom::bibliography_name(options.output.value_or(""));
    if (refloom::write_latex(*options.latex, session.listed_citations(), bibliography, messages) !=
        refloom::WriteResult::kDone) {
      status = 1;
    }
  }
  messages.flush();
  return status;
}
