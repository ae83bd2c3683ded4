// A command that runs out of memory changes nothing and says so: every
// allocation a load, a save, an add and an edit make is made to fail in
// turn (as a large one fails while small ones still succeed), and after
// each the database, the listed references, the current file and the file
// on disk must be as before.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>
#include <string>

#include "session/session.h"
#include "support/temp_dir.h"

namespace {

// -1: allocations succeed. n >= 0: n more succeed, then one fails.
std::atomic<long> allocations_left{-1};

}  // namespace

// The replacement pair allocates with malloc and frees with free, which GCC
// takes for a mismatch when it sees both.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  long left = allocations_left.load();
  while (left >= 0 && !allocations_left.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 0) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }

// The numeric library's work stack is asked for without exceptions, and its
// failure is the one fatal exit the program keeps: it is not made to fail.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace refloom {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

// The allocation numbered `n` (from 0) fails while it lives.
class FailingFrom {
 public:
  explicit FailingFrom(long n) { allocations_left = n; }
  ~FailingFrom() { allocations_left = -1; }
};

const char* const kFirst =
    "@string{j = {Journal}}\n@article{a1, title = {First}, journal = j, doi = {10.1/a}}\n@misc{7, note = {n}}\n";
const char* const kSecond =
    "@preamble{\"\\newcommand{\\x}{x}\"}\n@string{k = \"Other\"}\n"
    "@article{A1, title = {Second}, journal = k # { and } # j, month = nov, url = {http://x.org}}\n"
    "@book{b2, title = {Third}, location = {Paris}, crossref = {A1}}\n";

struct Snapshot {
  std::vector<Reference> references;
  std::vector<BibtexBlock> blocks;
  std::vector<std::size_t> listed;
  std::string current_file;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot snapshot(const Session& session) {
  return {session.database().references(), session.database().blocks(), session.listed_references().indices(),
          session.CurrentFileName()};
}

class OutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("first.bib"), kFirst);
    write_file(dir_.file("second.bib"), kSecond);
    std::ostringstream messages;
    ASSERT_EQ(session_.load(dir_.file("first.bib"), FileType::kBibtexAny, messages).result, Outcome::kDone);
    session_.list({1});
  }

  TempDir dir_;
  Session session_;
};

TEST_F(OutOfMemory, ALoadThatRunsOutChangesNothing) {
  const Snapshot before = snapshot(session_);
  const std::string path = dir_.file("second.bib");
  // What the load gives when memory suffices.
  Session plain;
  std::ostringstream plain_messages;
  ASSERT_EQ(plain.load(dir_.file("first.bib"), FileType::kBibtexAny, plain_messages).result, Outcome::kDone);
  plain.list({1});
  ASSERT_EQ(plain.load(path, FileType::kBibtexAny, plain_messages).result, Outcome::kDone);
  long failures = 0;
  for (long n = 0;; ++n) {
    std::ostringstream messages;
    Shown shown;
    {
      FailingFrom failing(n);
      shown = session_.load(path, FileType::kBibtexAny, messages);
    }
    if (shown.result != Outcome::kOutOfMemory) {
      // Past the load's last allocation: no failure was swallowed on the way.
      EXPECT_EQ(shown.result, Outcome::kDone);
      EXPECT_TRUE(snapshot(session_) == snapshot(plain));
      break;
    }
    ++failures;
    ASSERT_TRUE(snapshot(session_) == before) << "after failing from allocation " << n;
    EXPECT_EQ(messages.str(), "Not enough memory to load " + path + " \n") << n;
  }
  EXPECT_GT(failures, 30);  // every step of the load was tried
}

TEST_F(OutOfMemory, ASaveThatRunsOutLeavesTheOldFile) {
  const std::string path = dir_.file("out.bib");
  write_file(path, "old content\n");
  const Snapshot before = snapshot(session_);
  long failures = 0;
  for (long n = 0;; ++n) {
    std::ostringstream messages;
    Shown shown;
    {
      FailingFrom failing(n);
      shown = session_.save(path, messages);
    }
    if (shown.result != Outcome::kOutOfMemory) {
      EXPECT_EQ(shown.result, Outcome::kDone);
      EXPECT_NE(read_file(path), "old content\n");
      break;
    }
    ++failures;
    ASSERT_EQ(read_file(path), "old content\n") << n;
    ASSERT_TRUE(snapshot(session_) == before) << n;
    EXPECT_EQ(messages.str(), "Not enough memory to save " + path + " \n") << n;
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), std::filesystem::directory_iterator()), 3)
        << n;
  }
  EXPECT_GT(failures, 5);
}

TEST_F(OutOfMemory, AnAddOrAnEditThatRunsOutStoresNothing) {
  // Types every text of a buffer again, as the form would.
  const auto type_again = [this](const EditBuffer& buffer) {
    for (int slot = 1; slot < kEditTextCount; ++slot) session_.set_edit_text(slot, buffer.text(slot));
  };
  session_.start_add();
  session_.set_edit_text(kTitle, "Added");
  session_.set_edit_text(kCitationKeyText, "added2024");
  session_.set_edit_text(kOtherFieldsText, "doi = {10.1/added}");
  const EditBuffer typed = session_.database().edit_buffer();
  Snapshot before = snapshot(session_);
  for (long n = 0;; ++n) {
    type_again(typed);
    std::ostringstream messages;
    Shown shown;
    {
      FailingFrom failing(n);
      shown = session_.add_from_edit_buffer(messages);
    }
    if (session_.database().ref_count() == before.references.size() + 1) break;
    ASSERT_TRUE(snapshot(session_) == before) << n;
    EXPECT_EQ(messages.str(), "Not enough memory to add the reference \n") << n;
  }
  EXPECT_EQ(session_.database().references().back().citation_key(), "added2024");

  ASSERT_TRUE(session_.start_edit(1));
  session_.set_edit_text(kTitle, "Edited");
  session_.set_edit_text(kOtherFieldsText, "doi = {10.1/edited}");
  const EditBuffer edited = session_.database().edit_buffer();
  before = snapshot(session_);
  for (long n = 0;; ++n) {
    ASSERT_TRUE(session_.start_edit(1));
    type_again(edited);
    std::ostringstream messages;
    {
      FailingFrom failing(n);
      session_.store_edit(messages);
    }
    if (session_.database().reference(1).text(kTitle) == "Edited") break;
    ASSERT_TRUE(snapshot(session_) == before) << n;
    EXPECT_EQ(messages.str(), "Not enough memory to store the reference \n") << n;
  }
}

}  // namespace
}  // namespace refloom
