// What every reader shares: a read error in the middle of a file is
// reported once and keeps what was read, and NUL bytes are dropped.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "core/file_io.h"
#include "core/search.h"
#include "import/importers.h"
#include "import/load.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::TempDir;
using testing::write_file;

const std::string kConvert = REFLOOM_CONVERT_PATH;

// A complete record titled `title`, in each format of the format table.
const std::map<std::string_view, std::function<std::string(const std::string&)>>& sample_records() {
  static const std::map<std::string_view, std::function<std::string(const std::string&)>> all = {
      {"bibtex", [](const std::string& title) { return "@article{1,\n  title = {" + title + "},\n}\n"; }},
      {"ovid", [](const std::string& title) { return "1\nTI  - " + title + "\n"; }},
      {"spirs", [](const std::string& title) { return "Rec 1\nTI:    " + title + "\n"; }},
      {"pubmed", [](const std::string& title) { return "UI  - 1\nTI  - " + title + "\n"; }},
      {"inspec", [](const std::string& title) { return "AN   S\nTI   " + title + "\n"; }},
      {"bibtex-any", [](const std::string& title) { return "@article{1,\n  title = {" + title + "},\n}\n"; }},
      {"nbib", [](const std::string& title) { return "PMID- 1\nTI  - " + title + "\n\n"; }},
      {"ris", [](const std::string& title) { return "TY  - JOUR\nTI  - " + title + "\nER  - \n"; }},
  };
  return all;
}

struct Reader {
  std::string name;
  FileType file_type;
  // Reads an open stream.
  FormatStreamReader from_stream;
  // A complete record titled `title`.
  std::function<std::string(const std::string&)> record;
};

// Every format of the table: a new format is tested here once it has a
// sample record (the test below asks for one).
const std::vector<Reader>& readers() {
  static const std::vector<Reader> all = [] {
    std::vector<Reader> list;
    for (const Format& format : formats()) {
      const auto sample = sample_records().find(format.name);
      if (sample == sample_records().end()) continue;
      list.push_back({std::string(format.name), format.type, format.read_stream, sample->second});
    }
    return list;
  }();
  return all;
}

TEST(Reading, EveryFormatHasASampleRecord) {
  for (const Format& format : formats()) {
    EXPECT_TRUE(sample_records().contains(format.name)) << format.name << " has no sample record in this test";
  }
}

std::string title_of(const ReferenceDatabase& db, std::size_t index) {
  const auto title = db.reference(index).text(kTitle);
  return title ? std::string(*title) : "<absent>";
}

// A descriptor that reads `content` and then fails with EIO, as a disk with
// a bad sector would: the process's own memory read through /proc/self/mem,
// where `content` ends right before a page that cannot be read (a shared
// mapping of an empty file).
class FailingInput {
 public:
  explicit FailingInput(const std::string& content) {
    const long page = sysconf(_SC_PAGESIZE);
    size_ = static_cast<std::size_t>(page) * 2;
    auto* base = static_cast<char*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base == MAP_FAILED) return;
    base_ = base;
    const int empty = memfd_create("refloom-empty", 0);
    if (empty < 0 ||
        mmap(base + page, static_cast<std::size_t>(page), PROT_READ, MAP_SHARED | MAP_FIXED, empty, 0) == MAP_FAILED) {
      if (empty >= 0) close(empty);
      return;
    }
    close(empty);
    if (content.size() > static_cast<std::size_t>(page)) return;
    char* start = base + page - static_cast<long>(content.size());
    std::memcpy(start, content.data(), content.size());
    fd_ = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && lseek(fd_, static_cast<off_t>(reinterpret_cast<std::uintptr_t>(start)), SEEK_SET) < 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~FailingInput() {
    if (fd_ >= 0) close(fd_);
    if (base_ != nullptr) munmap(base_, size_);
  }
  FailingInput(const FailingInput&) = delete;
  FailingInput& operator=(const FailingInput&) = delete;

  // Hands the descriptor over (the stream closes it).
  int release() { return std::exchange(fd_, -1); }

 private:
  char* base_ = nullptr;
  std::size_t size_ = 0;
  int fd_ = -1;
};

TEST(Reading, ReadErrorInTheMiddleIsReportedOnceAndKeepsWhatWasRead) {
  for (const Reader& reader : readers()) {
    SCOPED_TRACE(reader.name);
    // The second record is cut off by the error in the middle of its title.
    const std::string content = reader.record("Before the error") + reader.record("Cut off here and the rest lost");
    FailingInput input(content.substr(0, content.size() - 15));
    const int fd = input.release();
    ASSERT_GE(fd, 0) << "cannot set up a failing input";
    std::ostringstream messages;
    ReferenceDatabase db;
    {
      FilePtr stream = reading_stream(fd, "bad-sector.txt", messages);
      ASSERT_NE(stream, nullptr);
      reader.from_stream(db, stream.get(), messages);
      EXPECT_TRUE(read_failed(stream.get()));
      EXPECT_EQ(reading_result(stream.get()), ReadResult::kCutShort);
    }
    // Reported once, after whatever the reader said about the cut-off end
    // (only BibTeX in any style says something: a value not terminated).
    const std::string report = "Cannot read file: bad-sector.txt\n";
    EXPECT_TRUE(messages.str().ends_with(report)) << messages.str();
    EXPECT_EQ(messages.str().find(report), messages.str().size() - report.size());
    if (reader.name != "bibtex-any") {
      EXPECT_EQ(messages.str(), report);
    }
    ASSERT_GE(db.ref_count(), 1U);
    EXPECT_EQ(title_of(db, 0), "Before the error");
  }
}

TEST(Reading, ReadErrorAtTheStartGivesResultOneThroughEveryPath) {
  // Reading this process's memory from address 0 fails at once with EIO.
  for (const Reader& reader : readers()) {
    SCOPED_TRACE(reader.name);
    std::ostringstream messages;
    ReferenceDatabase db;
    EXPECT_EQ(load_file(db, "/proc/self/mem", reader.file_type, messages), ReadResult::kCutShort);
    EXPECT_EQ(messages.str(), "Cannot read file: /proc/self/mem\n");
    EXPECT_EQ(db.ref_count(), 0U);
  }
}

TEST(Reading, RefloomConvertExitsOneAfterAReadErrorAndWritesTheRest) {
  TempDir dir;
  const std::string good = dir.file("good.bib");
  write_file(good, "@misc{5,\n}\n");
  const auto result = testing::run_command(kConvert, {"/proc/self/mem", good});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot read file: /proc/self/mem\n");
  EXPECT_EQ(result.out, "@misc{5,\n}\n\n");
}

TEST(Reading, NulBytesAreDroppedAndReportedOncePerFile) {
  TempDir dir;
  for (const Reader& reader : readers()) {
    SCOPED_TRACE(reader.name);
    const std::string path = dir.file(reader.name + ".txt");
    std::string content = reader.record(std::string("Sen\0ti\0\0nel", 11)) + reader.record("Second");
    content.insert(0, std::string(70000, '\0'));  // a whole read of nothing but NUL
    // One character inserted, not a one-character string: GCC 12 at -O3
    // flags the string insertion as a possibly overlapping copy (-Wrestrict).
    content.insert(content.size() - 3, 1, '\0');
    write_file(path, content);
    std::ostringstream messages;
    ReferenceDatabase db;
    EXPECT_EQ(load_file(db, path, reader.file_type, messages), ReadResult::kDone);
    EXPECT_EQ(messages.str(), "NUL bytes dropped from file: " + path + "\n");
    ASSERT_EQ(db.ref_count(), 2U);
    EXPECT_EQ(title_of(db, 0), "Sentinel");
    EXPECT_EQ(title_of(db, 1), "Second");
    // What the list and the form show is what search finds and Save writes.
    EXPECT_TRUE(all_fields_match(db.reference(0), TextPattern("tinel", false)));
    EXPECT_FALSE(all_fields_match(db.reference(0), TextPattern(std::string("ti\0", 3), false)));
  }
}

TEST(Reading, Utf16KeepsItsNulBytesForTheReaderThatDecodesIt) {
  TempDir dir;
  const std::string text = "@article{1,\n  title = {Sentinel},\n}\n";
  std::string utf16le;
  for (char c : text) utf16le.append(1, c).append(1, '\0');
  for (const std::string& content : {utf16le, "\xFF\xFE" + utf16le}) {
    const std::string path = dir.file("utf16.bib");
    write_file(path, content);
    std::ostringstream messages;
    ReferenceDatabase db;
    EXPECT_EQ(load_file(db, path, FileType::kBibtexAny, messages), ReadResult::kDone);
    EXPECT_EQ(messages.str(), "");
    ASSERT_EQ(db.ref_count(), 1U);
    EXPECT_EQ(title_of(db, 0), "Sentinel");
  }
  // The readers of 8-bit text see the same file with its NUL bytes dropped.
  const std::string path = dir.file("utf16.bib");
  write_file(path, utf16le);
  std::ostringstream messages;
  ReferenceDatabase db;
  EXPECT_EQ(load_file(db, path, FileType::kBibtex, messages), ReadResult::kDone);
  EXPECT_EQ(messages.str(), "NUL bytes dropped from file: " + path + "\n");
  ASSERT_EQ(db.ref_count(), 1U);
  EXPECT_EQ(title_of(db, 0), "Sentinel");
}

TEST(Reading, FilesWithoutNulBytesSayNothing) {
  TempDir dir;
  for (const Reader& reader : readers()) {
    SCOPED_TRACE(reader.name);
    const std::string path = dir.file(reader.name + ".txt");
    write_file(path, reader.record("Plain"));
    std::ostringstream messages;
    ReferenceDatabase db;
    EXPECT_EQ(load_file(db, path, reader.file_type, messages), ReadResult::kDone);
    EXPECT_EQ(messages.str(), "");
    ASSERT_EQ(db.ref_count(), 1U);
    EXPECT_EQ(title_of(db, 0), "Plain");
  }
}

}  // namespace
}  // namespace refloom
