// The recovery copy without a display: where it lives, when it is written
// and removed, what it holds, who may read it, and two processes at once.

#include "session/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_writer.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// Sets an environment variable for one scope, and puts it back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

mode_t mode_of(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

// Every name in a directory but . and .., sorted.
std::vector<std::string> names_in(const std::string& directory) {
  std::vector<std::string> names;
  DIR* entries = opendir(directory.c_str());
  if (entries == nullptr) return names;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(entries);
  std::sort(names.begin(), names.end());
  return names;
}

std::string text_of(const Session& session) {
  std::ostringstream ignored;
  return bibtex_text(session.database(), ignored);
}

TEST(RecoveryDirectory, IsTheXdgStateHomeElseTheHomesLocalState) {
  {
    ScopedEnv state("XDG_STATE_HOME", "/data/state/");
    ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(recovery_directory(), "/data/state/refloom");
  }
  for (const char* unusable : {"relative/state", ""}) {
    ScopedEnv state("XDG_STATE_HOME", unusable);
    ScopedEnv home("HOME", "/home/ann/");
    EXPECT_EQ(recovery_directory(), "/home/ann/.local/state/refloom") << "XDG_STATE_HOME=" << unusable;
  }
  ScopedEnv state("XDG_STATE_HOME", nullptr);
  {
    ScopedEnv home("HOME", "/");
    EXPECT_EQ(recovery_directory(), "/.local/state/refloom");
  }
  ScopedEnv home("HOME", nullptr);
  // The password database knows the home then; it is an absolute path.
  const std::string fallback = recovery_directory();
  if (!fallback.empty()) {
    EXPECT_EQ(fallback.front(), '/');
    EXPECT_TRUE(fallback.ends_with("/.local/state/refloom")) << fallback;
  }
}

class RecoveryTest : public ::testing::Test {
 protected:
  RecoveryTest() : directory_(dir_.file("state/refloom")) {}

  void load(const std::string& bibtex) {
    const std::string path = dir_.file("in" + std::to_string(++files_) + ".bib");
    write_file(path, bibtex);
    ASSERT_EQ(session_.load(path, FileType::kBibtex, messages_).result, Outcome::kDone);
  }
  void add(const std::string& title) {
    session_.start_add();
    session_.set_edit_text(kTitle, title);
    session_.add_from_edit_buffer(messages_);
  }
  std::string own_copy(int number = 1) const {
    return directory_ + "/recovery-" + std::to_string(getpid()) + (number > 1 ? "-" + std::to_string(number) : "") +
           ".bib";
  }
  std::vector<std::string> left_paths() const {
    std::vector<std::string> paths;
    for (const LeftCopy& copy : left_copies(directory_)) paths.push_back(copy.path);
    return paths;
  }

  TempDir dir_;
  std::string directory_;
  Session session_;
  std::ostringstream messages_;
  int files_ = 0;
};

TEST_F(RecoveryTest, KeptWhileChangesAreUnsavedAndRemovedByASave) {
  RecoveryCopy copy(directory_);
  // Nothing changed: no file, not even the directory.
  EXPECT_FALSE(RecoveryCopy::wanted(session_));
  EXPECT_TRUE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(file_exists(directory_));

  load("@misc{7,\n  title = {Seven}\n}\n");
  EXPECT_TRUE(RecoveryCopy::wanted(session_));
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(copy.path(), own_copy());
  EXPECT_EQ(read_file(own_copy()), "@misc{7,\ntitle      = \"Seven\",\n}\n\n");
  EXPECT_TRUE(copy.up_to_date(session_));

  // Every change makes it behind; the next update catches up.
  add("Added");
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(read_file(own_copy()), text_of(session_));
  ASSERT_TRUE(session_.start_edit(1));
  session_.set_edit_text(kTitle, "Edited");
  session_.store_edit(messages_);
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_NE(read_file(own_copy()).find("Edited"), std::string::npos);

  // A failed save keeps it; a save of the whole database removes it.
  ASSERT_NE(session_.save(dir_.file("no/such/dir.bib"), messages_).result, Outcome::kDone);
  EXPECT_TRUE(copy.up_to_date(session_));
  ASSERT_EQ(session_.save(dir_.file("saved.bib"), messages_).result, Outcome::kDone);
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(file_exists(own_copy()));
  EXPECT_TRUE(copy.up_to_date(session_));

  // Deleting everything leaves nothing worth a copy.
  ASSERT_EQ(session_.delete_at(1).list, ListChange::kDeleteLine);
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_TRUE(file_exists(own_copy()));
  session_.delete_at(1);
  EXPECT_FALSE(RecoveryCopy::wanted(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(file_exists(own_copy()));
  EXPECT_EQ(messages_.str(), "Cannot open file: " + dir_.file("no/such/dir.bib") + "\n");
}

TEST_F(RecoveryTest, OnlyItsOwnerCanReadIt) {
  // A directory that exists already with wider rights is narrowed.
  ASSERT_EQ(mkdir(dir_.file("state").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(directory_.c_str(), 0755), 0);
  const mode_t old_mask = umask(0);
  RecoveryCopy copy(directory_);
  load("@misc{1,\n  title = {Private}\n}\n");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  add("Later");
  copy.update(session_, RecoveryCopy::When::kInBackground, messages_);
  copy.wait(messages_);
  umask(old_mask);
  EXPECT_EQ(mode_of(directory_), 0700U);
  EXPECT_EQ(mode_of(own_copy()), 0600U);
  EXPECT_EQ(mode_of(own_copy(1).substr(0, own_copy(1).size() - 4) + ".lock"), 0600U);
  EXPECT_EQ(read_file(own_copy()), text_of(session_));

  // Missing parents are made private as well.
  RecoveryCopy deeper(dir_.file("a/b/refloom"));
  deeper.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(mode_of(dir_.file("a")), 0700U);
  EXPECT_EQ(mode_of(dir_.file("a/b")), 0700U);
  EXPECT_EQ(mode_of(dir_.file("a/b/refloom")), 0700U);
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(RecoveryTest, ABackgroundWriteHoldsTheDatabaseAsItWasWhenItStarted) {
  std::string many;
  for (int i = 1; i <= 2000; ++i)
    many += "@misc{" + std::to_string(i) + ",\n  title = {Title " + std::to_string(i) + "}\n}\n";
  load(many);
  const std::string before = text_of(session_);
  RecoveryCopy copy(directory_);
  copy.update(session_, RecoveryCopy::When::kInBackground, messages_);
  EXPECT_TRUE(copy.up_to_date(session_));  // being written
  // The window goes on at once; what changes now is not in this copy.
  add("After the snapshot");
  session_.delete_at(1);
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.wait(messages_);
  EXPECT_FALSE(copy.writing(messages_));
  EXPECT_EQ(read_file(own_copy()), before);
  copy.update(session_, RecoveryCopy::When::kInBackground, messages_);
  copy.wait(messages_);
  EXPECT_EQ(read_file(own_copy()), text_of(session_));
  EXPECT_TRUE(copy.up_to_date(session_));
  // No temporary file is left behind.
  const std::string own = "recovery-" + std::to_string(getpid());
  EXPECT_EQ(names_in(directory_), (std::vector<std::string>{own + ".bib", own + ".lock"}));
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(RecoveryTest, ASaveWhileACopyIsWrittenStillRemovesIt) {
  load("@misc{1,\n  title = {One}\n}\n");
  RecoveryCopy copy(directory_);
  copy.update(session_, RecoveryCopy::When::kInBackground, messages_);
  ASSERT_EQ(session_.save(dir_.file("saved.bib"), messages_).result, Outcome::kDone);
  EXPECT_FALSE(copy.up_to_date(session_));
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(copy.writing(messages_));
  EXPECT_FALSE(file_exists(own_copy()));
}

TEST_F(RecoveryTest, NewKeepsTheWorkBeforeItAndLaterWorkGoesToAnotherFile) {
  RecoveryCopy copy(directory_);
  load("@misc{1,\n  title = {Before New}\n}\n");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  add("Not yet in a copy");
  const std::string before_new = text_of(session_);
  copy.keep_before_new(session_, messages_);
  session_.new_database();
  EXPECT_TRUE(session_.modified());
  EXPECT_EQ(read_file(own_copy()), before_new);
  // Let go of: a start now would name it.
  EXPECT_EQ(left_paths(), std::vector<std::string>{own_copy()});

  add("After New");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(copy.path(), own_copy(2));
  EXPECT_EQ(read_file(own_copy(2)), text_of(session_));
  EXPECT_EQ(read_file(own_copy()), before_new);
  // A save removes the new file only.
  ASSERT_EQ(session_.save(dir_.file("saved.bib"), messages_).result, Outcome::kDone);
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(file_exists(own_copy(2)));
  EXPECT_EQ(read_file(own_copy()), before_new);

  // New without unsaved work keeps nothing and goes on in the same file.
  copy.keep_before_new(session_, messages_);
  session_.new_database();
  add("Third");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(copy.path(), own_copy(2));
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(RecoveryTest, AtTheEndTheCopyStaysAndCountsAsLeft) {
  {
    RecoveryCopy copy(directory_);
    load("@misc{1,\n  title = {One}\n}\n");
    copy.update(session_, RecoveryCopy::When::kNow, messages_);
    add("Two");
    // Only its own process holds the lock: nothing counts as left meanwhile.
    EXPECT_EQ(left_paths(), std::vector<std::string>{});
    copy.finish(session_, messages_);
    EXPECT_EQ(read_file(own_copy()), text_of(session_));
    EXPECT_FALSE(file_exists(directory_ + "/recovery-" + std::to_string(getpid()) + ".lock"));
    EXPECT_EQ(left_paths(), std::vector<std::string>{own_copy()});
  }
  // The process's number comes round again: the left copy stays as it is.
  const std::string left = read_file(own_copy());
  Session next;
  std::ostringstream next_messages;
  const std::string path = dir_.file("next.bib");
  write_file(path, "@misc{9,\n  title = {Next run}\n}\n");
  next.load(path, FileType::kBibtex, next_messages);
  RecoveryCopy again(directory_);
  again.update(next, RecoveryCopy::When::kNow, next_messages);
  EXPECT_EQ(again.path(), own_copy(2));
  EXPECT_EQ(read_file(own_copy()), left);
  EXPECT_EQ(left_paths(), std::vector<std::string>{own_copy()});
}

// Another process, forked: it keeps a copy of its own, tells its path,
// and waits to be ended by a signal, as a crash would end it.
struct OtherProcess {
  pid_t pid = -1;
  std::string path;
};

OtherProcess start_other_process(const std::string& directory, const std::string& input) {
  int to_parent[2];
  if (pipe(to_parent) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(to_parent[0]);
    Session session;
    std::ostringstream messages;
    session.load(input, FileType::kBibtex, messages);
    RecoveryCopy copy(directory);
    copy.update(session, RecoveryCopy::When::kNow, messages);
    const std::string path = copy.path() + "\n";
    if (write(to_parent[1], path.data(), path.size()) < 0) _exit(1);
    for (;;) pause();
  }
  close(to_parent[1]);
  OtherProcess other{pid, ""};
  char c = 0;
  while (read(to_parent[0], &c, 1) == 1 && c != '\n') other.path.push_back(c);
  close(to_parent[0]);
  return other;
}

TEST_F(RecoveryTest, TwoProcessesWriteTwoFilesAndOnlyEndedOnesCountAsLeft) {
  const std::string input = dir_.file("other.bib");
  write_file(input, "@misc{2,\n  title = {Other process}\n}\n");
  const OtherProcess other = start_other_process(directory_, input);
  ASSERT_GT(other.pid, 0);
  ASSERT_EQ(other.path, directory_ + "/recovery-" + std::to_string(other.pid) + ".bib");

  RecoveryCopy copy(directory_);
  load("@misc{1,\n  title = {This process}\n}\n");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_NE(copy.path(), other.path);
  EXPECT_EQ(read_file(other.path), "@misc{2,\ntitle      = \"Other process\",\n}\n\n");
  EXPECT_EQ(read_file(copy.path()), "@misc{1,\ntitle      = \"This process\",\n}\n\n");
  // Both run: neither copy is left.
  EXPECT_EQ(left_paths(), std::vector<std::string>{});

  kill(other.pid, SIGKILL);
  int status = 0;
  waitpid(other.pid, &status, 0);
  // Killed, it could not take its lock file away; the lock itself went.
  const std::string other_lock = other.path.substr(0, other.path.size() - 4) + ".lock";
  EXPECT_TRUE(file_exists(other_lock));
  EXPECT_EQ(left_paths(), std::vector<std::string>{other.path});
  EXPECT_EQ(left_copies_announcement(left_copies(directory_)).find(other.path) != std::string::npos, true);
}

TEST_F(RecoveryTest, LocksThatGuardNoCopyAreTidiedAtTheNextClaim) {
  ASSERT_EQ(mkdir(dir_.file("state").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(directory_.c_str(), 0700), 0);
  write_file(directory_ + "/recovery-999999999.lock", "");
  write_file(directory_ + "/recovery-999999998.lock", "");
  write_file(directory_ + "/recovery-999999998.bib", "@misc{1,\n}\n");
  // A lock a running process holds stays, copy or not.
  const std::string held = directory_ + "/recovery-999999997.lock";
  write_file(held, "");
  const int held_fd = open(held.c_str(), O_RDONLY);
  ASSERT_EQ(flock(held_fd, LOCK_EX), 0);
  RecoveryCopy copy(directory_);
  load("@misc{1,\n  title = {One}\n}\n");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_FALSE(file_exists(directory_ + "/recovery-999999999.lock"));
  EXPECT_TRUE(file_exists(directory_ + "/recovery-999999998.lock"));
  EXPECT_TRUE(file_exists(held));
  close(held_fd);
}

TEST_F(RecoveryTest, ADirectoryThatCannotBeUsedIsSaidOnce) {
  write_file(dir_.file("state"), "a file where the directory should be");
  RecoveryCopy copy(directory_);
  load("@misc{1,\n  title = {One}\n}\n");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  add("Two");
  copy.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(copy.path(), "");
  EXPECT_EQ(messages_.str(), "Cannot keep a recovery copy of unsaved work in " + directory_ + ": Not a directory\n");
  RecoveryCopy homeless("");
  messages_.str("");
  homeless.update(session_, RecoveryCopy::When::kNow, messages_);
  EXPECT_EQ(messages_.str(), "Cannot keep a recovery copy of unsaved work in ~: no home directory\n");
}

TEST(RecoveryAnnouncement, NamesEachLeftCopyWithItsTimeAndHowToLoadIt) {
  ScopedEnv zone("TZ", "UTC");
  tzset();
  EXPECT_EQ(left_copies_announcement({}), "");
  const std::vector<LeftCopy> copies = {
      {"/home/ann/.local/state/refloom/recovery-41.bib", 1767225600},  // 2026-01-01 00:00 UTC
      {"/home/ann/.local/state/refloom/recovery-7-2.bib", 1767268140},
  };
  EXPECT_EQ(left_copies_announcement(copies),
            "Recovery copy of unsaved work from an earlier run (2026-01-01 00:00): "
            "/home/ann/.local/state/refloom/recovery-41.bib\n"
            "Recovery copy of unsaved work from an earlier run (2026-01-01 11:49): "
            "/home/ann/.local/state/refloom/recovery-7-2.bib\n"
            "Load a recovery copy with File > Load and the format \"BibTeX (any style)\"; each stays until you "
            "delete it.\n");
}

TEST(RecoveryAnnouncement, LeftCopiesComeOldestFirstAndOnlyCopiesCount) {
  TempDir dir;
  write_file(dir.file("recovery-3.bib"), "x");
  write_file(dir.file("recovery-1.bib"), "x");
  write_file(dir.file("recovery-2.bib"), "x");
  write_file(dir.file("notes.bib"), "x");
  write_file(dir.file(".rfAbCdEf"), "x");  // a write that never finished
  ASSERT_EQ(mkdir(dir.file("recovery-4.bib").c_str(), 0700), 0);
  const timespec times[] = {{1000, 0}, {1000, 0}};
  const timespec later[] = {{2000, 0}, {2000, 0}};
  utimensat(AT_FDCWD, dir.file("recovery-3.bib").c_str(), times, 0);
  utimensat(AT_FDCWD, dir.file("recovery-1.bib").c_str(), later, 0);
  utimensat(AT_FDCWD, dir.file("recovery-2.bib").c_str(), times, 0);
  std::vector<std::string> paths;
  std::vector<std::time_t> written;
  for (const LeftCopy& copy : left_copies(dir.path())) {
    paths.push_back(copy.path);
    written.push_back(copy.written);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{dir.file("recovery-2.bib"), dir.file("recovery-3.bib"),
                                             dir.file("recovery-1.bib")}));
  EXPECT_EQ(written, (std::vector<std::time_t>{1000, 1000, 2000}));
  EXPECT_TRUE(left_copies(dir.file("missing")).empty());
}

}  // namespace
}  // namespace refloom
