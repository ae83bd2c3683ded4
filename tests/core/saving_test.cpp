// Saving replaces a file the way opening it for writing would, and never
// loses the old content.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "core/bibtex_writer.h"
#include "core/file_io.h"
#include "core/latex.h"
#include "support/file_conditions.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::FileSizeLimit;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

ReferenceDatabase one(std::string_view type, RefId id) {
  ReferenceDatabase db;
  db.add_reference();
  db.set_entry_type(1, type);
  db.set_ref_id(1, id);
  return db;
}

// Large enough that writing it runs into a 4096-byte file size limit.
ReferenceDatabase large() {
  ReferenceDatabase db;
  for (int i = 0; i < 2000; ++i) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), db.ref_count());
    db.set_entry_type(db.ref_count(), "article");
    db.set_title(db.ref_count(), std::string(100, 't'));
  }
  return db;
}

struct stat status_of(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status;
}

std::size_t entries_in(const std::string& directory) {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(directory), std::filesystem::directory_iterator()));
}

TEST(Saving, HardLinkedFileIsRewrittenOnItsInodeSoEveryNameShowsTheNewText) {
  TempDir dir;
  const std::string path = dir.file("refs.bib");
  const std::string other = dir.file("other-name.bib");
  write_file(path, "old text, longer than the new one\n");
  ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
  const ino_t inode = status_of(path).st_ino;
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(one("misc", 4), path, messages), WriteResult::kDone);
  EXPECT_EQ(messages.str(), "");
  EXPECT_EQ(read_file(path), "@misc{4,\n}\n\n");
  EXPECT_EQ(read_file(other), "@misc{4,\n}\n\n");
  EXPECT_EQ(status_of(path).st_ino, inode);
  EXPECT_EQ(status_of(path).st_nlink, 2U);
  EXPECT_EQ(entries_in(dir.path()), 2U);  // no copy left beside it
}

TEST(Saving, FailedRewriteInPlacePutsTheOldContentBackByteForByte) {
  TempDir dir;
  const std::string path = dir.file("refs.bib");
  const std::string other = dir.file("other-name.bib");
  const std::string old_text("precious\0old\r\ncontent\n", 22);
  write_file(path, old_text);
  ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
  std::ostringstream messages;
  WriteResult result;
  {
    FileSizeLimit limit(4096);
    result = write_bibtex(large(), path, messages);
  }
  EXPECT_EQ(result, WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot write file: " + path + "\n");
  EXPECT_EQ(read_file(path), old_text);
  EXPECT_EQ(read_file(other), old_text);
  EXPECT_EQ(entries_in(dir.path()), 2U);
}

TEST(Saving, FailedWriteOfANewFileLeavesNothingBehind) {
  TempDir dir;
  const std::string path = dir.file("new.bib");
  std::ostringstream messages;
  WriteResult result;
  {
    FileSizeLimit limit(4096);
    result = write_bibtex(large(), path, messages);
  }
  EXPECT_EQ(result, WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot write file: " + path + "\n");
  EXPECT_EQ(entries_in(dir.path()), 0U);
}

TEST(Saving, FailedLatexWriteLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.file("list.tex");
  write_file(path, "old document\n");
  Citations cited;
  for (std::size_t i = 0; i < 1000; ++i) cited.keys.push_back(std::to_string(1000000 + i));
  std::ostringstream messages;
  WriteResult result;
  {
    FileSizeLimit limit(4096);
    result = write_latex(path, cited, "refs", messages);
  }
  EXPECT_EQ(result, WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot write LaTeX file! \n");
  EXPECT_EQ(read_file(path), "old document\n");
  EXPECT_EQ(entries_in(dir.path()), 1U);
}

TEST(Saving, NamesOfAnyValidLengthAreWritten) {
  TempDir dir;
  const std::string path = dir.file(std::string(251, 'n') + ".bib");  // 255 bytes, the longest name
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(one("misc", 1), path, messages), WriteResult::kDone);
  EXPECT_EQ(read_file(path), "@misc{1,\n}\n\n");
  ASSERT_EQ(write_bibtex(one("misc", 2), path, messages), WriteResult::kDone);
  EXPECT_EQ(read_file(path), "@misc{2,\n}\n\n");
  EXPECT_EQ(write_latex(path, {{"5"}}, "b", messages), WriteResult::kDone);
  EXPECT_EQ(messages.str(), "");
  EXPECT_EQ(entries_in(dir.path()), 1U);
  // A name that is too long stays refused, as opening it would be.
  const std::string too_long = dir.file(std::string(256, 'n'));
  EXPECT_EQ(write_bibtex(one("misc", 1), too_long, messages), WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot open file: " + too_long + "\n");
}

TEST(Saving, CharacterDeviceThroughALinkIsWrittenDirectly) {
  TempDir dir;
  const std::string link = dir.file("null.bib");
  ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
  std::ostringstream messages;
  EXPECT_EQ(write_bibtex(one("misc", 1), link, messages), WriteResult::kDone);
  EXPECT_EQ(messages.str(), "");
  struct stat status;
  ASSERT_EQ(lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
}

// A POSIX ACL as the kernel stores it: version 2, then (tag, permissions,
// id) entries.
std::string acl_granting(unsigned user) {
  std::string acl;
  auto put16 = [&acl](std::uint16_t value) { acl.append(reinterpret_cast<const char*>(&value), 2); };
  auto put32 = [&acl](std::uint32_t value) { acl.append(reinterpret_cast<const char*>(&value), 4); };
  put32(2);
  const std::uint32_t undefined_id = 0xffffffff;
  put16(0x01), put16(6), put32(undefined_id);  // owner rw
  put16(0x02), put16(6), put32(user);          // the named user rw
  put16(0x04), put16(4), put32(undefined_id);  // group r
  put16(0x10), put16(6), put32(undefined_id);  // mask rw
  put16(0x20), put16(4), put32(undefined_id);  // others r
  return acl;
}

std::string attribute(const std::string& path, const char* name) {
  std::vector<char> value(256);
  const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
  return size < 0 ? std::string("<none>") : std::string(value.data(), static_cast<std::size_t>(size));
}

TEST(Saving, AclsAndExtendedAttributesStay) {
  TempDir dir;
  const std::string path = dir.file("refs.bib");
  write_file(path, "old\n");
  const std::string acl = acl_granting(testing::kUnprivilegedUser);
  if (setxattr(path.c_str(), "user.refloom-test", "kept", 4, 0) != 0 ||
      setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "the file system holding " << dir.path()
                 << " takes no extended attributes or ACLs: " << std::strerror(errno);
  }
  const ino_t inode = status_of(path).st_ino;
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(one("misc", 3), path, messages), WriteResult::kDone);
  EXPECT_EQ(read_file(path), "@misc{3,\n}\n\n");
  EXPECT_EQ(attribute(path, "user.refloom-test"), "kept");
  EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
  EXPECT_EQ(status_of(path).st_ino, inode);
  EXPECT_EQ(write_latex(path, {{"1"}}, "b", messages), WriteResult::kDone);
  EXPECT_EQ(attribute(path, "user.refloom-test"), "kept");
  EXPECT_EQ(messages.str(), "");
}

// The cases below need a user other than the owner of the file or of its
// directory; as root, they run as nobody in a child process.
class SavingAsAnotherUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::can_run_as_another_user()) {
      GTEST_SKIP() << "needs root to switch to an unprivileged user (uid " << testing::kUnprivilegedUser << ")";
    }
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  }

  // Saves one reference to `path` as the unprivileged user: 0 when the
  // writer succeeded, 1 when it reported a failure.
  int save_as_other_user(const std::string& path, RefId id) {
    return testing::run_as_unprivileged_user([&] {
      std::ostringstream messages;
      const WriteResult result = write_bibtex(one("misc", id), path, messages);
      return result == WriteResult::kDone && messages.str().empty() ? 0 : 1;
    });
  }

  std::string make_directory(const std::string& name, mode_t mode) {
    const std::string path = dir_.file(name);
    EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
  }

  TempDir dir_;
};

TEST_F(SavingAsAnotherUser, WritableFileInADirectoryTheUserMayNotWrite) {
  const std::string directory = make_directory("locked", 0755);
  const std::string path = directory + "/refs.bib";
  write_file(path, "old\n");
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  EXPECT_EQ(save_as_other_user(path, 8), 0);
  EXPECT_EQ(read_file(path), "@misc{8,\n}\n\n");
  EXPECT_EQ(entries_in(directory), 1U);
}

TEST_F(SavingAsAnotherUser, WritableFileInAStickyDirectoryOfAnotherUser) {
  const std::string directory = make_directory("sticky", 01777);
  const std::string path = directory + "/refs.bib";
  write_file(path, "old\n");
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  EXPECT_EQ(save_as_other_user(path, 9), 0);
  EXPECT_EQ(read_file(path), "@misc{9,\n}\n\n");
  EXPECT_EQ(entries_in(directory), 1U);
}

TEST_F(SavingAsAnotherUser, FileOfAnotherOwnerKeepsOwnerGroupAndPermissions) {
  const std::string directory = make_directory("open", 0777);
  const std::string path = directory + "/refs.bib";
  write_file(path, "old\n");
  ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(path.c_str(), 0646), 0);
  const ino_t inode = status_of(path).st_ino;
  EXPECT_EQ(save_as_other_user(path, 10), 0);
  EXPECT_EQ(read_file(path), "@misc{10,\n}\n\n");
  const struct stat status = status_of(path);
  EXPECT_EQ(status.st_uid, 0U);
  EXPECT_EQ(status.st_gid, 0U);
  EXPECT_EQ(status.st_mode & 07777, 0646U);
  EXPECT_EQ(status.st_ino, inode);
  EXPECT_EQ(entries_in(directory), 1U);
}

TEST_F(SavingAsAnotherUser, OwnFileInAnOpenDirectoryIsStillReplacedByRename) {
  // Nothing needs the old inode here: the new file takes its place whole.
  const std::string directory = make_directory("own", 0777);
  const std::string path = directory + "/refs.bib";
  write_file(path, "old\n");
  ASSERT_EQ(chown(path.c_str(), testing::kUnprivilegedUser, testing::kUnprivilegedGroup), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const ino_t inode = status_of(path).st_ino;
  EXPECT_EQ(save_as_other_user(path, 11), 0);
  EXPECT_EQ(read_file(path), "@misc{11,\n}\n\n");
  const struct stat status = status_of(path);
  EXPECT_NE(status.st_ino, inode);
  EXPECT_EQ(status.st_uid, testing::kUnprivilegedUser);
  EXPECT_EQ(status.st_mode & 07777, 0640U);
}

TEST_F(SavingAsAnotherUser, FileTheUserMayNotWriteStaysRefused) {
  const std::string directory = make_directory("open", 0777);
  const std::string path = directory + "/refs.bib";
  write_file(path, "old\n");
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(testing::run_as_unprivileged_user([&] {
              std::ostringstream messages;
              write_bibtex(one("misc", 1), path, messages);
              return messages.str() == "Cannot open file: " + path + "\n" ? 0 : 1;
            }),
            0);
  EXPECT_EQ(read_file(path), "old\n");
}

TEST_F(SavingAsAnotherUser, FileWhoseOldContentCannotBeKeptIsRefusedAndLeftAsItWas) {
  // Another owner's file must be rewritten in place; this one the user may
  // write but not read, so no copy of the old content could be taken.
  const std::string directory = make_directory("open", 0777);
  const std::string path = directory + "/refs.bib";
  write_file(path, "unreadable but precious\n");
  ASSERT_EQ(chmod(path.c_str(), 0622), 0);
  EXPECT_EQ(testing::run_as_unprivileged_user([&] {
              std::ostringstream messages;
              const WriteResult result = write_bibtex(one("misc", 1), path, messages);
              return result == WriteResult::kFailed && messages.str() == "Cannot open file: " + path + "\n" ? 0 : 1;
            }),
            0);
  EXPECT_EQ(read_file(path), "unreadable but precious\n");
}

TEST(Saving, FileThatIsAMountPointOfItsOwnIsWrittenOnItsInode) {
  // A file bind-mounted over another (as containers do with single files)
  // cannot be renamed over; it is written in place.
  TempDir dir;
  const std::string source = dir.file("source.bib");
  const std::string target = dir.file("target.bib");
  write_file(source, "old source\n");
  write_file(target, "covered\n");
  if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot bind-mount a file here (needs root with CAP_SYS_ADMIN): " << std::strerror(errno);
  }
  std::ostringstream messages;
  const WriteResult result = write_bibtex(one("misc", 6), target, messages);
  const std::string seen = read_file(target);
  umount(target.c_str());
  EXPECT_EQ(result, WriteResult::kDone);
  EXPECT_EQ(messages.str(), "");
  EXPECT_EQ(seen, "@misc{6,\n}\n\n");
  EXPECT_EQ(read_file(source), "@misc{6,\n}\n\n");
  EXPECT_EQ(read_file(target), "covered\n");
  EXPECT_EQ(entries_in(dir.path()), 2U);
}

TEST(SaveTarget, DirectoriesAreNeverTakenForFiles) {
  TempDir dir;
  EXPECT_EQ(save_target(dir.path()), SaveTarget::kDirectory);
  EXPECT_EQ(save_target(dir.path() + "/"), SaveTarget::kDirectory);
  EXPECT_EQ(save_target(dir.file("missing.bib")), SaveTarget::kAbsent);
  write_file(dir.file("there.bib"), "");
  EXPECT_EQ(save_target(dir.file("there.bib")), SaveTarget::kExistingFile);
}

}  // namespace
}  // namespace refloom
